#include "app/TfrmQuilbar.h"

#include "app/RecentEntriesPanel.h"
#include "app/WidgetKit.h"
#include "db/TableModel.h"
#include "enquiry/EnquiryPanels.h"
#include "monitoring/ProductPictures.h"
#include "util/TextCodec.h"
#include "widgets/StandardImages.h"

#include <QApplication>
#include <QBuffer>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace vek {

using namespace ui;
using widgets::DesignScale;
using widgets::FitLabel;
using widgets::FitLineEdit;
using widgets::PictureLabel;

namespace {

QString q(const std::string& s) {
    return toQString(s);
}

// A totals row keeps its two halves split whenever its own size changes.
class SplitRow : public QFrame {
public:
    SplitRow(QWidget* parent, const char* name) : QFrame(parent) { setObjectName(QString::fromLatin1(name)); }
    QWidget* left = nullptr;
    QWidget* right = nullptr;

protected:
    void resizeEvent(QResizeEvent* e) override {
        QFrame::resizeEvent(e);
        if (left && right) {
            TfrmQuilbar::SplitTotalsRow(this, left, right);
        }
    }
};

} // namespace

TfrmQuilbar::TfrmQuilbar(Platform platform, std::string settingsPath, std::string executablePath, AccessClient* access,
                         QWidget* parent)
    : QWidget(parent),
      m_station(*this, std::move(platform), std::move(settingsPath), std::move(executablePath), access) {
    setObjectName(QStringLiteral("frmQuilbar"));
    setWindowTitle(QStringLiteral("Atualizacao da Producao"));
    imPadrao.setObjectName(QStringLiteral("imPadrao"));
    widgets::FillStandardImages(imPadrao);
    buildUi();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(60000);
    connect(Timer1, &QTimer::timeout, this, [this] { ClockTick(); });
    Timer1->start();
    m_probe = new QTimer(this);
    connect(m_probe, &QTimer::timeout, this, [this] { SettleKeptScans(); });
    m_messageHold = new QTimer(this);
    m_messageHold->setSingleShot(true);
    connect(m_messageHold, &QTimer::timeout, this, [this] { guarded([this] { ReleaseHeldMessage(); }); });
}

TfrmQuilbar::~TfrmQuilbar() = default;

namespace {

// The design: the left area, the hourly grid and the side panel across, 694 rows down.
constexpr int kLeftWidth = 959;
constexpr int kGridWidth = 297;
constexpr int kDesignHeight = 694;
constexpr int kStatusHeight = 19;
// The picture sits right of the label data, past the rightmost field.
constexpr int kPictureLeft = 689;
constexpr int kScanModeFieldsRight = 911;
constexpr int kGap = 6;

} // namespace

void TfrmQuilbar::buildUi() {
    resize(1356, kDesignHeight);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* top = new QHBoxLayout();
    top->setSpacing(0);
    outer->addLayout(top, 1);
    DesignScale& d = m_scale;
    // A panel's text never sets the window's width: long texts shrink their font instead.
    const auto laidOut = [](QWidget* w) { w->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed); };

    // Left area: scan field, label data, production.
    pnLeft = frame(this, "pnLeft");
    auto* left = new QVBoxLayout(pnLeft);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    top->addWidget(pnLeft, 1);

    Panel1 = frame(pnLeft, "Panel1");
    d.SetFixedHeight(Panel1, 104);
    left->addWidget(Panel1);
    pnEsteira = panel(Panel1, "pnEsteira", QStringLiteral("Esteira 01"), makeFont(kSerif, 35), kNavy);
    d.SetFont(pnEsteira, pnEsteira->baseFont());
    d.SetGeometry(pnEsteira, {0, 0, kLeftWidth, 41}); // spans the strip: see eventFilter
    Panel1->installEventFilter(this);
    Label1 = panel(Panel1, "Label1", QString::fromUtf8("Código Barras"), makeFont(kSans, 24), Qt::black,
                   Qt::AlignRight | Qt::AlignVCenter);
    d.SetFont(Label1, Label1->baseFont());
    d.SetGeometry(Label1, {4, 56, 183 - kGap - 4, 37});
    edCodBar = new QLineEdit(Panel1);
    edCodBar->setObjectName(QStringLiteral("edCodBar"));
    d.SetFont(edCodBar, makeFont(kSans, 24));
    d.SetGeometry(edCodBar, {183, 56, 497, 37});
    edCodBar->installEventFilter(this);

    pnDadosEtiq = frame(pnLeft, "pnDadosEtiq");
    d.SetFixedHeight(pnDadosEtiq, 202);
    left->addWidget(pnDadosEtiq);
    // A caption is right-aligned to its field, in the room left of it.
    auto field = [&](FitLabel*& label, FitLineEdit*& edit, const char* lname, const char* ename, const QString& caption,
                     int captionLeft, QRect geom) {
        label = panel(pnDadosEtiq, lname, caption, makeFont(kSans, 24), Qt::black, Qt::AlignRight | Qt::AlignVCenter);
        d.SetFont(label, label->baseFont());
        d.SetGeometry(label, {captionLeft, geom.y(), geom.x() - kGap - captionLeft, geom.height()});
        edit = new FitLineEdit(pnDadosEtiq);
        edit->setObjectName(QString::fromLatin1(ename));
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
        d.SetFont(edit, makeFont(kSerif, 24));
        setColors(edit, kBlue, kLightYellow);
        d.SetGeometry(edit, geom);
    };
    field(lbProd, edProd, "lbProd", "edProd", QStringLiteral("Produto"), 4, {183, 13, 153, 34});
    field(lbPad, edPad, "lbPad", "edPad", QString::fromUtf8("Padronização"), 4, {183, 59, 497, 34});
    field(lbTam, edTam, "lbTam", "edTam", QStringLiteral("Tamanho"), 4, {183, 105, 82, 34});
    field(lbTotEtiq, edTotEtiq, "lbTotEtiq", "edTotEtiq", QStringLiteral("Total Prog/Ficha"), 265 + kGap,
          {503, 105, 177, 34});
    field(lbProg, edProg, "lbProg", "edProg", QString::fromUtf8("Programação"), 4, {183, 151, 153, 34});
    field(lbFicha, edFicha, "lbFicha", "edFicha", QStringLiteral("Ficha"), 336 + kGap, {504, 151, 176, 34});
    imgProdAtu = new PictureLabel(pnDadosEtiq);
    imgProdAtu->setObjectName(QStringLiteral("imgProdAtu"));
    imgProdAtu->setImage(designPicture(), false);
    imgProdAtu->hide();
    pnDadosEtiq->installEventFilter(this);
    // The feed's picture control carries the same design picture.
    imgProduto = new QLabel(this);
    imgProduto->setObjectName(QStringLiteral("imgProduto"));
    imgProduto->setPixmap(QPixmap::fromImage(designPicture()));
    imgProduto->hide();

    Panel3 = frame(pnLeft, "Panel3");
    left->addWidget(Panel3, 1);
    auto* prod = new QVBoxLayout(Panel3);
    prod->setContentsMargins(0, 0, 0, 0);
    prod->setSpacing(0);
    pnFuncSetor = panel(Panel3, "pnFuncSetor", QString(), makeFont(kSans, 24), kBlue);
    d.SetFont(pnFuncSetor, pnFuncSetor->baseFont());
    d.SetFixedHeight(pnFuncSetor, 50);
    laidOut(pnFuncSetor);
    pnFuncSetor->hide();
    pnProducaoDia = panel(Panel3, "pnProducaoDia", QString::fromUtf8("Produção Dia"), makeFont(kSerif, 80), kNavy);
    d.SetFont(pnProducaoDia, pnProducaoDia->baseFont());
    d.SetFixedHeight(pnProducaoDia, 88);
    laidOut(pnProducaoDia);
    pnQtParesDia = panel(Panel3, "pnQtParesDia", QStringLiteral("0"), makeFont(kSerif, 107), kRed);
    d.SetFont(pnQtParesDia, pnQtParesDia->baseFont());
    d.SetFixedHeight(pnQtParesDia, 90);
    laidOut(pnQtParesDia);
    prod->addWidget(pnProducaoDia);
    prod->addWidget(pnQtParesDia);
    prod->addStretch(1);
    auto row = [&](QFrame*& r, FitLabel*& l, FitLabel*& rt, const char* name, const char* lname, const char* rname,
                   int h, int px, const QColor& c) {
        auto* s = new SplitRow(Panel3, name);
        d.SetFixedHeight(s, h);
        laidOut(s);
        l = panel(s, lname, QString(), makeFont(kSerif, px), c, Qt::AlignCenter, true);
        rt = panel(s, rname, QString(), makeFont(kSerif, px), c, Qt::AlignCenter, true);
        d.SetFont(l, l->baseFont());
        d.SetFont(rt, rt->baseFont());
        s->left = l;
        s->right = rt;
        r = s;
        prod->addWidget(s);
    };
    row(pnTotal, pnQtParesDiaAnt, pnQtParesMes, "pnTotal", "pnQtParesDiaAnt", "pnQtParesMes", 24, 19, kBlue);
    row(pnTotCancelado, pnQtParCancDiaAnt, pnQtParCancMes, "pnTotCancelado", "pnQtParCancDiaAnt", "pnQtParCancMes", 20,
        19, kRed);
    row(pnTotGeral, pnTotQtParDiaAnt, pnTotQtParMes, "pnTotGeral", "pnTotQtParDiaAnt", "pnTotQtParMes", 45, 27, kBlue);
    prod->addWidget(pnFuncSetor);
    pnConsultaEtiq = panel(Panel3, "pnConsultaEtiq", QStringLiteral("Pressione F1 para Consultar os dados da Etiqueta"),
                           makeFont(kSerif, 19), kBlue, Qt::AlignRight | Qt::AlignVCenter, true);
    d.SetFont(pnConsultaEtiq, pnConsultaEtiq->baseFont());
    d.SetFixedHeight(pnConsultaEtiq, 24);
    laidOut(pnConsultaEtiq);
    pnConsultaEtiq->hide();
    prod->addWidget(pnConsultaEtiq);

    // Hourly grid over the in-memory table, which exists (empty) from the start.
    m_hourlyGrid = new db::TableModel(m_station.monitor().cdsProdHora, this);
    dbgProducaoHora = new QTableView(this);
    dbgProducaoHora->setObjectName(QStringLiteral("dbgProducaoHora"));
    dbgProducaoHora->setModel(m_hourlyGrid);
    d.SetFont(dbgProducaoHora, makeFont(kSans, 19));
    dbgProducaoHora->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgProducaoHora->setFocusPolicy(Qt::NoFocus);
    dbgProducaoHora->verticalHeader()->hide();
    dbgProducaoHora->horizontalHeader()->setStretchLastSection(true);
    d.SetFixedWidth(dbgProducaoHora, kGridWidth);
    top->addWidget(dbgProducaoHora);

    // Recent entries side panel.
    pnlUltAtu = frame(this, "pnlUltAtu");
    d.SetFixedWidth(pnlUltAtu, m_sideDesignWidth);
    auto* side = new QVBoxLayout(pnlUltAtu);
    side->setContentsMargins(0, 0, 0, 0);
    FitLabel* header = panel(pnlUltAtu, "lbUltAtu", QString::fromUtf8("Últimas Entradas"), makeFont(kSerif, 35), kNavy);
    d.SetFont(header, header->baseFont());
    laidOut(header);
    side->addWidget(header);
    // The repeating grid over the recent entries: a view painted per entry, not widgets per entry.
    auto* entries = new RecentEntriesView(pnlUltAtu);
    entries->setModel(new RecentEntriesModel(m_station.recentEntries().cdsUltEnt, &m_placeholderPicture, entries));
    entries->setItemDelegate(new RecentEntryDelegate([this] { return m_station.recentEntries().capacity(); },
                                                     [this] { return m_scale.factor(); }, entries));
    dbcgUltEnt = entries;
    side->addWidget(dbcgUltEnt, 1);
    top->addWidget(pnlUltAtu);

    // Message panel with the status bar along its bottom; long messages wrap, then shrink.
    pnMens = panel(this, "pnMens", QString(), makeFont(kSerif, 48), Qt::white);
    pnMens->setWordWrap(true);
    d.SetFont(pnMens, pnMens->baseFont());
    d.SetFixedHeight(pnMens, 115);
    laidOut(pnMens);
    pnMens->setAutoFillBackground(true);
    pnMens->installEventFilter(this); // the status bar keeps to its bottom edge
    sbQuilbar = new QStatusBar(pnMens);
    sbQuilbar->setObjectName(QStringLiteral("sbQuilbar"));
    d.SetFixedHeight(sbQuilbar, kStatusHeight);
    sbQuilbar->setSizeGripEnabled(false);
    d.SetFont(sbQuilbar, makeFont(kSans, 12, false)); // not the message panel's large font
    sbPanel0 = new QLabel(sbQuilbar);
    d.SetFixedWidth(sbPanel0, 180);
    sbPanel1 = new QLabel(sbQuilbar);
    d.SetMinimumWidth(sbPanel1, 50);
    sbPanel1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // a long database path stays in its part
    sbQuilbar->addWidget(sbPanel0);
    sbQuilbar->addWidget(sbPanel1, 1);
    setColors(sbQuilbar, Qt::black, palette().color(QPalette::Window));
    outer->addWidget(pnMens);
    m_journalPanels = std::make_unique<JournalPanels>(this, outer, m_scale);
    setColors(pnMens, Qt::white, pnQtParesDia->palette().color(QPalette::Window));

    fitToScreen();
    edCodBar->setFocus();
}

QSize TfrmQuilbar::designSize() const {
    // Rows down the left area as shown now; the design's own height when they take less.
    int rows = 104 + (m_scanModeLayout ? 400 : 202) + 115;
    for (auto [w, h] : {std::pair<QWidget*, int>{pnProducaoDia, 88},
                        {pnQtParesDia, 90},
                        {pnTotal, 24},
                        {pnTotCancelado, 20},
                        {pnTotGeral, 45},
                        {pnFuncSetor, 50},
                        {pnConsultaEtiq, 24}}) {
        if (!w->isHidden()) rows += h;
    }
    if (m_journalPanels) rows += m_journalPanels->DesignHeight();
    return {kLeftWidth + kGridWidth + m_sideDesignWidth, std::max(kDesignHeight, rows)};
}

void TfrmQuilbar::fitToScreen() {
    const QScreen* s = screen();
    if (!s) {
        return;
    }
    QSize room = s->availableGeometry().size();
    if (const QWindow* handle = windowHandle()) {
        const QMargins frame = handle->frameMargins();
        room -= QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    }
    const QSize design = designSize();
    const double factor = widgets::FitFactor(design, room);
    m_scale.Apply(factor);
    dbgProducaoHora->setColumnWidth(0, m_scale.Scaled(144));
    // The message's text stays above the status bar.
    pnMens->setContentsMargins(0, 0, 0, m_scale.Scaled(kStatusHeight));
    pnEsteira->setGeometry(0, 0, Panel1->width(), pnEsteira->height());
    placePicture();
    FormResize();
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        // The design's size at this factor, never past the screen.
        resize(std::min(m_scale.Scaled(design.width()), room.width()),
               std::min(m_scale.Scaled(design.height()), room.height()));
    }
}

void TfrmQuilbar::scheduleFit() {
    // Start-up changes what is shown several times over: the window is fitted once, after them.
    if (m_fitPending) {
        return;
    }
    m_fitPending = true;
    QTimer::singleShot(0, this, [this] {
        m_fitPending = false;
        guarded([this] { fitToScreen(); });
    });
}

void TfrmQuilbar::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_followsScreen && windowHandle()) {
        m_followsScreen = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { guarded([this] { fitToScreen(); }); });
    }
    fitToScreen(); // the frame's margins are known now
}

// ---------------------------------------------------------------------------------------------
// Events

template <class F>
void TfrmQuilbar::guarded(F&& step) {
    vek::guarded(*this, std::forward<F>(step));
}

void TfrmQuilbar::FormCreate() {
    guarded([this] { m_station.FormCreate(); });
    scheduleWaitingCodes();
}

void TfrmQuilbar::ClockTick() {
    guarded([this] { m_station.ClockTick(); });
}

bool TfrmQuilbar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edCodBar && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            guarded([this] { edCodBarEnter(); });
            return true;
        }
        if (key->key() == Qt::Key_F8) {
            guarded([this] { m_station.AcknowledgeLateRefusals(); });
            return true;
        }
        if (key->key() == Qt::Key_F1 && m_station.context().settings.sectorMode()) {
            if (!m_station.busy()) guarded([this] { openEnquiry(); });
            return true;
        }
    } else if (event->type() == QEvent::Resize) {
        if (watched == Panel1) {
            pnEsteira->setGeometry(0, 0, Panel1->width(), pnEsteira->height());
        } else if (watched == pnDadosEtiq) {
            placePicture();
        } else if (watched == pnMens) {
            sbQuilbar->setGeometry(0, pnMens->height() - sbQuilbar->height(), pnMens->width(), sbQuilbar->height());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmQuilbar::edCodBarEnter() {
    if (!m_station.EnterCode(fromQString(edCodBar->text()))) {
        edCodBar->clear(); // queued: the field is free for the next code
    }
    scheduleWaitingCodes();
}

void TfrmQuilbar::runWaitingCode() {
    const std::optional<std::string> next = m_station.TakeWaitingCode();
    if (!next) {
        return;
    }
    const QString typedMeanwhile = edCodBar->text();
    edCodBar->setText(toQString(*next));
    m_station.ScanCode(*next);
    // The scan emptied the field; keep what was typed before it, then what came during it.
    if (!typedMeanwhile.isEmpty()) {
        edCodBar->setText(typedMeanwhile + edCodBar->text());
    }
    scheduleWaitingCodes();
}

void TfrmQuilbar::scheduleWaitingCodes() {
    if (m_station.codesWaiting() && !m_station.busy()) {
        QTimer::singleShot(0, this, [this] { guarded([this] { runWaitingCode(); }); });
    }
}

void TfrmQuilbar::SettleKeptScans() {
    guarded([this] { m_station.Settle(); });
    scheduleWaitingCodes();
}

void TfrmQuilbar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TfrmQuilbar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // FormActivate: the station always fills the screen.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !(windowState() & Qt::WindowMaximized)) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

void TfrmQuilbar::SplitTotalsRow(QWidget* row, QWidget* left, QWidget* right) {
    const int width = row->contentsRect().width();
    const int half = width / 2;
    const int height = row->contentsRect().height();
    left->setGeometry(0, 0, half, height);
    right->setGeometry(half, 0, width - half, height);
}

void TfrmQuilbar::FormResize() {
    for (auto [row, l, r] : {std::tuple<QWidget*, QWidget*, QWidget*>{pnTotGeral, pnTotQtParDiaAnt, pnTotQtParMes},
                             {pnTotal, pnQtParesDiaAnt, pnQtParesMes},
                             {pnTotCancelado, pnQtParCancDiaAnt, pnQtParCancMes}}) {
        SplitTotalsRow(row, l, r);
    }
    const int points = width() > 1000 ? 30 : 20;
    for (FitLabel* l : {pnTotQtParDiaAnt, pnTotQtParMes}) {
        QFont f = l->baseFont();
        f.setPointSize(points);
        m_scale.SetFont(l, f);
    }
}

// ---------------------------------------------------------------------------------------------
// What the station shows

void TfrmQuilbar::paintMessage(const std::string& text, MessageColour colour, bool hint) {
    pnMens->setText(q(text));
    switch (colour) {
    case MessageColour::Neutral:
        setColors(pnMens, Qt::white, pnQtParesDia->palette().color(QPalette::Window));
        break;
    case MessageColour::Error:
        setColors(pnMens, Qt::white, kRed);
        break;
    case MessageColour::Success:
        setColors(pnMens, Qt::white, kGreen);
        break;
    case MessageColour::Held:
        setColors(pnMens, Qt::white, JournalPanels::amber());
        break;
    }
    if (hint) {
        pnMens->setToolTip(q(text).toUpper());
    }
}

void TfrmQuilbar::paintEnquiryMessage(const std::string& text, MessageColour colour, bool hint) {
    if (m_enquiryPanel) {
        m_enquiryPanel->paintMessage(text, colour, hint);
    }
}

void TfrmQuilbar::openEnquiry() {
    enquiry::TEnquiryPanel panel(m_station.enquiry(), m_station.cancellation(), this);
    m_enquiryPanel = &panel;
    struct Reset {
        enquiry::TEnquiryPanel*& p;
        ~Reset() { p = nullptr; }
    } reset{m_enquiryPanel};
    panel.Show();
}

void TfrmQuilbar::ShowBoxFields(const BoxFields& f) {
    edProd->setText(q(f.prod));
    edPad->setText(q(f.pad));
    edTam->setText(q(f.tam));
    edProg->setText(q(f.prog));
    edFicha->setText(q(f.ficha));
}

void TfrmQuilbar::ClearBoxFields() {
    for (QLineEdit* e : {edProd, edPad, edTam, edProg, edFicha, edTotEtiq}) {
        e->clear();
    }
}

void TfrmQuilbar::ShowTicketCount(const std::string& text) {
    edTotEtiq->setText(q(text));
}

void TfrmQuilbar::paintScanField(bool empty) {
    if (empty) {
        edCodBar->clear();
    }
    edCodBar->setFocus();
}

void TfrmQuilbar::ShowCounters(const CounterTexts& t) {
    pnQtParesDia->setText(q(t.day));
    pnQtParesMes->setText(q(t.month));
    pnTotQtParMes->setText(q(t.monthTotal));
}

void TfrmQuilbar::ShowPreviousDay(const PreviousDayTexts& t) {
    pnQtParesDiaAnt->setText(q(t.production));
    pnQtParCancDiaAnt->setText(q(t.cancelled));
    pnQtParCancMes->setText(q(t.monthCancelled));
    pnTotQtParDiaAnt->setText(q(t.total));
}

void TfrmQuilbar::ShowClockHeader(const std::string& text) {
    pnEsteira->setText(q(text));
}

void TfrmQuilbar::ShowProductPicture(const std::string& data) {
    // The boxes of a ticket share their picture: it is decoded and scaled once, not per box.
    if (data == m_shownPicture) {
        return;
    }
    m_shownPicture = data;
    const QImage img = decodePicture(data);
    if (img.isNull()) {
        return; // neither JPEG nor PNG: the control keeps its picture
    }
    imgProdAtu->setImage(img, true);
}

void TfrmQuilbar::ShowOperatorAndSector(const std::string& text) {
    pnFuncSetor->setText(q(text));
    if (!text.empty()) {
        pnFuncSetor->show();
        scheduleFit();
    }
}

void TfrmQuilbar::ShowStatusBar(const std::string& buildText, const std::string& databaseText) {
    sbPanel0->setText(q(buildText));
    sbPanel1->setText(q(databaseText));
}

void TfrmQuilbar::HideTotals() {
    pnTotGeral->hide();
    pnTotCancelado->hide();
    pnTotal->hide();
    scheduleFit();
}

void TfrmQuilbar::ShowPlaceholderPicture() {
    if (m_placeholderPicture.isNull()) {
        return;
    }
    m_shownPicture.clear();
    imgProdAtu->setImage(m_placeholderPicture, true);
}

void TfrmQuilbar::ShowPictureArea(bool on) {
    if (on) {
        m_placeholderPicture = CopyPictureAsJpeg(imgProdAtu);
    }
    imgProdAtu->setVisible(on);
}

void TfrmQuilbar::SetSidePanelWidth(int width) {
    m_sideDesignWidth = width;
    m_scale.SetFixedWidth(pnlUltAtu, width);
    pnlUltAtu->setVisible(width > 0);
    scheduleFit();
}

int TfrmQuilbar::SidePanelHeight() const {
    // Before the window is first shown its layout has not run yet: lay it out at its present size.
    if (QLayout* l = layout()) {
        l->activate();
    }
    // In design pixels: the feed holds as many entries on a small screen as on a large one.
    return int(std::lround(pnlUltAtu->height() / m_scale.factor()));
}

void TfrmQuilbar::closeEvent(QCloseEvent* event) {
    guarded([this] { m_station.StopRecentEntriesFeed(); });
    QWidget::closeEvent(event);
}

void TfrmQuilbar::ApplyScanModeLayout(bool scan, bool sectorMode, bool hideTotals) {
    pnProducaoDia->setVisible(!scan);
    pnQtParesDia->setVisible(!scan);
    dbgProducaoHora->setVisible(!scan);
    for (QWidget* w :
         {static_cast<QWidget*>(pnTotal), static_cast<QWidget*>(pnTotCancelado), static_cast<QWidget*>(pnTotGeral)}) {
        w->setVisible(!scan && !hideTotals);
    }
    pnConsultaEtiq->setVisible(sectorMode && !scan);
    if (scan) {
        auto* prod = static_cast<QVBoxLayout*>(Panel3->layout());
        prod->removeWidget(pnFuncSetor);
        prod->insertWidget(0, pnFuncSetor);
        QFont f = pnFuncSetor->baseFont();
        f.setPointSize(32);
        m_scale.SetFont(pnFuncSetor, f);
        m_scale.SetFixedHeight(pnDadosEtiq, 400);
        m_scanModeLayout = true;
        struct Bounds {
            QWidget* w;
            int l, t, wd, h;
        };
        const Bounds table[] = {
            {lbProd, 118, 17, 149, 46},     {edProd, 278, 13, 216, 53},     {lbPad, 9, 89, 259, 46},
            {edPad, 278, 86, 633, 53},      {lbTam, 91, 162, 176, 46},      {edTam, 278, 159, 128, 53},
            {lbTotEtiq, 410, 162, 311, 46}, {edTotEtiq, 733, 159, 176, 53}, {lbProg, 14, 235, 253, 46},
            {edProg, 277, 232, 216, 53},    {lbFicha, 617, 235, 104, 46},   {edFicha, 733, 232, 176, 53},
        };
        for (const Bounds& b : table) {
            QFont bf = b.w->font();
            bf.setPointSize(32);
            m_scale.SetFont(b.w, bf);
            m_scale.SetGeometry(b.w, {b.l, b.t, b.wd, b.h});
        }
    }
    scheduleFit();
}

void TfrmQuilbar::ShowConnectionPanel(const std::string& text) {
    m_journalPanels->ShowConnection(text);
    scheduleFit();
}

void TfrmQuilbar::ProbeEvery(int ms) {
    if (ms <= 0) {
        m_probe->stop();
    } else if (!m_probe->isActive() || m_probe->interval() != ms) {
        m_probe->start(ms);
    }
}

void TfrmQuilbar::ReleaseMessageAfter(int ms) {
    m_messageHold->start(std::max(ms, 0));
}

void TfrmQuilbar::ShowLateRefusals(const std::vector<LateRefusal>& lines) {
    m_journalPanels->ShowLateRefusals(lines);
    scheduleFit();
}

void TfrmQuilbar::placePicture() {
    // The panel gets its width from the layout later: follow every change of its size.
    const int w = pnDadosEtiq->width();
    const int most = m_scale.Scaled(453);
    if (m_scanModeLayout) {
        const int width = std::clamp(w - m_scale.Scaled(kScanModeFieldsRight + kGap), 0, most);
        imgProdAtu->setGeometry(w - width, 0, width, pnDadosEtiq->height());
    } else {
        const int x = m_scale.Scaled(kPictureLeft);
        const int width = std::clamp(w - x - m_scale.Scaled(kGap), 0, most);
        imgProdAtu->setGeometry(x, m_scale.Scaled(6), width, m_scale.Scaled(187));
    }
}

void TfrmQuilbar::Repaint() {
    // Paint what changed now; user input stays queued so that a scan never starts inside another.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QImage TfrmQuilbar::CopyPictureAsJpeg(QLabel* control) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    control->pixmap().toImage().save(&buf, "JPG");
    QImage copy;
    copy.loadFromData(bytes, "JPG");
    return copy;
}

} // namespace vek
