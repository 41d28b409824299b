#include "widgets/TQXPanelForm.h"

#include <QLayout>
#include <QVBoxLayout>

namespace vek::widgets {

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
