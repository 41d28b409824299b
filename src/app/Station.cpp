#include "app/Station.h"

#include "access/AccessClient.h"
#include "app/ParameterLoader.h"
#include "db/DbError.h"
#include "journal/StationLock.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <QDateTime>
#include <QFileInfo>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace vek {

namespace {
constexpr int kConnectTimeoutSeconds = 3;
// The user unit does not start a station again that ended with it.
constexpr int kExitAlreadyRunning = 3;
// How long a server may leave a call unanswered, on top of the lock timeout for a call that may wait
// for another station's row: a silent network holds a scan up for at most that.
constexpr std::chrono::milliseconds kAnswerDeadline{4000};
} // namespace

namespace sql {
const char* const kEmpresa = "select c.nome_empresa from config c";
const char* const kFunc = "SELECT NOME_FU FROM FUNCIONARIO F WHERE CODIGO_FU = :FUNC";
const char* const kSetor = "SELECT S.NOME_SE FROM SETOR S WHERE S.COD_SE = :SETOR";
} // namespace sql

Station::Station(OperatorDisplay& display, Platform platform, std::string settingsPath, std::string executablePath,
                 AccessClient* access)
    : m_platform(std::move(platform)), m_settingsPath(std::move(settingsPath)),
      m_executablePath(std::move(executablePath)), m_access(access), m_ctx(display), m_monitor(m_ctx),
      m_pictures(m_ctx.sqlConCat), m_scan(m_ctx, m_monitor, m_pictures, m_modules), m_forward(m_ctx, m_scan, m_monitor),
      m_enquiry(m_ctx, m_monitor, m_pictures, m_modules), m_cancellation(m_enquiry, m_modules),
      m_recentEntries(m_ctx, m_pictures) {
    display.setOutputs(m_platform, &m_ctx.params);
    if (!m_access) {
        m_ownAccess = unreachableAccessClient();
        m_access = m_ownAccess.get();
    }
}

Station::~Station() = default;

template <class F>
bool Station::guarded(F&& step) {
    return vek::guarded(m_ctx.display, std::forward<F>(step));
}

namespace {

// Counts what is under way (an entry point, a scan, a start-up) for as long as it runs.
struct EventScope {
    explicit EventScope(int& d) : depth(++d) {}
    ~EventScope() { --depth; }
    EventScope(const EventScope&) = delete;
    EventScope& operator=(const EventScope&) = delete;
    int& depth;
};

} // namespace

void Station::FormCreate() {
    const EventScope scope(m_eventDepth);
    const EventScope startingUp(m_startingUp);
    guarded([this] {
        try {
            startUp();
        } catch (const std::exception& e) {
            noteIfAway(e);
            throw;
        }
    });
    // A station that died with scans kept settles them before its first scan.
    if (m_ctx.ready) {
        settleKept();
    }
    publishMetrics();
}

bool Station::finishStartUp() {
    if (m_ctx.ready) {
        return true;
    }
    connectAndLoad();
    return m_ctx.ready;
}

bool Station::settleKept() {
    bool back = false;
    guarded([&] { back = m_forward.SettleWaiting(); });
    return back;
}

namespace {

metrics::Outcome outcomeOf(ScanResult result) {
    switch (result) {
    case ScanResult::Booked:
        return metrics::Outcome::Booked;
    case ScanResult::Refused:
        return metrics::Outcome::Refused;
    case ScanResult::Kept:
        return metrics::Outcome::Kept;
    case ScanResult::InDoubt:
        return metrics::Outcome::InDoubt;
    case ScanResult::Failed:
        break;
    }
    return metrics::Outcome::Failed;
}

bool connectionLost(const std::exception& e) {
    const auto* db = dynamic_cast<const db::DbError*>(&e);
    return db && db->isConnectionLost();
}

} // namespace

bool Station::noteIfAway(const std::exception& e) {
    if (!connectionLost(e)) {
        return false;
    }
    m_forward.MarkAway();
    return true;
}

void Station::Settle() {
    if (busy()) {
        return;
    }
    const EventScope scope(m_eventDepth);
    const EventScope scanning(m_scanning);
    if (!m_ctx.configured) {
        return;
    }
    // While away only the probe, off the window's thread, asks the server.
    const bool wasAway = m_forward.away();
    if (wasAway && !m_forward.ProbeAnswered(m_ctx.sqlCon)) {
        return;
    }
    const bool wasReady = m_ctx.ready; // a start-up finished now read the clock itself
    try {
        if (!finishStartUp()) {
            return;
        }
        if (wasAway && wasReady) {
            // The ticks missed while away: the clock (and the time of sector records) catches up first.
            m_monitor.ClockTick();
        }
    } catch (const std::exception& e) {
        noteIfAway(e);
        publishMetrics();
        return; // still away: the next probe tries again
    }
    settleKept();
    publishMetrics();
}

void Station::AcknowledgeLateRefusals() {
    guarded([this] { m_forward.AcknowledgeLateRefusals(); });
    publishMetrics();
}

bool Station::EnterCode(const std::string& text) {
    if (busy()) {
        m_waitingCodes.push_back(text);
        return false;
    }
    ScanCode(text);
    return true;
}

std::optional<std::string> Station::TakeWaitingCode() {
    if (busy() || m_waitingCodes.empty()) {
        return std::nullopt;
    }
    std::string next = std::move(m_waitingCodes.front());
    m_waitingCodes.pop_front();
    return next;
}

void Station::ScanCode(const std::string& text) {
    const EventScope scope(m_eventDepth);
    const EventScope scanning(m_scanning);
    const auto start = std::chrono::steady_clock::now();
    const ScanResult result = scanCode(text);
    if (m_metrics) {
        m_tally.add(outcomeOf(result), std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        m_lastScan = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        publishMetrics();
    }
}

ScanResult Station::scanCode(const std::string& text) {
    if (!m_ctx.configured) {
        // No database may be opened: repeat why instead of trying one.
        m_ctx.display.ClearScanField();
        m_ctx.display.ShowErrorMessage(m_ctx.configProblem.empty() ? "Banco de dados nao configurado."
                                                                   : m_ctx.configProblem);
        return ScanResult::Failed;
    }
    m_ctx.display.ClearMessage();
    if (m_forward.away()) {
        // No database as far as the station knows: a code is kept at once and text that is no code
        // is refused without the server. Finding the server again is the probe's job, so a silent
        // network never holds a scan up. With keeping off the scan tries the server as it always did.
        if (m_forward.Hold(text)) {
            return ScanResult::Kept;
        }
        if (!m_forward.IsCode(text)) {
            ScanOutcome outcome{ScanResult::Failed, {}, 0};
            guarded([&] { outcome = m_forward.Scan(text); });
            return outcome.result;
        }
    }
    // A station whose start-up stopped half way (a server down at start) does not scan half started:
    // the missing steps run first, and while they fail nothing is written.
    try {
        if (!finishStartUp()) {
            return ScanResult::Failed;
        }
    } catch (const std::exception& e) {
        // No database since start-up: a code is kept all the same.
        if (noteIfAway(e) && m_forward.Hold(text)) {
            return ScanResult::Kept;
        }
        m_ctx.display.ClearScanField();
        m_ctx.display.ShowStartUpError(e.what());
        return ScanResult::Failed;
    }
    // Kept scans go first; while the database is still away the live one is kept behind them, so
    // nothing is reordered.
    if (!settleKept() && m_forward.Hold(text)) {
        return ScanResult::Kept;
    }
    // A scan that raised ends there: no counter refresh for it.
    ScanOutcome outcome{ScanResult::Failed, {}, 0};
    if (guarded([&] { outcome = m_forward.Scan(text); })) {
        guarded([this] { m_monitor.RefreshCountersIfDue(); });
    }
    return outcome.result;
}

void Station::ClockTick() {
    // Away, the tick leaves the server to the probe: on a silent network it would only wait.
    if (m_forward.away()) {
        m_monitor.MissTick();
        return;
    }
    if (m_ctx.configured && !m_ctx.ready) {
        // Not inside another entry point (a start-up or scan waiting on one of its boxes): a start-up
        // must never run nested in itself.
        if (m_eventDepth > 0) {
            return;
        }
        const EventScope scope(m_eventDepth);
        try {
            finishStartUp(); // the clock and counters are part of it
        } catch (const std::exception& e) {
            // Told at the next scan; a minute's tick stays quiet.
            noteIfAway(e);
            return;
        }
        if (m_ctx.ready) {
            settleKept();
        }
        return;
    }
    const EventScope scope(m_eventDepth);
    bool ticked = false;
    try {
        m_monitor.ClockTick();
        ticked = true;
    } catch (const std::exception& e) {
        // With a journal a lost server is told by pnConexao, not by a box: a box takes the next
        // scanner's code and Enter for its own, and that scan would be lost.
        if (!(noteIfAway(e) && m_forward.away())) {
            m_ctx.display.ShowPlatformError(e.what());
        }
    } catch (...) {
        m_ctx.display.ShowPlatformError("Unexpected error");
    }
    if (ticked && m_ctx.ready && m_eventDepth == 1) {
        settleKept();
    }
    publishMetrics();
}

bool Station::chooseDatabase(std::string& password) {
    StationSettings& s = m_ctx.settings;
    std::string catalogue;
    try {
        AccessClient& client = *m_access;
        client.setHost(s.HOST);
        client.LoadDatabaseList();
        if (client.CompanyCount() < 2) {
            client.setSelectedDatabase(client.FindDatabase(client.Company(0), "G", 0, false));
        } else if (client.ChooseDatabase("G") == 2) {
            m_platform.exitProcess(0);
            return false;
        }
        s.BDADOS = client.SelectedDatabase().host;
        try {
            catalogue = client.FindDatabase(client.Company(0), "C", 0, false).host;
        } catch (const std::exception&) {
            catalogue.clear();
        }
        password = client.SelectedDatabase().password;
    } catch (const std::exception& e) {
        m_platform.boxes->show(MessageBoxes::Icon::Error, QStringLiteral("Falha ao conectar."), toQString(e.what()));
        m_platform.exitProcess(0);
        return false;
    }
    s.BDADOS_CATALOGO = catalogue;
    return true;
}

void Station::startUp() {
    StationContext& c = m_ctx;
    OperatorDisplay& display = c.display;

    // The feed's capacity comes from the side panel as it is now, before the window is maximised,
    // also when the feed starts only later, at a scan or tick that finishes this start-up.
    m_sidePanelHeight = display.SidePanelHeight();

    // 1. The hourly table and the counters start empty.
    m_monitor.ClearCounters();

    // 2-4. Settings, then the database and its password.
    c.settings = readStationSettings(IniFile(m_settingsPath));
    const StationSettings& s = c.settings;
    // Before any check: a station that cannot start is what the office most needs to see.
    startMetrics();
    std::string& password = m_password;
    if (!s.HOST.empty()) {
        if (!chooseDatabase(password)) {
            return; // the process ends
        }
    } else {
        password = passwordForKey(s.CHAVE);
    }

    // 5. Configuration checks.
    const char* problem = nullptr;
    if (s.BDADOS == "ERRO") {
        problem = "Banco de dados nao configurado.";
    } else if (s.CODESTEIRA == "ERRO") {
        problem = "Esteira nao configurada.";
    } else if (s.sectorMode() && s.SETOR.empty()) {
        problem = "Com atualização por setor ativada é necessário configurar o Setor.";
    } else if (s.sectorMode() && s.FUNCIONARIO.empty()) {
        problem = "Com atualização por setor ativada é necessário configurar o Funcionário.";
    }
    if (problem) {
        c.configProblem = cp1252(problem);
        display.ShowErrorBox(c.configProblem);
        return;
    }
    // Before the database: scans are kept from the first one on, also when it is away at start.
    // A second process of this station would settle the first one's scans as its own: it stops here.
    try {
        m_forward.OpenJournal(m_settingsPath);
    } catch (const journal::AlreadyRunning& e) {
        m_platform.boxes->show(MessageBoxes::Icon::Error, QString::fromLatin1(kApplicationTitle), toQString(e.what()));
        m_platform.exitProcess(kExitAlreadyRunning);
        return;
    }
    c.configured = true;
    connectAndLoad();
}

void Station::connectAndLoad() {
    StationContext& c = m_ctx;
    OperatorDisplay& display = c.display;
    const StationSettings& s = c.settings;
    const std::string& password = m_password;

    // 6. Connections.
    c.sqlCon.setDatabase(s.BDADOS);
    c.sqlConCat.setDatabase(s.BDADOS_CATALOGO);
    c.sqlConAcesso.setDatabase(s.BDADOS_ACESSO);
    for (db::Connection* con : {&c.sqlCon, &c.sqlConCat, &c.sqlConAcesso}) {
        con->setPassword(password);
        con->setConnectTimeout(kConnectTimeoutSeconds);
        // No answer means a silent network: the scan is kept in doubt rather than freezing the window.
        con->setAnswerDeadline(kAnswerDeadline);
    }

    // 7. Pictures. An empty catalogue location names no database at all: pictures stay off rather
    // than stopping the station at start-up.
    if (s.showPictures()) {
        if (s.BDADOS_CATALOGO != "ERRO" && !s.BDADOS_CATALOGO.empty()) {
            c.ImagesOn = true;
            // A catalogue away costs the pictures, not the station: they come back with it.
            try {
                c.sqlConCat.open();
            } catch (const std::exception&) {
                m_pictures.CatalogueFailed();
            }
        }
        display.ShowPictureArea(true);
    } else {
        c.ImagesOn = false;
        display.ShowPictureArea(false);
    }

    // 8. Access control database.
    c.AccessDbOn = s.BDADOS_ACESSO != "ERRO";
    if (c.AccessDbOn) {
        c.sqlConAcesso.open();
    }

    // 9-11. Clock, counters, scan statements.
    m_monitor.ClockTick();
    if (!s.scanMode()) {
        m_monitor.reloadCounters();
    }
    c.sqlCodCxUn.prepare();
    c.sqlQuilbar.prepare();

    // 12. Company rule.
    bool hideTotals = false;
    {
        db::Query sqlEmpresa(c.sqlCon, "sqlEmpresa");
        sqlEmpresa.setSql(sql::kEmpresa);
        sqlEmpresa.open();
        if (sqlEmpresa.field("nome_empresa").asString() == "FELQAR") {
            hideTotals = true;
            display.HideTotals();
        }
    }

    // 13-14.
    LoadParameters(c.sqlCon, *m_platform.boxes, s.FILIAL_ESTOQUE, c.params);
    ShowOperatorAndSector();

    // 15.
    showStatusBar();

    // 16. Recent entries feed. A port that cannot be opened is told, and the station goes on
    // without the feed; a start-up that runs again keeps the listener it has.
    if (s.PORTA_UDP_ULT_ENTRADA < 1) {
        display.SetSidePanelWidth(0);
    } else if (!m_feed) {
        try {
            StartRecentEntriesFeed();
        } catch (const std::exception& e) {
            display.SetSidePanelWidth(0);
            display.ShowPlatformError(e.what());
        }
    }

    // 17. cdsImgProd starts empty.
    m_pictures.cdsImgProd.clear();

    // 18.
    display.ApplyScanModeLayout(s.scanMode(), s.sectorMode(), hideTotals);
    c.ready = true;
}

void Station::StartRecentEntriesFeed() {
    OperatorDisplay& display = m_ctx.display;
    m_feed =
        std::make_unique<RecentEntriesFeed>(m_ctx.settings.PORTA_UDP_ULT_ENTRADA, [this](std::string_view datagram) {
            m_recentEntries.HandleDatagram(datagram);
        });
    m_feed->setReadyCheck([this] { return m_eventDepth == 0; });
    display.SetSidePanelWidth(500);
    m_recentEntries.Start(m_sidePanelHeight / 100);
}

void Station::startMetrics() {
    if (m_metricsStarted) {
        return;
    }
    m_metricsStarted = true;
    const StationSettings& s = m_ctx.settings;
    if (s.METRICAS_PORTA.empty()) {
        return;
    }
    int port = 0;
    const char* end = s.METRICAS_PORTA.data() + s.METRICAS_PORTA.size();
    const auto parsed = std::from_chars(s.METRICAS_PORTA.data(), end, port);
    try {
        if (parsed.ec != std::errc() || parsed.ptr != end || port < 1 || port > 65535) {
            throw std::runtime_error("METRICAS_PORTA=" + s.METRICAS_PORTA + " is no port");
        }
        m_metrics = std::make_unique<metrics::MetricsEndpoint>(s.METRICAS_ENDERECO, port);
    } catch (const std::exception& e) {
        // The station goes on without its endpoint: a scan matters more than its figures.
        std::fprintf(stderr, "vek-station: no metrics endpoint: %s\n", e.what());
    }
}

void Station::publishMetrics() {
    if (!m_metrics) {
        return;
    }
    const StationSettings& s = m_ctx.settings;
    auto utf8 = [](const std::string& text) { return toQString(text).toStdString(); };
    metrics::StationMetrics m;
    m.conveyor = utf8(s.CODESTEIRA);
    m.sector = utf8(s.SETOR);
    m.employee = utf8(s.FUNCIONARIO);
    m.version = VEK_VERSION;
    m.databaseHost = utf8(metrics::databaseHost(s.BDADOS));
    m.scans = m_tally;
    const StoreAndForward::Counts waiting = m_forward.counts();
    m.held = waiting.held;
    m.inDoubt = waiting.inDoubt;
    m.lateRefusals = static_cast<int>(m_forward.lateRefusals().size());
    m.ready = m_ctx.ready;
    m.databaseConnected = m_ctx.ready && !m_forward.away() && m_ctx.sqlCon.isOpen();
    m.lastScan = m_lastScan;
    if (const auto answered = m_ctx.lastServerAnswer()) {
        m.lastContact = std::chrono::duration<double>(answered->time_since_epoch()).count();
    }
    m.dayCount = m_monitor.dayCount();
    m.monthCount = m_monitor.monthCount();
    m_metrics->publish(std::move(m));
}

void Station::StopRecentEntriesFeed() {
    if (m_feed) {
        m_feed->stop();
    }
}

void Station::ShowOperatorAndSector() {
    const StationSettings& s = m_ctx.settings;
    db::Query sqlFunc(m_ctx.sqlCon, "sqlFunc");
    sqlFunc.setSql(sql::kFunc);
    db::Query sqlSetor(m_ctx.sqlCon, "sqlSetor");
    sqlSetor.setSql(sql::kSetor);
    sqlFunc.param("FUNC").setString(s.FUNCIONARIO);
    sqlFunc.open();
    sqlSetor.param("SETOR").setString(s.SETOR);
    sqlSetor.open();
    std::string text;
    if (!sqlFunc.eof()) {
        text = cp1252("FUNCIONÁRIO: ") + s.FUNCIONARIO + " - " + sqlFunc.field("NOME_FU").asString();
    }
    if (!sqlSetor.eof()) {
        text += "    SETOR: " + s.SETOR + " - " + sqlSetor.field("NOME_SE").asString();
    }
    m_ctx.display.ShowOperatorAndSector(text);
}

void Station::showStatusBar() {
    const QDateTime built = QFileInfo(QString::fromStdString(m_executablePath)).lastModified();
    const QDate d = built.date();
    const QTime t = built.time();
    const DateTime stamp = d.isValid()
                               ? DateTime::fromDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second())
                               : DateTime::fromSerial(0);
    m_ctx.display.ShowStatusBar(" Data : " + formatDateTime("dd/mm/yyyy \"-\" hh:mm", stamp),
                                " BD: " + m_ctx.settings.BDADOS);
}

} // namespace vek
