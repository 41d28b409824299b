#pragma once

#include <QColor>
#include <QDialog>
#include <QFrame>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

namespace vek::widgets {

enum class TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = unsigned; // a set of TBorderIcon bits
constexpr TBorderIcons operator|(TBorderIcon a, TBorderIcon b) {
    return static_cast<unsigned>(a) | static_cast<unsigned>(b);
}
constexpr bool hasIcon(TBorderIcons set, TBorderIcon icon) {
    return (set & static_cast<unsigned>(icon)) != 0;
}

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};

/// The popup window's settings, with the values a new panel form starts with.
struct TFormConfig {
    QString Caption = QStringLiteral("QXPanelForm");
    bool AlphaBlend = false;
    int AlphaBlendValue = 0; // 0..255, used only with AlphaBlend
    TBorderIcons BorderIcons =
        TBorderIcon::biSystemMenu | TBorderIcon::biMinimize | TBorderIcons(TBorderIcon::biMaximize);
    bool TransparentColor = false;
    QColor TransparentColorValue = QColor(0xf0, 0xf0, 0xf0); // button face
    bool Ctl3D = true;
    TFormStyle FormStyle = TFormStyle::fsNormal;
    TPosition Position = TPosition::poDefaultPosOnly;
    TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
};

/// The panel that carries a dialog's controls inside its host screen; it never shows a caption.
class TQXDesignPanel : public QFrame {
    Q_OBJECT
public:
    explicit TQXDesignPanel(QWidget* parent = nullptr);
    /// Sets the object name; the caption is cleared every time.
    void setName(const QString& name);
    QString caption() const { return m_caption; }
    void setCaption(const QString& caption) { m_caption = caption; }
    /// Without a layout of its own, the extent of the controls placed on it.
    QSize sizeHint() const override;

private:
    QString m_caption;
};

using TNotifyEvent = std::function<void()>;
/// Closing may be refused by clearing `canClose`.
using TCloseQueryEvent = std::function<void(bool& canClose)>;
/// A key handler consumes the key by setting it to 0.
using TKeyEvent = std::function<void(int& key, Qt::KeyboardModifiers shift)>;
using TKeyPressEvent = std::function<void(QChar& key)>;

class TQXPanelForm;

/// The popup window a panel form shows its panel in.
class TQXPopupWindow : public QDialog {
    Q_OBJECT
public:
    TQXPopupWindow();
    ~TQXPopupWindow() override;

    // Window events, handed over by the panel form.
    TNotifyEvent OnActivate, OnClose, OnCreate, OnDestroy, OnDeactivate, OnHide, OnShow, OnResize;
    TCloseQueryEvent OnCloseQuery;
    // Key events and the preview flag, kept by the window itself.
    TKeyEvent OnKeyDown, OnKeyUp;
    TKeyPressEvent OnKeyPress;
    bool KeyPreview = false;

    /// Where the window goes when shown (applied from the settings).
    TPosition position = TPosition::poDefaultPosOnly;
    /// The window of the panel form's owner, for poOwnerFormCenter.
    QPointer<QWidget> ownerWindow;
    /// Pixels of this colour are see-through while shown; invalid for none.
    QColor transparentColor;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void childEvent(QChildEvent* e) override;

private:
    /// True when the key was consumed.
    bool keyDown(QKeyEvent* e);
    bool keyUp(QKeyEvent* e);
    /// Whether a key that reached the window was meant for it, not passed up by a control.
    bool keyIsForWindow() const;
    void watch(QObject* o);
    void place();
    void applyTransparentColor();
    bool m_created = false;
};

/// Shows a designed panel in a modal popup window of its own.
class TQXPanelForm : public QObject {
    Q_OBJECT
public:
    explicit TQXPanelForm(QObject* owner = nullptr);
    ~TQXPanelForm() override;

    void setName(const QString& name);
    QString name() const { return objectName(); }

    /// Moves the panel into the popup window; the window's client size becomes the panel's.
    void setPanel(TQXDesignPanel* panel);
    TQXDesignPanel* Panel() const { return m_panel; }
    int FormWidth = 0;
    int FormHeight = 0;
    TFormConfig FormConfig;

    TNotifyEvent OnActivate, OnClose, OnCreate, OnDestroy, OnDeactivate, OnHide, OnShow, OnResize;
    TCloseQueryEvent OnCloseQuery;
    // Stored in the popup window itself.
    void setOnKeyDown(TKeyEvent e) { m_popup->OnKeyDown = std::move(e); }
    void setOnKeyUp(TKeyEvent e) { m_popup->OnKeyUp = std::move(e); }
    void setOnKeyPress(TKeyPressEvent e) { m_popup->OnKeyPress = std::move(e); }
    void setKeyPreview(bool on) { m_popup->KeyPreview = on; }
    bool KeyPreview() const { return m_popup->KeyPreview; }

    TQXPopupWindow* PopupWindow() const { return m_popup.get(); }

    /// Copies the settings and the window events to the popup window.
    void ApplyFormConfig();
    /// Shows the popup modally; returns when it is closed.
    int ShowPanelForm();
    /// Closes the popup (a button or key handler on the panel).
    void close();

private:
    void panelDestroyed();
    QWidget* ownerWindow() const;
    QPointer<TQXDesignPanel> m_panel;
    QSize m_designedSize;         // the popup's client size from its panel
    bool m_platformSized = false; // the last show left the size to the platform
    // A top-level window of the application, released with the panel form.
    std::unique_ptr<TQXPopupWindow> m_popup;
    bool m_destroying = false;
};

} // namespace vek::widgets
