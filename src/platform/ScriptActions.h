#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace vek {

/// What the script's lines do to the widgets, as the operator would: keys to the focus widget, a
/// pick, a click or a double-click in the window in front, its close icon, a picture of the main
/// window. What finds nothing to act on is noted on standard error and changes nothing.
class ScriptActions {
public:
    explicit ScriptActions(QWidget* mainWindow);

    /// The window in front: the modal dialog, else the active window, else the main window if shown.
    QWidget* activeWindow() const;

    /// Sends each character as its key, without Enter.
    void typeText(const QString& text);
    /// A press and a release of the key to the focus widget.
    void sendKey(Qt::Key key, const QString& text);
    /// "<F1>".."<F12>", "<Esc>", "<Enter>", "<Tab>" (any letter case): sends that key. False for
    /// any other line.
    bool sendNamedKey(const QString& line);
    /// "NAME=TEXT": chooses the entry shown as TEXT in the combo box or list NAME.
    void select(const QString& nameAndText);
    /// Presses the button NAME.
    void click(const QString& name);
    /// "NAME=TEXT": double-clicks the entry shown as TEXT in the list or grid NAME.
    void doubleClick(const QString& nameAndText);
    /// Closes the window in front with its close icon.
    void closeActiveWindow();
    /// A PNG picture of the main window as drawn now (offscreen too).
    void saveScreenshot(const QString& path) const;

private:
    QWidget* focusTarget() const;
    QWidget* namedInActiveWindow(const QString& name) const;

    QPointer<QWidget> m_mainWindow;
};

} // namespace vek
