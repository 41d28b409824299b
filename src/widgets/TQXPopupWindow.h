#pragma once

#include "widgets/TFormConfig.h"

#include <QColor>
#include <QDialog>
#include <QPointer>

#include <functional>

namespace vek::widgets {

using TNotifyEvent = std::function<void()>;
/// Closing may be refused by clearing `canClose`.
using TCloseQueryEvent = std::function<void(bool& canClose)>;
/// A key handler consumes the key by setting it to 0.
using TKeyEvent = std::function<void(int& key, Qt::KeyboardModifiers shift)>;
using TKeyPressEvent = std::function<void(QChar& key)>;

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

} // namespace vek::widgets
