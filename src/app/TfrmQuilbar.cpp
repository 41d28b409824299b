#include "app/TfrmQuilbar.h"

#include "access/AccessClient.h"
#include "db/TableModel.h"
#include "monitoring/HourlyTable.h"
#include "monitoring/ProductionCounters.h"
#include "scan/UnitBoxScan.h"
#include "db/DataSetHelpers.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <QApplication>
#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <stdexcept>

namespace vek {

namespace {

const QString kSerif = QStringLiteral("Liberation Serif");
const QString kSans = QStringLiteral("Liberation Sans");
const QColor kNavy(0, 0, 128);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kLightYellow(255, 255, 164);

QFont makeFont(const QString& family, int pixels, bool bold = true) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void setColors(QWidget* w, const QColor& text, const QColor& background = QColor()) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Text, text);
    if (background.isValid()) {
        p.setColor(QPalette::Window, background);
        p.setColor(QPalette::Base, background);
    }
    w->setPalette(p);
    w->setAutoFillBackground(background.isValid());
}

QLabel* panel(QWidget* parent, const char* name, const QString& text, const QFont& f, const QColor& color,
              Qt::Alignment align = Qt::AlignCenter, bool sunken = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(f);
    l->setAlignment(align);
    setColors(l, color);
    if (sunken) {
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    return l;
}

QFrame* frame(QWidget* parent, const char* name) {
    auto* f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    return f;
}

std::optional<DateTime> optionalTime(const db::Value& v) {
    if (v.isNull()) {
        return std::nullopt;
    }
    return v.asDateTime();
}

QString q(const std::string& s) {
    return toQString(s);
}

// The placeholder the picture controls carry from the design: a plain frame with a caption.
QImage designPicture() {
    QImage img(240, 160, QImage::Format_RGB32);
    img.fill(QColor(235, 235, 235));
    QPainter p(&img);
    p.setPen(QColor(120, 120, 120));
    p.drawRect(0, 0, img.width() - 1, img.height() - 1);
    p.setFont(makeFont(kSans, 18));
    p.drawText(img.rect(), Qt::AlignCenter, QStringLiteral("SEM IMAGEM"));
    return img;
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

TfrmQuilbar::TfrmQuilbar(Platform platform, std::string settingsPath, std::string executablePath, QWidget* parent)
    : QWidget(parent), m_platform(std::move(platform)), m_settingsPath(std::move(settingsPath)),
      m_executablePath(std::move(executablePath)), sqlCodCxUn(m_sqlCon, "sqlCodCxUn"),
      sqlQuilbar(m_sqlCon, "sqlQuilbar"), sqlDataServ(m_sqlCon, "sqlDataServ"),
      sqlDadosSetor(m_sqlCon, "sqlDadosSetor"), sqlTotPar(m_sqlCon, "sqlTotPar"),
      sqlTotParUnit(m_sqlCon, "sqlTotParUnit"), sqlEmpresa(m_sqlCon, "sqlEmpresa"), sqlFunc(m_sqlCon, "sqlFunc"),
      sqlSetor(m_sqlCon, "sqlSetor"), sqlPesqEtiqProgFicha(m_sqlCon, "sqlPesqEtiqProgFicha"),
      sqlPesqEtiqProgFichaSetor(m_sqlCon, "sqlPesqEtiqProgFichaSetor"), sqlImgProd(m_sqlConCat, "sqlImgProd") {
    setObjectName(QStringLiteral("frmQuilbar"));
    setWindowTitle(QStringLiteral("Atualizacao da Producao"));

    sqlCodCxUn.setSql("SELECT DISTINCT C.*, PR.GRUPO_PR, PR.IMAGEM_PR,\n"
                      "(SELECT DESC_PP FROM PADRONIZ_PRODUTO P WHERE C.PADRON_CX = P.PADRONIZ_PP AND C.PROD_CX = "
                      "P.PROD_PP) AS DESC_PA,\n"
                      "(SELECT M.COD_TA FROM TABELA M WHERE M.DESC_TA = C.MARCA_CX AND M.NUM_TA = '70') AS "
                      "COD_MARCA,\n"
                      "(select PV.TIPO_PV from PEDVENDA PV where PV.NUM_PV = C.PEDIDO_CX) TIPO_PEDIDO\n"
                      "FROM CODCXUNIT C\n"
                      "LEFT JOIN PRODUTO PR ON PR.COD_PR = C.PROD_CX\n"
                      "WHERE CODIGO_CX = :COD");
    sqlQuilbar.setSql("update CODCXUNIT\n"
                      "set DTBAIXA_CX=cast('now' as timestamp), ESTEIRA_CX=:ESTEIRA, SETOR_CX = :SETOR, "
                      "FUNCIONARIO_CX = :FUNCIONARIO\n"
                      "where CODIGO_CX=:COD");
    sqlDataServ.setSql("select cast('NOW' as timestamp) as DATA_SERV from CONFIG");
    sqlDadosSetor.setSql("select * from SETOR where COD_SE = :COD_SETOR");
    sqlTotPar.setSql("select ESTEIRA_CX, DTBAIXA_CX, DATA_CANC_CX\n"
                     "from CODCXUNIT\n"
                     "where DTBAIXA_CX>=:DATAI\n"
                     "and DTBAIXA_CX<=:DATAF");
    sqlTotParUnit.setSql("select C.DTSAIDA_PU, U.DATA_CANC_CX\n"
                         "from PRODUCAO_SETOR_CXUNIT C\n"
                         "left join CODCXUNIT U on U.CODIGO_CX = C.CODCXUNIT_PU\n"
                         "where C.DTSAIDA_PU >= :DATAI and\n"
                         "      C.DTSAIDA_PU <= :DATAF and\n"
                         "      C.SETOR_PU = :SETOR");
    sqlEmpresa.setSql("select c.nome_empresa from config c");
    sqlFunc.setSql("SELECT NOME_FU FROM FUNCIONARIO F WHERE CODIGO_FU = :FUNC");
    sqlSetor.setSql("SELECT S.NOME_SE FROM SETOR S WHERE S.COD_SE = :SETOR");
    sqlPesqEtiqProgFicha.setSql(
        "select STATUS, count(*) as QTDE\n"
        "from (select case when (DTBAIXA_CX is null) then 'P' else 'B' end as STATUS from CODCXUNIT where PROG_CX = "
        ":PROG and FICHA_CX = :FICHA and DATA_CANC_CX is null)\n"
        "group by 1");
    sqlPesqEtiqProgFichaSetor.setSql(
        "select STATUS, count(*) as QTDE\n"
        "from (select case when (DTSAIDA_PU is null) then 'P' else 'B' end as STATUS FROM CODCXUNIT CX LEFT JOIN "
        "PRODUCAO_SETOR_CXUNIT PS ON PS.CODCXUNIT_PU = CX.CODIGO_CX AND SETOR_PU = :SETOR WHERE CX.PROG_CX = :PROG "
        "AND CX.FICHA_CX = :FICHA AND CX.DATA_CANC_CX IS NULL)\n"
        "group by 1");
    sqlImgProd.setSql("SELECT THUMBM_PP, THUMB_PP\n"
                      "FROM PADRONIZ_PRODUTO\n"
                      "WHERE PRODUTO_PP = :PROD\n"
                      "AND PADRONIZ_PP = :PADRON");

    buildUi();
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(60000);
    connect(Timer1, &QTimer::timeout, this, [this] { ClockTick(); });
    Timer1->start();
}

TfrmQuilbar::~TfrmQuilbar() = default;

void TfrmQuilbar::buildUi() {
    resize(1356, 694);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* top = new QHBoxLayout();
    top->setSpacing(0);
    outer->addLayout(top, 1);

    // Left area: scan field, label data, production.
    pnLeft = frame(this, "pnLeft");
    auto* left = new QVBoxLayout(pnLeft);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    top->addWidget(pnLeft, 1);

    Panel1 = frame(pnLeft, "Panel1");
    Panel1->setFixedHeight(104);
    left->addWidget(Panel1);
    pnEsteira = panel(Panel1, "pnEsteira", QStringLiteral("Esteira 01"), makeFont(kSerif, 35), kNavy);
    pnEsteira->setGeometry(0, 0, 959, 41);
    Label1 = panel(Panel1, "Label1", QString::fromUtf8("Código Barras"), makeFont(kSans, 24), Qt::black,
                   Qt::AlignLeft | Qt::AlignVCenter);
    Label1->move(11, 57);
    Label1->adjustSize();
    edCodBar = new QLineEdit(Panel1);
    edCodBar->setObjectName(QStringLiteral("edCodBar"));
    edCodBar->setFont(makeFont(kSans, 24));
    edCodBar->setGeometry(183, 56, 497, 37);
    edCodBar->installEventFilter(this);

    pnDadosEtiq = frame(pnLeft, "pnDadosEtiq");
    pnDadosEtiq->setFixedHeight(202);
    left->addWidget(pnDadosEtiq);
    auto field = [&](QLabel*& label, QLineEdit*& edit, const char* lname, const char* ename, const QString& caption,
                     QPoint at, QRect geom) {
        label = panel(pnDadosEtiq, lname, caption, makeFont(kSans, 24), Qt::black, Qt::AlignRight | Qt::AlignVCenter);
        label->move(at);
        label->adjustSize();
        edit = new QLineEdit(pnDadosEtiq);
        edit->setObjectName(QString::fromLatin1(ename));
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
        edit->setFont(makeFont(kSerif, 24));
        setColors(edit, kBlue, kLightYellow);
        edit->setGeometry(geom);
    };
    field(lbProd, edProd, "lbProd", "edProd", QStringLiteral("Produto"), {87, 16}, {183, 13, 153, 34});
    field(lbPad, edPad, "lbPad", "edPad", QString::fromUtf8("Padronização"), {20, 61}, {183, 59, 497, 34});
    field(lbTam, edTam, "lbTam", "edTam", QStringLiteral("Tamanho"), {70, 107}, {183, 105, 82, 34});
    field(lbTotEtiq, edTotEtiq, "lbTotEtiq", "edTotEtiq", QStringLiteral("Total Prog/Ficha"), {300, 107},
          {503, 105, 177, 34});
    field(lbProg, edProg, "lbProg", "edProg", QString::fromUtf8("Programação"), {23, 153}, {183, 151, 153, 34});
    field(lbFicha, edFicha, "lbFicha", "edFicha", QStringLiteral("Ficha"), {432, 153}, {504, 151, 176, 34});
    imgProdAtu = new QLabel(pnDadosEtiq);
    imgProdAtu->setObjectName(QStringLiteral("imgProdAtu"));
    imgProdAtu->setGeometry(689, 6, 453, 187);
    imgProdAtu->setAlignment(Qt::AlignCenter);
    imgProdAtu->setPixmap(QPixmap::fromImage(designPicture()));
    imgProdAtu->hide();
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
    pnFuncSetor->setFixedHeight(50);
    pnFuncSetor->hide();
    pnProducaoDia = panel(Panel3, "pnProducaoDia", QString::fromUtf8("Produção Dia"), makeFont(kSerif, 80), kNavy);
    pnProducaoDia->setFixedHeight(88);
    pnQtParesDia = panel(Panel3, "pnQtParesDia", QStringLiteral("0"), makeFont(kSerif, 107), kRed);
    pnQtParesDia->setFixedHeight(90);
    prod->addWidget(pnProducaoDia);
    prod->addWidget(pnQtParesDia);
    prod->addStretch(1);
    auto row = [&](QFrame*& r, QLabel*& l, QLabel*& rt, const char* name, const char* lname, const char* rname, int h,
                   int px, const QColor& c) {
        auto* s = new SplitRow(Panel3, name);
        s->setFixedHeight(h);
        l = panel(s, lname, QString(), makeFont(kSerif, px), c, Qt::AlignCenter, true);
        rt = panel(s, rname, QString(), makeFont(kSerif, px), c, Qt::AlignCenter, true);
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
    pnConsultaEtiq->setFixedHeight(24);
    pnConsultaEtiq->hide();
    prod->addWidget(pnConsultaEtiq);

    // Hourly grid over the in-memory table, which exists (empty) from the start.
    cdsProdHora.setFieldDefs(hourlyFields());
    cdsProdHora.createEmpty();
    cdsProdHora.setIndexFieldNames("HORA");
    m_hourlyGrid = new db::TableModel(cdsProdHora, this);
    dbgProducaoHora = new QTableView(this);
    dbgProducaoHora->setObjectName(QStringLiteral("dbgProducaoHora"));
    dbgProducaoHora->setModel(m_hourlyGrid);
    dbgProducaoHora->setFont(makeFont(kSans, 19));
    dbgProducaoHora->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgProducaoHora->setFocusPolicy(Qt::NoFocus);
    dbgProducaoHora->verticalHeader()->hide();
    dbgProducaoHora->setColumnWidth(0, 144);
    dbgProducaoHora->horizontalHeader()->setStretchLastSection(true);
    dbgProducaoHora->setFixedWidth(297);
    top->addWidget(dbgProducaoHora);

    // Recent entries side panel.
    pnlUltAtu = frame(this, "pnlUltAtu");
    pnlUltAtu->setFixedWidth(100);
    auto* side = new QVBoxLayout(pnlUltAtu);
    side->setContentsMargins(0, 0, 0, 0);
    auto* header = panel(pnlUltAtu, "lbUltAtu", QString::fromUtf8("Últimas Entradas"), makeFont(kSerif, 35), kNavy);
    side->addWidget(header);
    side->addStretch(1);
    top->addWidget(pnlUltAtu);

    // Message panel with the status bar along its bottom.
    pnMens = panel(this, "pnMens", QString(), makeFont(kSerif, 48), Qt::white);
    pnMens->setFixedHeight(115);
    pnMens->setAutoFillBackground(true);
    auto* mens = new QVBoxLayout(pnMens);
    mens->setContentsMargins(0, 0, 0, 0);
    mens->addStretch(1);
    sbQuilbar = new QStatusBar(pnMens);
    sbQuilbar->setObjectName(QStringLiteral("sbQuilbar"));
    sbQuilbar->setFixedHeight(19);
    sbQuilbar->setSizeGripEnabled(false);
    sbQuilbar->setFont(makeFont(kSans, 12, false)); // not the message panel's large font
    sbPanel0 = new QLabel(sbQuilbar);
    sbPanel0->setFixedWidth(180);
    sbPanel1 = new QLabel(sbQuilbar);
    sbPanel1->setMinimumWidth(50);
    sbQuilbar->addWidget(sbPanel0);
    sbQuilbar->addWidget(sbPanel1, 1);
    setColors(sbQuilbar, Qt::black, palette().color(QPalette::Window));
    mens->addWidget(sbQuilbar);
    outer->addWidget(pnMens);
    setColors(pnMens, Qt::white, pnQtParesDia->palette().color(QPalette::Window));

    edCodBar->setFocus();
}

// ---------------------------------------------------------------------------------------------
// Start-up

template <class F>
bool TfrmQuilbar::guarded(F&& step) {
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        showPlatformError(e);
    } catch (...) {
        showPlatformError(std::runtime_error("Unexpected error"));
    }
    return false;
}

void TfrmQuilbar::FormCreate() {
    m_startingUp = true;
    guarded([this] { startUp(); });
    m_startingUp = false;
    if (!m_pendingCodes.empty()) {
        QTimer::singleShot(0, this, [this] { runPendingCodes(); });
    }
}

void TfrmQuilbar::startUp() {
    // 1. The hourly table and the counters start empty.
    ClearDataSet(cdsProdHora);
    m_dayCount = 0;
    m_monthCount = 0;

    // 2-4. Settings, then the database and its password.
    const IniFile ini(m_settingsPath);
    m_settings = readStationSettings(ini);
    std::string password;
    std::string catalogue = m_settings.BDADOS_CATALOGO;
    if (!m_settings.HOST.empty()) {
        try {
            std::unique_ptr<AccessClient> client = unreachableAccessClient();
            client->setHost(m_settings.HOST);
            client->LoadDatabaseList();
            if (client->CompanyCount() < 2) {
                client->setSelectedDatabase(client->FindDatabase(client->Company(0), "G", 0, false));
            } else if (client->ChooseDatabase("G") == 2) {
                m_platform.exitProcess(0);
                return;
            }
            m_settings.BDADOS = client->SelectedDatabase().host;
            try {
                catalogue = client->FindDatabase(client->Company(0), "C", 0, false).host;
            } catch (const std::exception&) {
                catalogue.clear();
            }
            password = client->SelectedDatabase().password;
        } catch (const std::exception& e) {
            m_platform.boxes->show(MessageBoxes::Icon::Error, QStringLiteral("Falha ao conectar."), q(e.what()));
            m_platform.exitProcess(0);
            return;
        }
        m_settings.BDADOS_CATALOGO = catalogue;
    } else {
        password = passwordForKey(m_settings.CHAVE);
    }

    // 5. Configuration checks.
    const char* problem = nullptr;
    if (m_settings.BDADOS == "ERRO") {
        problem = "Banco de dados nao configurado.";
    } else if (m_settings.CODESTEIRA == "ERRO") {
        problem = "Esteira nao configurada.";
    } else if (m_settings.sectorMode() && m_settings.SETOR.empty()) {
        problem = "Com atualização por setor ativada é necessário configurar o Setor.";
    } else if (m_settings.sectorMode() && m_settings.FUNCIONARIO.empty()) {
        problem = "Com atualização por setor ativada é necessário configurar o Funcionário.";
    }
    if (problem) {
        m_configProblem = QString::fromUtf8(problem);
        m_platform.boxes->show(MessageBoxes::Icon::Error, QStringLiteral("Erro"), m_configProblem);
        return;
    }
    m_configured = true;

    // 6. Connections.
    m_sqlCon.setDatabase(m_settings.BDADOS);
    m_sqlConCat.setDatabase(m_settings.BDADOS_CATALOGO);
    m_sqlConAcesso.setDatabase(m_settings.BDADOS_ACESSO);
    for (db::Connection* c : {&m_sqlCon, &m_sqlConCat, &m_sqlConAcesso}) {
        c->setPassword(password);
    }

    // 7. Pictures.
    if (m_settings.showPictures()) {
        // An empty catalogue location names no database at all: pictures stay off rather than
        // stopping the station at start-up.
        if (m_settings.BDADOS_CATALOGO != "ERRO" && !m_settings.BDADOS_CATALOGO.empty()) {
            m_imagesOn = true;
            m_sqlConCat.open();
            m_placeholderPicture = CopyPictureAsJpeg(imgProduto);
        }
        m_placeholderPicture = CopyPictureAsJpeg(imgProdAtu);
        imgProdAtu->show();
    } else {
        m_imagesOn = false;
        imgProdAtu->hide();
    }

    // 8. Access control database.
    if (m_settings.BDADOS_ACESSO != "ERRO") {
        m_accessDbOn = true;
        m_sqlConAcesso.open();
    } else {
        m_accessDbOn = false;
    }

    // 9-11. Clock, counters, scan statements.
    clockTick();
    if (!m_settings.scanMode()) {
        reloadCounters();
    }
    sqlCodCxUn.prepare();
    sqlQuilbar.prepare();

    // 12. Company rule.
    sqlEmpresa.open();
    if (sqlEmpresa.field("nome_empresa").asString() == "FELQAR") {
        m_hideTotals = true;
        pnTotGeral->hide();
        pnTotCancelado->hide();
        pnTotal->hide();
    }
    sqlEmpresa.close();

    // 13-14.
    m_params = LoadParameters(m_sqlCon, *m_platform.boxes, m_settings.FILIAL_ESTOQUE);
    ShowOperatorAndSector();

    // 15. Status bar.
    const QDateTime built = QFileInfo(QString::fromStdString(m_executablePath)).lastModified();
    const QDate d = built.date();
    const QTime t = built.time();
    const DateTime stamp = d.isValid()
                               ? DateTime::fromDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second())
                               : DateTime::fromSerial(0);
    sbPanel0->setText(QStringLiteral(" Data : ") + q(formatDateTime("dd/mm/yyyy \"-\" hh:mm", stamp)));
    sbPanel1->setText(QStringLiteral(" BD: ") + q(m_settings.BDADOS));

    // 16. Recent entries side panel.
    if (m_settings.PORTA_UDP_ULT_ENTRADA < 1) {
        pnlUltAtu->setFixedWidth(0);
        pnlUltAtu->hide();
    } else {
        // The feed itself (listener and entries) is not part of this station build yet.
        pnlUltAtu->setFixedWidth(500);
    }

    // 17. cdsImgProd starts empty.
    m_cdsImgProd.clear();

    // 18.
    ApplyScanModeLayout();
    m_ready = true;
}

void TfrmQuilbar::ApplyScanModeLayout() {
    const bool scan = m_settings.scanMode();
    pnProducaoDia->setVisible(!scan);
    pnQtParesDia->setVisible(!scan);
    dbgProducaoHora->setVisible(!scan);
    for (QWidget* w :
         {static_cast<QWidget*>(pnTotal), static_cast<QWidget*>(pnTotCancelado), static_cast<QWidget*>(pnTotGeral)}) {
        w->setVisible(!scan && !m_hideTotals);
    }
    pnConsultaEtiq->setVisible(m_settings.sectorMode() && !scan);
    if (!scan) {
        return;
    }
    auto* prod = static_cast<QVBoxLayout*>(Panel3->layout());
    prod->removeWidget(pnFuncSetor);
    prod->insertWidget(0, pnFuncSetor);
    QFont f = pnFuncSetor->font();
    f.setPointSize(32);
    pnFuncSetor->setFont(f);
    pnDadosEtiq->setFixedHeight(400);
    imgProdAtu->setGeometry(pnDadosEtiq->width() - imgProdAtu->width(), 0, imgProdAtu->width(), 400);
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
        b.w->setFont(bf);
        b.w->setGeometry(b.l, b.t, b.wd, b.h);
    }
}

void TfrmQuilbar::ShowOperatorAndSector() {
    sqlFunc.param("FUNC").setString(m_settings.FUNCIONARIO);
    sqlFunc.open();
    sqlSetor.param("SETOR").setString(m_settings.SETOR);
    sqlSetor.open();
    if (!sqlFunc.eof()) {
        pnFuncSetor->setText(QString::fromUtf8("FUNCIONÁRIO: ") + q(m_settings.FUNCIONARIO) + QStringLiteral(" - ") +
                             q(sqlFunc.field("NOME_FU").asString()));
        pnFuncSetor->show();
    }
    if (!sqlSetor.eof()) {
        pnFuncSetor->setText(pnFuncSetor->text() + QStringLiteral("    SETOR: ") + q(m_settings.SETOR) +
                             QStringLiteral(" - ") + q(sqlSetor.field("NOME_SE").asString()));
        pnFuncSetor->show();
    }
    sqlFunc.close();
    sqlSetor.close();
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
    for (QLabel* l : {pnTotQtParDiaAnt, pnTotQtParMes}) {
        QFont f = l->font();
        f.setPointSize(points);
        l->setFont(f);
    }
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

// ---------------------------------------------------------------------------------------------
// Clock and counters

void TfrmQuilbar::ClockTick() {
    guarded([this] { clockTick(); });
}

void TfrmQuilbar::clockTick() {
    // Before start-up has checked the settings there is no database that may be opened.
    if (!m_configured) {
        return;
    }
    sqlDataServ.close();
    sqlDataServ.open();
    m_lastClockTime = sqlDataServ.field("DATA_SERV").asDateTime();
    sqlDataServ.close();
    m_lastClockTimeText = formatDateTime("hh:nn:ss", m_lastClockTime);
    pnEsteira->setText(q(clockHeader(m_lastClockTime, m_settings.CODESTEIRA)));
}

void TfrmQuilbar::reloadCounters() {
    if (m_settings.sectorMode()) {
        LoadSectorCounters();
    } else {
        LoadConveyorCounters();
    }
}

void TfrmQuilbar::LoadConveyorCounters() {
    loadCounters(false);
}

void TfrmQuilbar::LoadSectorCounters() {
    loadCounters(true);
}

void TfrmQuilbar::loadCounters(bool sector) {
    DateTime from, to;
    counterBounds(m_lastClockTime, from, to);
    db::Query& query = sector ? sqlTotParUnit : sqlTotPar;
    query.close();
    query.param("DATAI").setDateTime(from);
    query.param("DATAF").setDateTime(to);
    if (sector) {
        query.param("SETOR").setString(m_settings.SETOR);
    }
    query.open();
    m_lastCounterRefresh = QDateTime::currentMSecsSinceEpoch();
    std::vector<CounterRow> rows;
    rows.reserve(query.recordCount());
    const int timeCol = query.fieldIndex(sector ? "DTSAIDA_PU" : "DTBAIXA_CX");
    const int cancCol = query.fieldIndex("DATA_CANC_CX");
    const int convCol = sector ? -1 : query.fieldIndex("ESTEIRA_CX");
    for (const auto& r : query.rows()) {
        if (convCol >= 0 && r[static_cast<std::size_t>(convCol)].asString() != m_settings.CODESTEIRA) {
            continue;
        }
        rows.push_back(
            {r[static_cast<std::size_t>(timeCol)].asDateTime(), !r[static_cast<std::size_t>(cancCol)].isNull()});
    }
    query.close();

    const CounterFigures f = countProduction(rows, m_lastClockTime.datePart());
    m_dayCount = f.dayCount;
    m_monthCount = f.monthCount;
    m_monthCancelledCount = f.monthCancelledCount;
    {
        db::UpdatesSuspended quiet(cdsProdHora);
        ClearDataSet(cdsProdHora);
        for (const DateTime& t : f.todayTimes) {
            vek::AddHourlyWriteOff(cdsProdHora, t);
        }
    }
    pnQtParesDiaAnt->setText(QString::fromUtf8("Produção dia Ant: ") + q(formatFloat("###,000", f.prevDayCount)));
    pnQtParCancDiaAnt->setText(QStringLiteral("Cancelados dia Ant: ") + q(formatFloat("###,000", f.prevDayCancelled)));
    pnQtParCancMes->setText(QString::fromUtf8("Cancelados do Mês: ") +
                            q(formatFloat("###,000", f.monthCancelledCount)));
    pnTotQtParDiaAnt->setText(QStringLiteral("Total dia Ant: ") +
                              q(formatFloat("###,000", f.prevDayCount - f.prevDayCancelled)));
    ShowCounters();
}

void TfrmQuilbar::AddHourlyWriteOff(const DateTime& t) {
    vek::AddHourlyWriteOff(cdsProdHora, t);
}

void TfrmQuilbar::ShowCounters() {
    pnQtParesDia->setText(q(formatFloat("###,##0", m_dayCount)));
    pnQtParesMes->setText(QString::fromUtf8("Produção do Mês: ") + q(formatFloat("###,000", m_monthCount)));
    pnTotQtParMes->setText(QString::fromUtf8("Total do Mês: ") +
                           q(formatFloat("###,000", m_monthCount - m_monthCancelledCount)));
    // Paint what changed now; user input stays queued so that a scan never starts inside another.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// ---------------------------------------------------------------------------------------------
// The scan

bool TfrmQuilbar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edCodBar && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            edCodBarEnter();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmQuilbar::edCodBarEnter() {
    if (m_scanning || m_startingUp) {
        // A code that arrives during a scan (or before start-up is through) waits its turn, in order.
        m_pendingCodes.push_back(edCodBar->text());
        edCodBar->clear();
        return;
    }
    scanCode();
}

void TfrmQuilbar::runPendingCodes() {
    if (m_pendingCodes.empty() || m_scanning || m_startingUp) {
        return;
    }
    // One code per turn of the event loop, so that painting and the next arrivals interleave.
    const QString next = m_pendingCodes.front();
    m_pendingCodes.pop_front();
    const QString typedMeanwhile = edCodBar->text();
    edCodBar->setText(next);
    scanCode();
    // The scan emptied the field; keep what was typed before it, then what came during it.
    if (!typedMeanwhile.isEmpty()) {
        edCodBar->setText(typedMeanwhile + edCodBar->text());
    }
}

void TfrmQuilbar::scanCode() {
    if (!m_configured) {
        // No database may be opened: repeat why instead of trying one.
        edCodBar->clear();
        ShowErrorMessage(m_configProblem.isEmpty() ? QStringLiteral("Banco de dados nao configurado.")
                                                   : m_configProblem);
        return;
    }
    m_scanning = true;
    // A scan that raised ends there: no counter refresh for it.
    if (guarded([this] {
            setColors(pnMens, Qt::white, pnQtParesDia->palette().color(QPalette::Window));
            pnMens->setText(QString());
            ProcessScan();
        })) {
        guarded([this] { RefreshCountersIfDue(); });
    }
    m_scanning = false;
    if (!m_pendingCodes.empty()) {
        QTimer::singleShot(0, this, [this] { runPendingCodes(); });
    }
}

void TfrmQuilbar::clearDisplayFields() {
    for (QLineEdit* e : {edProd, edPad, edTam, edProg, edFicha, edTotEtiq}) {
        e->clear();
    }
}

void TfrmQuilbar::ProcessScan() {
    const std::string text = fromQString(edCodBar->text());
    if (isSubTicketCode(text)) {
        ProcessSubTicket(text);
        return;
    }
    const auto number = parseScanCode(text, currentFormatSettings().decimalSeparator);
    if (!number) {
        ShowErrorMessage(QString::fromUtf8("Código Inválido."));
        edCodBar->clear();
        return;
    }
    const double code = *number;
    edCodBar->clear();
    edCodBar->setFocus();

    sqlCodCxUn.close();
    sqlCodCxUn.param("COD").setDouble(code);
    sqlCodCxUn.open();
    if (sqlCodCxUn.eof()) {
        clearDisplayFields();
        ShowErrorMessage(QString::fromUtf8("Código não localizado."));
        return;
    }
    const DateTime serverTime = ReadServerTime();
    const std::string prod = sqlCodCxUn.field("PROD_CX").asString();
    const std::string padron = sqlCodCxUn.field("PADRON_CX").asString();
    const std::string prog = sqlCodCxUn.field("PROG_CX").asString();
    const std::string ficha = sqlCodCxUn.field("FICHA_CX").asString();
    edProd->setText(q(prod));
    edPad->setText(q(padron + " " + sqlCodCxUn.field("DESC_PA").asString()));
    edTam->setText(q(sqlCodCxUn.field("TAM_CX").asString()));
    edProg->setText(q(prog));
    edFicha->setText(q(ficha));
    edTotEtiq->clear();

    const BoxDates dates{optionalTime(sqlCodCxUn.field("DTEMISSAO_CX")), optionalTime(sqlCodCxUn.field("DATA_CANC_CX")),
                         optionalTime(sqlCodCxUn.field("DTBAIXA_CX"))};
    if (auto refusal = boxRefusal(dates, serverTime, m_params.BLOQ_ETIQ_EMISSAO_MAIOR_DIAS, code)) {
        ShowErrorMessage(*refusal);
        return;
    }

    if (m_settings.showPictures() && m_imagesOn) {
        const std::string picture = LookupThumbnail(prod, padron);
        if (!picture.empty()) {
            m_cdsImgProd = picture;
            ShowPicture(imgProdAtu, m_cdsImgProd);
        }
    }

    try {
        if (m_settings.sectorMode()) {
            OpenSectorData(m_settings.SETOR);
            if (!ValidateUnitBoxInSector()) {
                CountTicketBoxesInSector(prog, ficha, m_settings.SETOR);
                edTotEtiq->setText(QString::number(m_countDone) + "/" + QString::number(m_countDone + m_countPending));
                return;
            }
            // Converted before anything is written, so a code that does not fit fails cleanly.
            const int boxCode = sqlCodCxUn.field("CODIGO_CX").asInt();
            if (m_settings.ULTIMO_SETOR_ATU_CXUNIT == m_settings.SETOR) {
                writeOff(code);
            }
            const int id = RecordUnitBoxSectorUpdate(prog, ficha, "0000", boxCode);
            NotifyDashboard(id);
        } else {
            writeOff(code);
            RecordTicketCompletion(prog, ficha, "0000", prod);
        }
        if (m_params.ATUALIZAR_ESTOQUE) {
            PostStockMovement(code, serverTime);
        } else {
            PostProductionStockEntry(static_cast<std::int64_t>(code));
        }
    } catch (const std::exception& e) {
        ShowErrorBox(QStringLiteral("Erro ao atualizar a Etiqueta \"") + q(text) + QStringLiteral("\".\r") +
                     q(e.what()));
        throw;
    }

    AddHourlyWriteOff(serverTime);
    ++m_dayCount;
    ++m_monthCount;
    ShowCounters();
    edTotEtiq->setText(QString::number(m_countDone) + "/" + QString::number(m_countDone + m_countPending));
    ShowSuccessMessage(QStringLiteral("Etiqueta Atualizada."));
}

void TfrmQuilbar::writeOff(double code) {
    sqlQuilbar.param("COD").setDouble(code);
    sqlQuilbar.param("ESTEIRA").setString(m_settings.CODESTEIRA);
    sqlQuilbar.param("SETOR").setString(m_settings.SETOR);
    sqlQuilbar.param("FUNCIONARIO").setString(m_settings.FUNCIONARIO);
    sqlQuilbar.execSql();
}

void TfrmQuilbar::RefreshCountersIfDue() {
    if (m_settings.TEMPO_ESPERA < 1) {
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_lastCounterRefresh >= m_settings.TEMPO_ESPERA) {
        reloadCounters();
        m_lastCounterRefresh = now;
    }
}

DateTime TfrmQuilbar::ReadServerTime() {
    sqlDataServ.open();
    const DateTime t = sqlDataServ.field("DATA_SERV").asDateTime();
    sqlDataServ.close();
    return t;
}

void TfrmQuilbar::OpenSectorData(const std::string& sector) {
    sqlDadosSetor.close();
    sqlDadosSetor.param("COD_SETOR").setString(sector);
    sqlDadosSetor.open();
}

bool TfrmQuilbar::ValidateUnitBoxInSector() {
    // The sector-sequence validation module is not part of this station build yet: every box passes.
    return true;
}

void TfrmQuilbar::CountTicketBoxes(const std::string& prog, const std::string& ficha) {
    m_countDone = 0;
    m_countPending = 0;
    sqlPesqEtiqProgFicha.param("PROG").setString(prog);
    sqlPesqEtiqProgFicha.param("FICHA").setString(ficha);
    readStatusCounts(sqlPesqEtiqProgFicha);
}

void TfrmQuilbar::readStatusCounts(db::Query& query) {
    query.open();
    for (; !query.eof(); query.next()) {
        const std::string status = query.field("STATUS").asString();
        if (status == "B") {
            m_countDone = query.field("QTDE").asInt();
        } else if (status == "P") {
            m_countPending = query.field("QTDE").asInt();
        }
    }
    query.close();
}

void TfrmQuilbar::CountTicketBoxesInSector(const std::string& prog, const std::string& ficha,
                                           const std::string& sector) {
    m_countDone = 0;
    m_countPending = 0;
    if (sector.empty() || prog.empty() || ficha.empty() || ficha == "0000") {
        return;
    }
    db::Query& qy = sqlPesqEtiqProgFichaSetor;
    qy.param("SETOR").setString(sector);
    qy.param("PROG").setString(prog);
    qy.param("FICHA").setString(ficha);
    readStatusCounts(qy);
}

void TfrmQuilbar::RecordTicketCompletion(const std::string& prog, const std::string& ficha, const std::string&,
                                         const std::string&) {
    CountTicketBoxes(prog, ficha);
    // The ticket's sector record (with its validation and audit rows) is not part of this build yet.
}

int TfrmQuilbar::RecordUnitBoxSectorUpdate(const std::string&, const std::string&, const std::string&, int) {
    // Sector records are not part of this station build yet; nothing is written.
    return 0;
}

void TfrmQuilbar::NotifyDashboard(int) {
    // The dashboard notification is not part of this station build yet.
}

void TfrmQuilbar::PostStockMovement(double, const DateTime&) {
    // Stock movements are not part of this station build yet.
}

void TfrmQuilbar::PostProductionStockEntry(std::int64_t) {
    // The production stock module is not part of this station build yet.
}

void TfrmQuilbar::ProcessSubTicket(const std::string&) {
    // Sub-ticket labels are not handled by this station build yet; say so rather than drop the scan.
    edCodBar->clear();
    ShowErrorMessage(QString::fromUtf8("Etiqueta de subficha não suportada nesta versão."));
}

// ---------------------------------------------------------------------------------------------
// Pictures

std::string TfrmQuilbar::LookupThumbnail(const std::string& product, const std::string& pattern) {
    std::string result;
    sqlImgProd.close();
    sqlImgProd.param("PROD").setString(product);
    sqlImgProd.param("PADRON").setString(pattern);
    sqlImgProd.open();
    if (!sqlImgProd.eof()) {
        const db::Value& m = sqlImgProd.field("THUMBM_PP");
        result = !m.isNull() ? m.asBlob() : sqlImgProd.field("THUMB_PP").asBlob();
    }
    sqlImgProd.close();
    return result;
}

void TfrmQuilbar::ShowPicture(QLabel* control, const std::string& data) {
    const QByteArray bytes = QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size()));
    QImage img;
    if (!img.loadFromData(bytes, "JPG") && !img.loadFromData(bytes, "PNG")) {
        return; // neither JPEG nor PNG: the control keeps its picture
    }
    control->setPixmap(QPixmap::fromImage(img).scaled(control->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
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

// ---------------------------------------------------------------------------------------------
// Messages

void TfrmQuilbar::ShowErrorMessage(const QString& text) {
    pnMens->setText(text);
    setColors(pnMens, Qt::white, kRed);
    pnMens->setToolTip(text.toUpper());
    if (m_params.ALERTA_SONORO) {
        m_platform.tones->play({{1800, 100}, {1450, 100}, {1800, 100}, {1450, 250}});
    }
}

void TfrmQuilbar::ShowSuccessMessage(const QString& text) {
    if (m_params.MSG_CONLUSAO) {
        pnMens->setText(text);
        setColors(pnMens, Qt::white, kGreen);
    }
    if (m_params.ALERTA_SONORO) {
        m_platform.tones->play({{2450, 120}, {2800, 140}});
    }
}

void TfrmQuilbar::ShowEnquiryError(const QString& text) {
    // The enquiry panel is not part of this build; its message goes to the main panel.
    ShowErrorMessage(text);
}

void TfrmQuilbar::SuccessBeep() {
    if (m_params.ALERTA_SONORO) {
        m_platform.tones->play({{2450, 120}, {2800, 140}});
    }
}

void TfrmQuilbar::ShowWarningBox(const QString& text) {
    m_platform.boxes->show(MessageBoxes::Icon::Warning, QStringLiteral("Alerta"), text);
}

void TfrmQuilbar::ShowErrorBox(const QString& text) {
    m_platform.boxes->show(MessageBoxes::Icon::Error, QStringLiteral("Erro"), text);
}

void TfrmQuilbar::showPlatformError(const std::exception& e) {
    m_platform.boxes->show(MessageBoxes::Icon::Error, QString::fromLatin1(kApplicationTitle), q(e.what()));
}

} // namespace vek
