#include "scan/StoreAndForward.h"

#include "db/DbError.h"
#include "db/Query.h"
#include "journal/JournalPath.h"
#include "journal/StationLock.h"
#include "monitoring/ProductionMonitor.h"
#include "scan/OutcomeInDoubt.h"
#include "scan/UnitBoxScan.h"
#include "station/StationContext.h"
#include "util/Format.h"
#include "util/Text.h"
#include "util/TextCodec.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace vek {

using journal::Entry;
using journal::Kind;
using journal::State;

namespace sql {
const char* const kConfSubFicha = "select DTBAIXA_PR, TAMA_PR from SUBPROD\n"
                                  "where PROG_PR=:PROG and FICHA_PR=:FICHA and SUBFICHA_PR=:SUBFICHA";
const char* const kConfCxSubFicha = "select ESTEIRA_CX, SETOR_CX, FUNCIONARIO_CX from CODCXUNIT\n"
                                    "where PROG_CX = :PROG and FICHA_CX = :FICHA and TAM_CX = :TAM\n"
                                    "and DTBAIXA_CX >= :DESDE";
const char* const kConfProdSetorCxUnit = "select ID_PU, DTSAIDA_PU, FUNCIONAR_PU from PRODUCAO_SETOR_CXUNIT\n"
                                         "where CODCXUNIT_PU = :COD and SETOR_PU = :SETOR\n"
                                         "order by ID_PU desc";
const char* const kConfBaixa =
    "select DTBAIXA_CX, ESTEIRA_CX, SETOR_CX, FUNCIONARIO_CX from CODCXUNIT where CODIGO_CX = :COD";
} // namespace sql

namespace {

const char* const kUpdated = "Etiqueta Atualizada.";
// A commit's own time on the server is after the scan began by the server's clock, which the
// station knows only to within its last reading: a second's slack.
constexpr std::int64_t kSlack = DateTime::kTicksPerSecond;
// A sector record carries the last clock tick's time, up to a minute before its scan; an entry that
// kept the clock's time is read back by it, an older one by this.
constexpr std::int64_t kSectorSlack = 61 * DateTime::kTicksPerSecond;

// "dd/MM HH:mm:ss" of the journal's "yyyy-mm-dd hh:mm:ss.zzz".
std::string scanTimeText(const std::string& local) {
    if (local.size() < 19) return local;
    return local.substr(8, 2) + "/" + local.substr(5, 2) + " " + local.substr(11, 8);
}

// Restores a value however the scope ends.
template <class T>
class Scoped {
public:
    Scoped(T& ref, T value) : m_ref(ref), m_old(std::move(ref)) { m_ref = std::move(value); }
    ~Scoped() { m_ref = std::move(m_old); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

private:
    T& m_ref;
    T m_old;
};

bool isLost(const std::exception& e) {
    const auto* db = dynamic_cast<const db::DbError*>(&e);
    return db && db->isConnectionLost();
}

// A row another station holds for longer than the lock timeout: the scan is tried again later, not refused.
bool isPassing(const std::exception& e) {
    const auto* db = dynamic_cast<const db::DbError*>(&e);
    return db && db->isLockConflict();
}

bool sameCode(const std::string& a, const std::string& b) {
    return withoutTrailingBlanks(a) == withoutTrailingBlanks(b);
}

bool isWaiting(State s) {
    return s == State::Held || s == State::InDoubt;
}

// Messages and tones are held back for as long as it lives.
class QuietDisplay {
public:
    explicit QuietDisplay(OperatorDisplay& display) : m_display(display) { m_display.setQuiet(true); }
    ~QuietDisplay() { m_display.setQuiet(false); }
    QuietDisplay(const QuietDisplay&) = delete;
    QuietDisplay& operator=(const QuietDisplay&) = delete;

private:
    OperatorDisplay& m_display;
};

std::optional<std::int64_t> idOf(const Entry& entry) {
    return entry.id ? std::optional<std::int64_t>(entry.id) : std::nullopt;
}

journal::State stateOf(const ScanOutcome& outcome) {
    return outcome.result == ScanResult::Booked ? State::Done : State::Refused;
}

} // namespace

// Settling books an entry as the station that scanned it: a shift's kept scans stay the shift's
// employee's after the settings file named the next one.
class StoreAndForward::AsStation {
public:
    AsStation(StationSettings& settings, const Entry& entry) : m_settings(settings), m_saved(settings) {
        if (!entry.hasStation) {
            return; // scanned before entries named their station: the settings' station
        }
        settings.CODESTEIRA = entry.station.conveyor;
        settings.SETOR = entry.station.sector;
        settings.FUNCIONARIO = entry.station.employee;
        settings.ATU_PRODUCAO_SETOR_CXUNIT.assign(1, entry.station.sectorMode ? 'S' : 'N');
    }
    ~AsStation() {
        m_settings.CODESTEIRA = m_saved.CODESTEIRA;
        m_settings.SETOR = m_saved.SETOR;
        m_settings.FUNCIONARIO = m_saved.FUNCIONARIO;
        m_settings.ATU_PRODUCAO_SETOR_CXUNIT = m_saved.ATU_PRODUCAO_SETOR_CXUNIT;
    }
    AsStation(const AsStation&) = delete;
    AsStation& operator=(const AsStation&) = delete;

private:
    StationSettings& m_settings;
    const StationSettings m_saved;
};

StoreAndForward::StoreAndForward(StationContext& ctx, UnitBoxScan& scan, ProductionMonitor& monitor)
    : m_ctx(ctx), m_scan(scan), m_monitor(monitor) {}

StoreAndForward::~StoreAndForward() = default;

void StoreAndForward::OpenJournal(const std::string& settingsPath) {
    std::string path;
    try {
        path = journal::journalPath(m_ctx.settings.DIARIO_LEITURAS, settingsPath);
        m_lock = std::make_unique<journal::StationLock>(path, settingsPath);
        m_journal = std::make_unique<journal::ScanJournal>(path);
        m_journalPath = path;
        m_journal->prune(m_ctx.settings.DIARIO_DIAS);
        m_keptOffset = m_journal->clockOffset();
        if (m_keptOffset && !m_ctx.serverClockOffset()) {
            m_ctx.assumeServerClockOffset(*m_keptOffset);
        }
    } catch (const journal::AlreadyRunning&) {
        throw;
    } catch (const std::exception& e) {
        m_journal.reset();
        m_ctx.display.ShowWarningBox(cp1252("Diário de leituras indisponível (") + path + "): " + e.what() +
                                     cp1252("\rAs leituras não serão guardadas sem conexão."));
    }
    showConnectionPanel();
}

bool StoreAndForward::isCode(const std::string& text, Kind& kind) const {
    if (isSubTicketCode(text)) {
        kind = Kind::SubTicket;
        return true;
    }
    kind = Kind::Box;
    const auto number = parseScanCode(text, currentFormatSettings().decimalSeparator);
    return number && boxCodeOf(*number);
}

journal::StationId StoreAndForward::stationId() const {
    const StationSettings& s = m_ctx.settings;
    return {s.CODESTEIRA, s.SETOR, s.FUNCIONARIO, s.sectorMode()};
}

std::optional<std::int64_t> StoreAndForward::begin(const std::string& text, Kind kind) {
    if (!m_journal) return std::nullopt;
    try {
        return m_journal->begin(text, kind, m_ctx.serverTimeEstimate(), stationId(), clockTime());
    } catch (const std::exception& e) {
        journalFailed(e);
        return std::nullopt;
    }
}

bool StoreAndForward::finish(std::optional<std::int64_t> id, State state, const std::string& outcome) {
    if (!id || !m_journal) return false;
    try {
        m_journal->finish(*id, state, outcome);
        return true;
    } catch (const std::exception& e) {
        journalFailed(e);
        return false;
    }
}

std::optional<DateTime> StoreAndForward::clockTime() const {
    return m_monitor.clockSet() ? std::optional<DateTime>(m_monitor.lastClockTime()) : std::nullopt;
}

void StoreAndForward::MarkAway() {
    if ((m_journal || m_journalLost) && !m_away) {
        m_away = true;
        showConnectionPanel();
    }
}

void StoreAndForward::backAgain() {
    if (m_away) {
        m_away = false;
        showConnectionPanel();
    }
}

bool StoreAndForward::IsCode(const std::string& text) const {
    Kind kind;
    return isCode(text, kind);
}

bool StoreAndForward::ProbeAnswered(const db::Connection& connection) {
    reopenJournal();
    if (!m_away) {
        return true;
    }
    switch (m_probe.take()) {
    case DatabaseProbe::State::Answered:
        backAgain();
        return true;
    case DatabaseProbe::State::Running:
        return false;
    case DatabaseProbe::State::Failed:
        m_ctx.display.ProbeEvery(kProbeMs); // the next attempt at the next probe
        return false;
    case DatabaseProbe::State::Idle:
        // Bounded below the connection's own timeout: closing the window waits for an attempt under way.
        m_probe.start(connection.database(), connection.user(), connection.password(),
                      std::min(connection.connectTimeout(), kProbeConnectSeconds));
        m_ctx.display.ProbeEvery(kProbePollMs); // its answer is taken as soon as it comes
        return false;
    }
    return false;
}

void StoreAndForward::journalFailed(const std::exception& e) {
    // The scans it keeps stay in the file: their count stays on screen, and the next probe opens it again.
    m_journal.reset();
    m_journalLost = true;
    m_ctx.display.ShowWarningBox(cp1252("Diário de leituras indisponível: ") + e.what() +
                                 cp1252("\rAs leituras não serão guardadas sem conexão."));
    showConnectionPanel();
}

void StoreAndForward::reopenJournal() {
    if (!m_journalLost) {
        return;
    }
    try {
        auto reopened = std::make_unique<journal::ScanJournal>(m_journalPath);
        // Written to, not only read: a disk still full fails here rather than at the next scan.
        std::optional<std::int64_t> offset = m_ctx.serverClockOffset();
        if (!offset) {
            offset = reopened->clockOffset();
        }
        if (offset) {
            reopened->keepClockOffset(*offset);
            m_keptOffset = offset;
        }
        for (const std::int64_t id : m_abandoned) {
            if (const std::optional<Entry> e = reopened->entry(id); e && isWaiting(e->state)) {
                reopened->finish(id, State::Failed, cp1252("Diário de leituras indisponível"));
            }
        }
        m_abandoned.clear();
        m_journal = std::move(reopened);
        m_journalLost = false;
    } catch (const std::exception&) {
        return; // told when it failed; the next probe tries again
    }
    showConnectionPanel();
}

void StoreAndForward::keepClockOffset() {
    const std::optional<std::int64_t> offset = m_ctx.serverClockOffset();
    if (!m_journal || !offset || (m_keptOffset && std::llabs(*offset - *m_keptOffset) < kSlack)) {
        return;
    }
    try {
        m_journal->keepClockOffset(*offset);
        m_keptOffset = offset;
    } catch (const std::exception& e) {
        journalFailed(e);
    }
}

int StoreAndForward::waitingCount() const {
    if (!m_journal) return m_journalLost ? m_lastWaiting : 0;
    try {
        m_lastWaiting = m_journal->waitingCount();
    } catch (const std::exception&) {
        // the count last read stays shown
    }
    return m_lastWaiting;
}

StoreAndForward::Counts StoreAndForward::counts() const {
    Counts c;
    if (!m_journal) return c;
    try {
        for (const Entry& e : m_journal->waiting()) {
            ++(e.state == State::Held ? c.held : c.inDoubt);
        }
    } catch (const std::exception&) {}
    return c;
}

void StoreAndForward::showConnectionPanel() {
    const int n = waitingCount();
    const bool show = n > 0 || m_away;
    m_ctx.display.ShowConnectionPanel(show ? cp1252("SEM CONEXÃO - ") + std::to_string(n) + " leituras guardadas"
                                           : std::string());
    m_ctx.display.ProbeEvery(show || m_journalLost ? kProbeMs : 0);
}

ScanOutcome StoreAndForward::keep(std::optional<std::int64_t> id, State state, const std::string& reason) {
    if (!finish(id, state, reason)) {
        // Told as failed: whatever of it reached the file must never be booked.
        if (id) {
            m_abandoned.push_back(*id);
        }
        return {ScanResult::Failed, reason, 0};
    }
    OperatorDisplay& display = m_ctx.display;
    const std::string message = state == State::Held
                                    ? cp1252("Sem conexão: leitura guardada (") + std::to_string(waitingCount()) + ")."
                                    : cp1252("Sem resposta do banco: leitura guardada para conferência.");
    display.ClearScanField();
    display.ShowHeldMessage(message);
    showConnectionPanel();
    return {state == State::Held ? ScanResult::Kept : ScanResult::InDoubt, message, 0};
}

ScanOutcome StoreAndForward::Scan(const std::string& text) {
    Kind kind;
    if (!isCode(text, kind)) {
        return m_scan.ProcessScan(text); // refused at once, as always
    }
    const std::optional<DateTime> at = m_ctx.serverTimeEstimate();
    const std::optional<DateTime> clock = clockTime();
    const std::optional<std::int64_t> id = begin(text, kind);
    ScanOutcome outcome;
    try {
        outcome = m_scan.ProcessScan(text);
    } catch (const OutcomeInDoubt& e) {
        Entry entry;
        entry.id = id.value_or(0);
        entry.text = text;
        entry.kind = kind;
        entry.serverTime = at;
        entry.clockTime = clock;
        return resolveInDoubt(entry, e);
    } catch (const std::exception& e) {
        if (isLost(e)) {
            MarkAway();
            if (id && m_ctx.settings.holdWithoutConnection()) {
                // Nothing reached the server: kept for when it is back.
                ScanOutcome kept = keep(id, State::Held, cp1252("Sem conexão"));
                if (kept.result == ScanResult::Kept) {
                    return kept;
                }
            }
        }
        finish(id, State::Failed, e.what());
        throw;
    }
    backAgain();
    finish(id, stateOf(outcome), outcome.message);
    return outcome;
}

bool StoreAndForward::Hold(const std::string& text) {
    Kind kind;
    if (!m_journal || !m_ctx.settings.holdWithoutConnection() || !isCode(text, kind)) {
        return false;
    }
    return keep(begin(text, kind), State::Held, cp1252("Sem conexão")).result == ScanResult::Kept;
}

bool StoreAndForward::reconnect() {
    using namespace std::chrono;
    db::Connection& con = m_ctx.sqlCon;
    const int connectTimeout = con.connectTimeout();
    struct Restore {
        db::Connection& con;
        int seconds;
        ~Restore() { con.setConnectTimeout(seconds); }
    } restore{con, connectTimeout};
    const auto deadline = steady_clock::now() + milliseconds(kReconnectMs);
    for (;;) {
        // An attempt never runs past the deadline by more than the connect timeout's rounding.
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        con.setConnectTimeout(
            static_cast<int>(std::clamp<long long>((left + 999) / 1000, 1, connectTimeout > 0 ? connectTimeout : 1)));
        try {
            m_monitor.ReadServerTime();
            return true;
        } catch (const db::DbError& e) {
            if (!e.isConnectionLost() || e.isNoAnswer() || steady_clock::now() >= deadline) {
                return false;
            }
        }
        std::this_thread::sleep_for(milliseconds(200));
    }
}

ScanOutcome StoreAndForward::resolveInDoubt(const Entry& entry, const OutcomeInDoubt& lost) {
    OperatorDisplay& display = m_ctx.display;
    const std::optional<std::int64_t> id = idOf(entry);
    // A server that stopped answering is not asked again within the scan: the operator has waited
    // enough, and the probe finds out off the window's thread.
    if (!lost.noAnswer() && reconnect()) {
        try {
            const DateTime at = entry.serverTime.value_or(m_monitor.lastClockTime());
            if (const ReadBack rb = readBack(entry, at); rb.ours) {
                return bookedAfterAll(entry, at, rb);
            }
            // The commit never reached the server, as far as it tells now: the scan runs again, once.
            ScanOutcome outcome;
            {
                const QuietDisplay quiet(display);
                outcome = m_scan.ProcessScan(entry.text);
            }
            if (outcome.result != ScanResult::Booked) {
                // A commit whose connection was cut may land on the server after the read-back: then
                // the run again meets it as a box written off meanwhile, with our own time.
                if (const ReadBack rb = readBack(entry, at); rb.ours) {
                    return bookedAfterAll(entry, at, rb);
                }
                refuse(display, outcome.message);
            } else {
                display.ShowSuccessMessage(outcome.message);
            }
            finish(id, stateOf(outcome), outcome.message);
            return outcome;
        } catch (const std::exception& e) {
            // A lost connection or a row held past the lock timeout: the database has not told yet.
            if (!isLost(e) && !isPassing(e) && !dynamic_cast<const OutcomeInDoubt*>(&e)) {
                finish(id, State::Failed, e.what());
                throw;
            }
        }
    }
    MarkAway();
    // No answer: the scan is kept for the database to tell later. Kept in both settings of
    // GUARDAR_SEM_CONEXAO: a scan that may be booked is never simply reported as failed.
    ScanOutcome kept = keep(id, State::InDoubt, lost.what());
    if (kept.result == ScanResult::InDoubt) {
        return kept;
    }
    display.ShowErrorBox("Erro ao atualizar a Etiqueta \"" + entry.text + "\".\r" + lost.what());
    throw db::DbError(lost.what());
}

ScanOutcome StoreAndForward::bookedAfterAll(const Entry& entry, const DateTime& at, const ReadBack& rb) {
    afterCommit(entry, at, rb, Counting::Live, true);
    finish(idOf(entry), State::Done, kUpdated);
    return ScanOutcome::booked(kUpdated, entry.kind == Kind::SubTicket ? rb.boxes : 1);
}

StoreAndForward::ReadBack StoreAndForward::readBack(const Entry& entry, const DateTime& at) {
    const StationSettings& s = m_ctx.settings;
    ReadBack rb;
    if (entry.kind == Kind::SubTicket) {
        const SubTicketCode sub = SubTicketCode::of(entry.text);
        db::Query q(m_ctx.sqlCon, "sqlConfSubFicha");
        q.setSql(sql::kConfSubFicha);
        q.param("PROG").setString(sub.prog);
        q.param("FICHA").setString(sub.ficha);
        q.param("SUBFICHA").setString(sub.subficha);
        q.open();
        if (q.eof() || q.field("DTBAIXA_PR").isNull() || q.field("DTBAIXA_PR").asDateTime() < at.addTicks(-kSlack)) {
            return rb;
        }
        const DateTime claimed = q.field("DTBAIXA_PR").asDateTime();
        const std::string size = q.field("TAMA_PR").asString();
        q.close();
        // The claim names no station: whose it was, its boxes tell, written off with it or after it.
        db::Query n(m_ctx.sqlCon, "sqlConfCxSubFicha");
        n.setSql(sql::kConfCxSubFicha);
        n.param("PROG").setString(sub.prog);
        n.param("FICHA").setString(sub.ficha);
        n.param("TAM").setString(size);
        n.param("DESDE").setDateTime(claimed.addTicks(-kSlack));
        for (n.open(); !n.eof(); n.next()) {
            rb.boxes += sameCode(n.field("ESTEIRA_CX").asString(), s.CODESTEIRA) &&
                        sameCode(n.field("SETOR_CX").asString(), s.SETOR) &&
                        sameCode(n.field("FUNCIONARIO_CX").asString(), s.FUNCIONARIO);
        }
        rb.ours = rb.boxes > 0;
        return rb;
    }
    const auto number = parseScanCode(entry.text, currentFormatSettings().decimalSeparator);
    const auto code = number ? boxCodeOf(*number) : std::nullopt;
    if (!code) return rb;
    if (s.sectorMode()) {
        // This sector's record of the box, made by this station's employee for this scan.
        db::Query q(m_ctx.sqlCon, "sqlConfProdSetorCxUnit");
        q.setSql(sql::kConfProdSetorCxUnit);
        q.param("COD").setInt(*code);
        q.param("SETOR").setString(s.SETOR);
        q.open();
        // Recorded with the minute clock's time, which was at least the entry's clock time.
        const DateTime since = entry.clockTime ? entry.clockTime->addTicks(-kSlack) : at.addTicks(-kSectorSlack);
        rb.ours = !q.eof() && sameCode(q.field("FUNCIONAR_PU").asString(), s.FUNCIONARIO) &&
                  !q.field("DTSAIDA_PU").isNull() && q.field("DTSAIDA_PU").asDateTime() >= since;
        if (rb.ours) rb.dashboardId = q.field("ID_PU").asInt();
        return rb;
    }
    // Written off by this conveyor, sector and employee, not before the scan began.
    db::Query q(m_ctx.sqlCon, "sqlConfBaixa");
    q.setSql(sql::kConfBaixa);
    q.param("COD").setInt(*code);
    q.open();
    rb.ours =
        !q.eof() && !q.field("DTBAIXA_CX").isNull() && q.field("DTBAIXA_CX").asDateTime() >= at.addTicks(-kSlack) &&
        sameCode(q.field("ESTEIRA_CX").asString(), s.CODESTEIRA) && sameCode(q.field("SETOR_CX").asString(), s.SETOR) &&
        sameCode(q.field("FUNCIONARIO_CX").asString(), s.FUNCIONARIO);
    return rb;
}

void StoreAndForward::afterCommit(const Entry& entry, const DateTime& at, const ReadBack& rb, Counting counting,
                                  bool notifyDashboard) {
    OperatorDisplay& display = m_ctx.display;
    int written = 1;
    if (entry.kind == Kind::SubTicket) {
        written = rb.boxes;
    } else {
        const auto code = boxCodeOf(*parseScanCode(entry.text, currentFormatSettings().decimalSeparator));
        if (const std::optional<BoxRow> box = m_scan.ReadBox(*code)) {
            display.ShowBoxFields(
                {box->product, box->pattern + " " + box->patternDescription, box->size, box->programme, box->ticket});
            if (m_ctx.settings.sectorMode()) {
                if (notifyDashboard) {
                    m_scan.dashboard().NotifyDashboard(rb.dashboardId);
                }
                m_scan.sectorRecords().CountTicketBoxesInSector(box->programme, box->ticket, m_ctx.settings.SETOR);
            } else {
                m_scan.sectorRecords().CountTicketBoxes(box->programme, box->ticket);
            }
        }
    }
    if (counting == Counting::FromDatabase) {
        // The booking may be in the figures already (loaded after its commit): the database counts it.
        m_countersStale = true;
    } else {
        for (int i = 0; i < written; ++i) {
            m_monitor.CountWriteOff(at);
        }
    }
    showBooked(display, m_monitor,
               entry.kind == Kind::Box ? std::optional<std::string>(m_monitor.ticketCountText()) : std::nullopt,
               kUpdated);
}

void StoreAndForward::lateRefusal(const Entry& entry, const std::string& reason) {
    m_journal->settle(entry.id, State::LateRefused, reason);
    m_lateRefusals.push_back({entry.text, scanTimeText(entry.localTime), reason});
}

void StoreAndForward::foundBooked(const Entry& entry, const DateTime& at, const ReadBack& rb) {
    // Only a scan whose answer was lost stopped at its commit; one whose process died after the
    // commit may have told the dashboard already, and it is told at most once.
    const bool answerLost = entry.state == State::InDoubt && !entry.outcome.empty();
    afterCommit(entry, at, rb, Counting::FromDatabase, answerLost);
    m_journal->settle(entry.id, State::Replayed, kUpdated);
}

StoreAndForward::Settled StoreAndForward::settle(const Entry& entry) {
    // An entry made before the server's clock was ever read takes the time it is first settled at.
    const DateTime at =
        entry.serverTime ? *entry.serverTime : m_ctx.serverTimeEstimate().value_or(m_monitor.lastClockTime());
    const AsStation as(m_ctx.settings, entry);
    try {
        // Read back first, for held entries too: a station that died between the server's commit
        // and the journal's mark finds its own write-off and does not book it again.
        if (const ReadBack rb = readBack(entry, at); rb.ours) {
            foundBooked(entry, at, rb);
            return Settled::Yes;
        }
        // From here the scan reaches the server: a process that dies before its mark leaves it in
        // doubt without an answer. An entry without a time keeps this one: a read-back after a lost
        // answer must ask for the time it was written off at, not for a later settling's.
        m_journal->reachServer(entry.id, at);
        ScanOutcome outcome;
        try {
            outcome = m_scan.ProcessScan(entry.text, at);
        } catch (const OutcomeInDoubt&) {
            throw;
        } catch (const std::exception&) {
            // Nothing of it was committed: the entry is as it was.
            m_journal->finish(entry.id, entry.state, entry.outcome);
            throw;
        }
        if (outcome.result == ScanResult::Booked) {
            m_journal->settle(entry.id, State::Replayed, outcome.message);
            return Settled::Yes;
        }
        // A commit whose connection was cut may land after the read-back: the run again then meets it.
        if (const ReadBack rb = readBack(entry, at); rb.ours) {
            foundBooked(entry, at, rb);
            return Settled::Yes;
        }
        lateRefusal(entry, outcome.message);
        return Settled::Yes;
    } catch (const OutcomeInDoubt& e) {
        m_journal->finish(entry.id, State::InDoubt, e.what());
        MarkAway();
        return Settled::Away;
    } catch (const journal::JournalError&) {
        throw;
    } catch (const std::exception& e) {
        if (isLost(e)) {
            MarkAway();
            return Settled::Away;
        }
        if (isPassing(e)) {
            return Settled::Later; // it waits, and the entries after it with it
        }
        lateRefusal(entry, e.what());
        return Settled::Yes;
    }
}

bool StoreAndForward::SettleWaiting() {
    if (m_settling) {
        return false;
    }
    reopenJournal();
    keepClockOffset();
    if (!m_journal) {
        return true;
    }

    const Scoped<bool> settling(m_settling, true);
    const std::size_t refusedBefore = m_lateRefusals.size();
    bool back = true;
    try {
        const std::vector<Entry> waiting = m_journal->waiting();
        if (waiting.empty()) {
            if (!m_away) {
                reloadStaleCounters();
            }
            return true;
        }
        const QuietDisplay quiet(m_ctx.display);
        for (const Entry& entry : waiting) {
            const Settled settled = settle(entry);
            if (settled != Settled::Yes) {
                back = false;
                break;
            }
        }
    } catch (const journal::JournalError& e) {
        journalFailed(e);
        back = false;
    }
    if (back) {
        m_away = false;
    }
    if (!m_away) {
        reloadStaleCounters();
    }
    m_monitor.ShowCounters();
    showConnectionPanel();
    if (m_lateRefusals.size() > refusedBefore) {
        m_ctx.display.ShowLateRefusals(m_lateRefusals);
        m_ctx.display.LateRefusalAlarm();
    }
    return back;
}

void StoreAndForward::reloadStaleCounters() {
    if (!m_countersStale) {
        return;
    }
    try {
        m_monitor.reloadCounters();
        m_countersStale = false;
    } catch (const std::exception& e) {
        // Reloaded at the next settling; the figures stay as far as they were counted.
        if (isLost(e)) {
            MarkAway();
        }
    }
}

void StoreAndForward::AcknowledgeLateRefusals() {
    m_lateRefusals.clear();
    m_ctx.display.ShowLateRefusals(m_lateRefusals);
}

} // namespace vek
