#include "widgets/PanelForm.h"

#include <QApplication>
#include <QChildEvent>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace vek::widgets {

TQXDesignPanel::TQXDesignPanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame); // no outer bevel
}

void TQXDesignPanel::setName(const QString& name) {
    setObjectName(name);
    m_caption.clear();
}

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
    // With the preview on the window sees every key before the control that has the focus; the
    // key's way up through the parents afterwards is left alone.
    if (KeyPreview && (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) &&
        watched == QApplication::focusWidget() && static_cast<QWidget*>(watched)->window() == this) {
        m_previewed = e;
        auto* key = static_cast<QKeyEvent*>(e);
        if (e->type() == QEvent::KeyPress ? keyDown(key) : keyUp(key)) return true;
    }
    return QDialog::eventFilter(watched, e);
}

void TQXPopupWindow::keyPressEvent(QKeyEvent* e) {
    // Keys the controls left alone reach the window; Esc does not close it by itself.
    if (e != m_previewed && keyDown(e)) {
        e->accept();
        return;
    }
    e->ignore();
}

void TQXPopupWindow::keyReleaseEvent(QKeyEvent* e) {
    if (e != m_previewed && keyUp(e)) {
        e->accept();
        return;
    }
    QDialog::keyReleaseEvent(e);
}

bool TQXPopupWindow::event(QEvent* e) {
    // A key sent to the window itself was seen by no control first.
    if ((e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) &&
        (!QApplication::focusWidget() || QApplication::focusWidget() == this))
        m_previewed = nullptr;
    if (e->type() == QEvent::WindowActivate && OnActivate) OnActivate();
    if (e->type() == QEvent::WindowDeactivate && OnDeactivate) OnDeactivate();
    return QDialog::event(e);
}

void TQXPopupWindow::showEvent(QShowEvent* e) {
    if (!m_created) {
        m_created = true;
        if (OnCreate) OnCreate();
    }
    if (position == TPosition::poScreenCenter || position == TPosition::poDesktopCenter ||
        position == TPosition::poMainFormCenter || position == TPosition::poOwnerFormCenter) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect frame = frameGeometry();
            move(screen->availableGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
        }
    }
    QDialog::showEvent(e);
    if (OnShow) OnShow();
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
    m_popup->resize(size);
    m_popup->setMinimumSize(0, 0);
    connect(panel, &QObject::destroyed, this, [this] { panelDestroyed(); });
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
    if (fixed) {
        w.setFixedSize(w.size());
    } else {
        w.setMinimumSize(0, 0);
        w.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    // The transparent colour is painted through: the window then keeps an alpha channel.
    w.setAttribute(Qt::WA_TranslucentBackground, c.TransparentColor);
    w.setProperty("transparentColor", c.TransparentColor ? QVariant(c.TransparentColorValue) : QVariant());
    w.setProperty("ctl3D", c.Ctl3D);
    if (m_panel) m_panel->setFrameShadow(c.Ctl3D ? QFrame::Raised : QFrame::Plain);
    w.position = c.Position;

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
