#pragma once

#include "widgets/TFormConfig.h"
#include "widgets/TQXDesignPanel.h"
#include "widgets/TQXPopupWindow.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <utility>

namespace vek::widgets {

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
