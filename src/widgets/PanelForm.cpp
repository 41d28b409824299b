#include "widgets/PanelForm.h"

#include <QApplication>
#include <QBitmap>
#include <QChildEvent>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QRegion>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace vek::widgets {

TQXDesignPanel::TQXDesignPanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame); // no outer bevel
}

void TQXDesignPanel::setName(const QString& name) {
    setObjectName(name);
    m_caption.clear();
}

QSize TQXDesignPanel::sizeHint() const {
    if (layout()) return QFrame::sizeHint();
    // Controls placed by position: their extent with the same room right and below as left and above.
    const QRect r = childrenRect();
    if (r.isNull()) return QFrame::sizeHint();
    return r.size() + QSize(2 * r.x(), 2 * r.y());
}

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

// ---------------------------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------------------------

TQXPanelForm::TQXPanelForm(QObject* owner) : QObject(owner), m_popup(std::make_unique<TQXPopupWindow>()) {
    auto* layout = new QVBoxLayout(m_popup.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

TQXPanelForm::~TQXPanelForm() {
    m_destroying = true;
    if (m_panel) disconnect(m_panel, nullptr, this, nullptr);
}

void TQXPanelForm::setName(const QString& name) {
    setObjectName(name);
    m_popup->setObjectName(name);
    if (m_panel) m_panel->setName(name + QStringLiteral("_Panel"));
}

void TQXPanelForm::setPanel(TQXDesignPanel* panel) {
    if (m_panel) disconnect(m_panel, nullptr, this, nullptr);
    m_panel = panel;
    if (!panel) return;
    panel->setName(objectName() + QStringLiteral("_Panel"));
    const QSize size = panel->width() < 1 ? QSize(FormWidth, FormHeight) : panel->size();
    panel->setParent(m_popup.get());
    m_popup->layout()->addWidget(panel);
    m_designedSize = size;
    m_popup->resize(size);
    m_popup->setMinimumSize(0, 0);
    connect(panel, &QObject::destroyed, this, [this] { panelDestroyed(); });
}

QWidget* TQXPanelForm::ownerWindow() const {
    for (QObject* o = parent(); o; o = o->parent()) {
        if (o->isWidgetType()) return static_cast<QWidget*>(o)->window();
    }
    return nullptr;
}

void TQXPanelForm::panelDestroyed() {
    if (m_destroying) return;
    m_destroying = true;
    deleteLater();
}

void TQXPanelForm::ApplyFormConfig() {
    TQXPopupWindow& w = *m_popup;
    const TFormConfig& c = FormConfig;
    w.setWindowTitle(c.Caption);
    w.setWindowOpacity(c.AlphaBlend ? c.AlphaBlendValue / 255.0 : 1.0);

    Qt::WindowFlags flags = Qt::Window;
    switch (c.BorderStyle) {
    case TFormBorderStyle::bsNone:
        flags |= Qt::FramelessWindowHint;
        break;
    case TFormBorderStyle::bsDialog:
        flags = Qt::Dialog;
        break;
    case TFormBorderStyle::bsToolWindow:
    case TFormBorderStyle::bsSizeToolWin:
        flags = Qt::Tool;
        break;
    case TFormBorderStyle::bsSingle:
    case TFormBorderStyle::bsSizeable:
        break;
    }
    if (c.BorderStyle != TFormBorderStyle::bsNone) {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (hasIcon(c.BorderIcons, TBorderIcon::biSystemMenu)) {
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
            // Dialog borders carry no minimise or maximise button.
            const bool dialogLike = c.BorderStyle == TFormBorderStyle::bsDialog ||
                                    c.BorderStyle == TFormBorderStyle::bsToolWindow ||
                                    c.BorderStyle == TFormBorderStyle::bsSizeToolWin;
            if (!dialogLike && hasIcon(c.BorderIcons, TBorderIcon::biMinimize)) flags |= Qt::WindowMinimizeButtonHint;
            if (!dialogLike && hasIcon(c.BorderIcons, TBorderIcon::biMaximize)) flags |= Qt::WindowMaximizeButtonHint;
            if (hasIcon(c.BorderIcons, TBorderIcon::biHelp)) flags |= Qt::WindowContextHelpButtonHint;
        }
    }
    if (c.FormStyle == TFormStyle::fsStayOnTop) flags |= Qt::WindowStaysOnTopHint;
    const bool fixed = c.BorderStyle == TFormBorderStyle::bsSingle || c.BorderStyle == TFormBorderStyle::bsDialog ||
                       c.BorderStyle == TFormBorderStyle::bsToolWindow;
    if (fixed) flags |= Qt::MSWindowsFixedSizeDialogHint;
    w.setWindowFlags(flags);
    w.position = c.Position;
    w.ownerWindow = ownerWindow();
    // poDesigned and poDefaultSizeOnly keep the window where it was put; poDefault and
    // poDefaultPosOnly let Qt and the window manager place it.
    const bool designedPlace = c.Position == TPosition::poDesigned || c.Position == TPosition::poDefaultSizeOnly;
    const bool defaultPlace = c.Position == TPosition::poDefault || c.Position == TPosition::poDefaultPosOnly;
    if (designedPlace) w.setAttribute(Qt::WA_Moved, true);
    if (defaultPlace) w.setAttribute(Qt::WA_Moved, false);
    const bool defaultSize = c.Position == TPosition::poDefault || c.Position == TPosition::poDefaultSizeOnly;
    if (defaultSize || m_platformSized) {
        w.setMinimumSize(0, 0);
        w.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    if (defaultSize)
        w.adjustSize(); // the size Qt gives a window of its own accord: what its content asks for
    else if (m_platformSized && m_designedSize.isValid())
        w.resize(m_designedSize);
    m_platformSized = defaultSize;
    if (fixed) {
        w.setFixedSize(w.size());
    } else {
        w.setMinimumSize(0, 0);
        w.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    w.transparentColor = c.TransparentColor ? c.TransparentColorValue : QColor();
    // Ctl3D chooses sunken 3-D or flat single-line borders for the window's controls. Qt's style
    // draws every control's frame itself and has no such switch per window, and the design panel
    // has no bevel of its own, so the setting is only kept on the window.
    w.setProperty("ctl3D", c.Ctl3D);

    w.OnActivate = OnActivate;
    w.OnClose = OnClose;
    w.OnCloseQuery = OnCloseQuery;
    w.OnCreate = OnCreate;
    w.OnDestroy = OnDestroy;
    w.OnDeactivate = OnDeactivate;
    w.OnHide = OnHide;
    w.OnShow = OnShow;
    w.OnResize = OnResize;
}

int TQXPanelForm::ShowPanelForm() {
    ApplyFormConfig();
    if (m_panel) m_panel->show();
    return m_popup->exec();
}

void TQXPanelForm::close() {
    m_popup->close();
}

} // namespace vek::widgets
