#include "widgets/TQXPopupWindow.h"

#include "widgets/TQXDesignPanel.h"

#include <QApplication>
#include <QBitmap>
#include <QChildEvent>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QRegion>
#include <QScreen>

#include <algorithm>

namespace vek::widgets {

namespace {

// The application's main window: the shown top-level window that is no dialog, a QMainWindow
// first; none when that is not clear.
QWidget* applicationMainWindow(const QWidget* except) {
    QWidget* found = nullptr;
    int plain = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == except || !w->isVisible() || w->windowType() != Qt::Window || qobject_cast<QDialog*>(w)) continue;
        if (qobject_cast<QMainWindow*>(w)) return w;
        found = w;
        ++plain;
    }
    return plain == 1 ? found : nullptr;
}

} // namespace

TQXPopupWindow::TQXPopupWindow() : QDialog(nullptr) {
    setModal(true);
}

TQXPopupWindow::~TQXPopupWindow() {
    if (OnDestroy) OnDestroy();
}

void TQXPopupWindow::watch(QObject* o) {
    if (!o->isWidgetType()) return;
    o->installEventFilter(this);
    for (QObject* c : o->children()) watch(c);
}

void TQXPopupWindow::childEvent(QChildEvent* e) {
    QDialog::childEvent(e);
    if (e->added()) watch(e->child());
}

bool TQXPopupWindow::keyDown(QKeyEvent* e) {
    if (!OnKeyDown && !OnKeyPress) return false;
    int key = e->key();
    if (OnKeyDown) OnKeyDown(key, e->modifiers());
    if (key == 0) return true;
    if (OnKeyPress && !e->text().isEmpty()) {
        QChar c = e->text().at(0);
        OnKeyPress(c);
        if (c.isNull()) return true;
    }
    return false;
}

bool TQXPopupWindow::keyUp(QKeyEvent* e) {
    if (!OnKeyUp) return false;
    int key = e->key();
    OnKeyUp(key, e->modifiers());
    return key == 0;
}

bool TQXPopupWindow::eventFilter(QObject* watched, QEvent* e) {
    // With the preview on the window sees every key before the control that has the focus.
    if (KeyPreview && (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) &&
        watched == QApplication::focusWidget() && static_cast<QWidget*>(watched)->window() == this) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (e->type() == QEvent::KeyPress ? keyDown(key) : keyUp(key)) return true;
    }
    return QDialog::eventFilter(watched, e);
}

bool TQXPopupWindow::keyIsForWindow() const {
    const QWidget* focus = QApplication::focusWidget();
    if (!focus || focus == this) return true; // no control to take it; never previewed
    if (focus->window() != this) return true; // sent to this window from outside
    if (KeyPreview) return false;             // the preview has shown it already
    return qobject_cast<const TQXDesignPanel*>(focus) && focus->parentWidget() == this;
}

void TQXPopupWindow::keyPressEvent(QKeyEvent* e) {
    // A key a control left alone does not go on to the window's handler; Esc does not close it
    // by itself.
    if (keyIsForWindow() && keyDown(e)) {
        e->accept();
        return;
    }
    e->ignore();
}

void TQXPopupWindow::keyReleaseEvent(QKeyEvent* e) {
    if (keyIsForWindow() && keyUp(e)) {
        e->accept();
        return;
    }
    QDialog::keyReleaseEvent(e);
}

bool TQXPopupWindow::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && OnActivate) OnActivate();
    if (e->type() == QEvent::WindowDeactivate && OnDeactivate) OnDeactivate();
    return QDialog::event(e);
}

void TQXPopupWindow::showEvent(QShowEvent* e) {
    if (!m_created) {
        m_created = true;
        if (OnCreate) OnCreate();
    }
    place();
    QDialog::showEvent(e);
    applyTransparentColor();
    if (OnShow) OnShow();
}

void TQXPopupWindow::place() {
    const QWidget* over = nullptr;
    switch (position) {
    case TPosition::poScreenCenter:
    case TPosition::poDesktopCenter:
        break;
    case TPosition::poMainFormCenter:
        over = applicationMainWindow(this);
        break;
    case TPosition::poOwnerFormCenter:
        over = ownerWindow;
        break;
    default:
        return; // the designed position, or the platform's choice
    }
    if (over && (over == this || !over->isVisible())) over = nullptr;
    const QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize frame = frameGeometry().size();
    const QPoint centre = over ? over->frameGeometry().center() : area.center();
    QRect target(centre - QPoint(frame.width() / 2, frame.height() / 2), frame);
    // Over a window near the edge, or larger than the screen, the popup keeps as much of itself on the
    // screen as fits, its title bar first.
    target.moveRight(std::min(target.right(), area.right()));
    target.moveBottom(std::min(target.bottom(), area.bottom()));
    target.moveLeft(std::max(target.left(), area.left()));
    target.moveTop(std::max(target.top(), area.top()));
    move(target.topLeft());
}

void TQXPopupWindow::applyTransparentColor() {
    if (!transparentColor.isValid()) {
        clearMask();
        return;
    }
    QImage shot(size(), QImage::Format_RGB32);
    shot.fill(palette().color(backgroundRole()));
    render(&shot);
    QImage kept = shot.createMaskFromColor(transparentColor.rgb(), Qt::MaskOutColor);
    kept.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)}); // bit 1 is the bitmap's colour 1: shown
    QRegion shape(QBitmap::fromImage(kept));
    // Qt reads an empty mask as none; a window all of that colour is see-through all over.
    if (shape.isEmpty()) shape = QRegion(-1, -1, 1, 1);
    setMask(shape);
}

void TQXPopupWindow::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    if (OnHide) OnHide();
}

void TQXPopupWindow::closeEvent(QCloseEvent* e) {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(canClose);
    if (!canClose) {
        e->ignore();
        return;
    }
    if (OnClose) OnClose();
    QDialog::closeEvent(e);
}

void TQXPopupWindow::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    if (isVisible() && transparentColor.isValid()) applyTransparentColor();
    if (OnResize) OnResize();
}

} // namespace vek::widgets
