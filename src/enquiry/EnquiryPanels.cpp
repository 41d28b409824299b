#include "enquiry/EnquiryPanels.h"

#include "db/TableModel.h"
#include "enquiry/AuthorisedUserCheck.h"
#include "enquiry/LabelEnquiry.h"
#include "enquiry/SectorCancellation.h"
#include "monitoring/ProductPictures.h"
#include "station/StationContext.h"
#include "util/TextCodec.h"
#include "widgets/TQXPanelForm.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QScreen>
#include <QTableView>

namespace vek::enquiry {

using namespace widgets;

namespace {

const QColor kLightYellow(255, 255, 164);
const QColor kRed(255, 0, 0);

void setBackground(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::Base, c);
    p.setColor(QPalette::Window, c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

// A title bar and borders: what a window manager adds around the panel.
const QSize kFrameRoom(8, 40);

QLabel* caption(QWidget* parent, const QString& text, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, 170, 30);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont f = l->font();
    f.setPixelSize(20);
    f.setBold(true);
    l->setFont(f);
    return l;
}

QLineEdit* dataField(QWidget* parent, const char* name, QRect geometry) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    e->setGeometry(geometry);
    QFont f = e->font();
    f.setPixelSize(20);
    e->setFont(f);
    setBackground(e, kLightYellow);
    return e;
}

void applyDialogLook(TQXPanelForm* form, const QString& title) {
    form->FormConfig.Caption = title;
    form->FormConfig.BorderIcons = static_cast<TBorderIcons>(TBorderIcon::biSystemMenu);
    form->FormConfig.Position = TPosition::poScreenCenter;
    form->FormConfig.BorderStyle = TFormBorderStyle::bsSingle;
    form->setKeyPreview(false);
}

// Read-only counts on light yellow in the sector grid.
class CountsModel : public db::TableModel {
public:
    using db::TableModel::TableModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::BackgroundRole && index.column() >= 2) return kLightYellow;
        return db::TableModel::data(index, role);
    }
};

} // namespace

template <class F>
void TEnquiryPanel::guarded(F&& step) {
    vek::guarded(m_enquiry.context().display, std::forward<F>(step));
}

TEnquiryPanel::TEnquiryPanel(LabelEnquiry& enquiry, SectorCancellation& cancellation, QWidget* host)
    : QObject(nullptr), m_enquiry(enquiry), m_cancellation(cancellation), m_host(host) {
    pfConsultaEtiq = new TQXPanelForm(this);
    pfConsultaEtiq->setName(QStringLiteral("pfConsultaEtiq"));
    auto* panel = new TQXDesignPanel();
    panel->resize(1378, 662);

    caption(panel, QStringLiteral("Código Barras"), 10, 12);
    edCodBarraConsulta = new QLineEdit(panel);
    edCodBarraConsulta->setObjectName(QStringLiteral("edCodBarraConsulta"));
    edCodBarraConsulta->setGeometry(190, 12, 300, 30);
    QFont big = edCodBarraConsulta->font();
    big.setPixelSize(20);
    edCodBarraConsulta->setFont(big);
    edCodBarraConsulta->installEventFilter(this);
    caption(panel, QStringLiteral("Produto"), 10, 52);
    edProdConsulta = dataField(panel, "edProdConsulta", {190, 52, 150, 30});
    caption(panel, QString::fromUtf8("Padronização"), 10, 92);
    edPadConsulta = dataField(panel, "edPadConsulta", {190, 92, 500, 30});
    caption(panel, QStringLiteral("Tamanho"), 10, 132);
    edTamConsulta = dataField(panel, "edTamConsulta", {190, 132, 80, 30});
    caption(panel, QString::fromUtf8("Programação"), 10, 172);
    edProgConsulta = dataField(panel, "edProgConsulta", {190, 172, 150, 30});
    caption(panel, QStringLiteral("Ficha"), 340, 172);
    edFichaConsulta = dataField(panel, "edFichaConsulta", {520, 172, 150, 30});
    caption(panel, QStringLiteral("Total Etiquetas"), 10, 212);
    edTotFichaConsulta = dataField(panel, "edTotFichaConsulta", {190, 212, 150, 30});

    imgProdConsulta = new QLabel(panel);
    imgProdConsulta->setObjectName(QStringLiteral("imgProdConsulta"));
    imgProdConsulta->setGeometry(720, 12, 640, 240);
    imgProdConsulta->setAlignment(Qt::AlignCenter);
    imgProdConsulta->hide();

    m_model = new CountsModel(enquiry.cdsSetoresConsulta, this);
    dbgSetoresConsulta = new QTableView(panel);
    dbgSetoresConsulta->setObjectName(QStringLiteral("dbgSetoresConsulta"));
    dbgSetoresConsulta->setModel(m_model);
    dbgSetoresConsulta->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgSetoresConsulta->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgSetoresConsulta->setSelectionMode(QAbstractItemView::SingleSelection);
    dbgSetoresConsulta->setFocusPolicy(Qt::NoFocus);
    dbgSetoresConsulta->verticalHeader()->hide();
    dbgSetoresConsulta->verticalHeader()->setDefaultSectionSize(40);
    dbgSetoresConsulta->setStyleSheet(
        QStringLiteral("QTableView { selection-background-color: rgb(238,238,238); selection-color: black; }"));
    dbgSetoresConsulta->setFont(big);
    // Seven rows under the header.
    dbgSetoresConsulta->setGeometry(10, 262, 1358, 40 * 7 + 34);
    dbgSetoresConsulta->setColumnWidth(0, 120);
    dbgSetoresConsulta->setColumnWidth(1, 700);
    dbgSetoresConsulta->horizontalHeader()->setStretchLastSection(true);

    pnCancQuilbar = new QLabel(QString::fromUtf8("Pressione F4 para Cancelar a Atualização da Etiqueta"), panel);
    pnCancQuilbar->setObjectName(QStringLiteral("pnCancQuilbar"));
    pnCancQuilbar->setGeometry(10, 580, 1358, 28);
    pnCancQuilbar->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pnCancQuilbar->setFont(big);
    pnCancQuilbar->hide();
    pnMsgConsulta = new widgets::FitLabel(panel);
    pnMsgConsulta->setWordWrap(true);
    pnMsgConsulta->setObjectName(QStringLiteral("pnMsgConsulta"));
    pnMsgConsulta->setGeometry(0, 612, 1378, 50);
    pnMsgConsulta->setAlignment(Qt::AlignCenter);
    QFont msg = big;
    msg.setPixelSize(30);
    msg.setBold(true);
    pnMsgConsulta->setBaseFont(msg);
    pnMsgConsulta->setAutoFillBackground(true);

    // A screen smaller than the panel's design gets the whole panel, scaled down.
    if (const QScreen* screen = host ? host->screen() : QGuiApplication::primaryScreen()) {
        widgets::ScaleTree(panel, widgets::FitFactor(panel->size(), screen->availableGeometry().size() - kFrameRoom));
    }
    pfConsultaEtiq->setPanel(panel);
    applyDialogLook(pfConsultaEtiq, QString::fromUtf8("Conulta Etiqueta Unitária"));
    pfConsultaEtiq->OnShow = [this] {
        guarded([this] {
            m_enquiry.Open();
            refresh();
            edCodBarraConsulta->setFocus();
        });
    };

    m_enquiry.consent = [this](const std::string& groups) -> std::optional<std::string> {
        StationContext& ctx = m_enquiry.context();
        const AuthorisationResult r =
            AuthorisedUserCheck(groups, ctx.sqlConAcesso, ctx.display, pfConsultaEtiq->PopupWindow());
        if (!r.authorised) return std::nullopt;
        return r.user;
    };
    m_enquiry.showCancellation = [this] { showCancellation(); };
}

TEnquiryPanel::~TEnquiryPanel() {
    m_enquiry.consent = nullptr;
    m_enquiry.showCancellation = nullptr;
}

void TEnquiryPanel::Show() {
    pfConsultaEtiq->ShowPanelForm();
}

void TEnquiryPanel::close() {
    pfConsultaEtiq->close();
}

void TEnquiryPanel::paintMessage(const std::string& text, MessageColour colour, bool hint) {
    pnMsgConsulta->setText(toQString(text));
    QPalette p = pnMsgConsulta->palette();
    if (colour == MessageColour::Error) {
        p.setColor(QPalette::Window, kRed);
        p.setColor(QPalette::WindowText, Qt::white);
    } else {
        const QPalette neutral = m_host ? m_host->palette() : QPalette();
        p.setColor(QPalette::Window, neutral.color(QPalette::Window));
        p.setColor(QPalette::WindowText, Qt::white);
    }
    pnMsgConsulta->setPalette(p);
    if (hint) pnMsgConsulta->setToolTip(toQString(text).toUpper());
}

void TEnquiryPanel::refresh() {
    const EnquiryFields& f = m_enquiry.fields;
    edProdConsulta->setText(toQString(f.prod));
    edPadConsulta->setText(toQString(f.pad));
    edTamConsulta->setText(toQString(f.tam));
    edProgConsulta->setText(toQString(f.prog));
    edFichaConsulta->setText(toQString(f.ficha));
    edTotFichaConsulta->setText(toQString(f.totFicha));
    if (m_enquiry.pictureVisible) {
        const QImage image = decodePicture(m_enquiry.picture);
        if (!image.isNull())
            imgProdConsulta->setPixmap(QPixmap::fromImage(image).scaled(imgProdConsulta->size(), Qt::KeepAspectRatio,
                                                                        Qt::SmoothTransformation));
    }
    imgProdConsulta->setVisible(m_enquiry.pictureVisible);
    pnCancQuilbar->setVisible(m_enquiry.cancellationAvailable());
    const int row = m_enquiry.cdsSetoresConsulta.currentRow();
    if (row >= 0) dbgSetoresConsulta->selectRow(row);
}

bool TEnquiryPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edCodBarraConsulta || event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_F1 || key == Qt::Key_Escape) {
        close();
        return true;
    }
    if (key == Qt::Key_F4 && m_enquiry.cancellationAvailable()) {
        guarded([this] { m_enquiry.RequestCancellation(); });
        refresh();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        const std::string text = fromQString(edCodBarraConsulta->text());
        if (text.find_first_not_of(" \t") != std::string::npos) {
            edCodBarraConsulta->clear();
            edCodBarraConsulta->setFocus();
            guarded([&] { m_enquiry.EnquireLabel(text); });
            refresh();
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TEnquiryPanel::showCancellation() {
    TCancelPanel panel(m_enquiry, m_cancellation, pfConsultaEtiq->PopupWindow());
    panel.Show();
}

// ---------------------------------------------------------------------------------------------

TCancelPanel::TCancelPanel(LabelEnquiry& enquiry, SectorCancellation& cancellation, QWidget*)
    : QObject(nullptr), m_enquiry(enquiry), m_cancellation(cancellation) {
    pfCancAtuCxUnit = new TQXPanelForm(this);
    pfCancAtuCxUnit->setName(QStringLiteral("pfCancAtuCxUnit"));
    auto* panel = new TQXDesignPanel();
    panel->resize(608, 97);
    auto* lbSetor = new QLabel(QStringLiteral("Setor"), panel);
    lbSetor->setObjectName(QStringLiteral("lbSetorCanc"));
    lbSetor->setGeometry(12, 10, 100, 20);
    dbSetorCanc = new QComboBox(panel);
    dbSetorCanc->setObjectName(QStringLiteral("dbSetorCanc"));
    dbSetorCanc->setGeometry(12, 32, 584, 28);
    dbSetorCanc->setMaxVisibleItems(8);
    dbSetorCanc->installEventFilter(this);
    auto* hint = new QLabel(QString::fromUtf8("F9 - Cancelar Atualização do Setor"), panel);
    hint->setObjectName(QStringLiteral("lbF9Canc"));
    hint->setGeometry(12, 68, 400, 20);
    auto* esc = new QLabel(QStringLiteral("Esc - Sair"), panel);
    esc->setObjectName(QStringLiteral("lbEscCanc"));
    esc->setGeometry(500, 68, 96, 20);
    esc->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    db::MemTable& sectors = enquiry.cdsSetoresConsulta;
    const int current = sectors.currentRow();
    for (int row = 0; row < sectors.recordCount(); ++row) {
        sectors.moveToRow(row);
        dbSetorCanc->addItem(toQString(sectors.value("DESC_SETOR").asString()),
                             toQString(sectors.value("SETOR").asString()));
    }
    if (current >= 0) sectors.moveToRow(current);
    // The station's own sector, when the enquiry listed it.
    dbSetorCanc->setCurrentIndex(dbSetorCanc->findData(toQString(enquiry.context().settings.SETOR)));
    if (dbSetorCanc->currentIndex() >= 0) sectors.moveToRow(dbSetorCanc->currentIndex());
    connect(dbSetorCanc, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) m_enquiry.cdsSetoresConsulta.moveToRow(index);
    });

    pfCancAtuCxUnit->setPanel(panel);
    applyDialogLook(pfCancAtuCxUnit, QString::fromUtf8("Cancelar Atualização Etiqueta"));
    pfCancAtuCxUnit->OnShow = [this] { dbSetorCanc->setFocus(); };
}

TCancelPanel::~TCancelPanel() = default;

void TCancelPanel::Show() {
    pfCancAtuCxUnit->ShowPanelForm();
}

bool TCancelPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched != dbSetorCanc || event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
        pfCancAtuCxUnit->close();
        return true;
    }
    if (key == Qt::Key_F9) {
        guarded(m_enquiry.context().display, [&] {
            std::optional<std::string> sector;
            if (dbSetorCanc->currentIndex() >= 0) sector = fromQString(dbSetorCanc->currentData().toString());
            if (m_cancellation.CancelSectorUpdate(sector)) pfCancAtuCxUnit->close();
        });
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vek::enquiry
