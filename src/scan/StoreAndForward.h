#pragma once

#include "journal/ScanJournal.h"
#include "scan/DatabaseProbe.h"
#include "scan/ScanOutcome.h"
#include "station/OperatorDisplay.h"
#include "util/DateTime.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vek {

class StationContext;
class ProductionMonitor;
class UnitBoxScan;
class OutcomeInDoubt;
namespace db {
class Connection;
}
namespace journal {
class StationLock;
}

/// The read-back statements of a kept scan, as sent.
namespace sql {
extern const char* const kConfSubFicha;        // sqlConfSubFicha: the sub-ticket's mark and size
extern const char* const kConfCxSubFicha;      // sqlConfCxSubFicha: who wrote its boxes off since DESDE
extern const char* const kConfProdSetorCxUnit; // sqlConfProdSetorCxUnit: the box's records in SETOR, newest first
extern const char* const kConfBaixa;           // sqlConfBaixa: the box's write-off
} // namespace sql

/// The scan journal at work: every scan of a code is entered before it reaches the server; a scan
/// that meets no database is kept (held), one whose answer was lost is settled from what the
/// database holds, and kept scans are settled in scan order once the database is back, before any
/// live scan. Without a journal the station scans as it always did.
class StoreAndForward {
public:
    StoreAndForward(StationContext& ctx, UnitBoxScan& scan, ProductionMonitor& monitor);
    ~StoreAndForward();
    StoreAndForward(const StoreAndForward&) = delete;
    StoreAndForward& operator=(const StoreAndForward&) = delete;

    /// Opens the journal of the settings (DIARIO_LEITURAS, else the default place), holding it (and
    /// the settings file) for this process alone, and prunes it; a journal that cannot be opened is
    /// told once in a warning box, and nothing is kept. Raises journal::AlreadyRunning when another
    /// process holds either.
    void OpenJournal(const std::string& settingsPath);
    journal::ScanJournal* journal() { return m_journal.get(); }
    /// This station as its journal entries name it.
    journal::StationId stationId() const;

    /// A live scan of `text`: entered, run, answered, and what became of it. Raises as the scan does
    /// (the journal then holds it as failed).
    ScanOutcome Scan(const std::string& text);
    /// Keeps `text` without reaching the server, when it is a code and keeping is on; false otherwise.
    bool Hold(const std::string& text);
    /// Settles the waiting entries in scan order; false while one still waits (the database away, a
    /// row held past the lock timeout). A journal that failed is opened again first.
    bool SettleWaiting();

    /// The station knows it has no database: a scan is kept at once, a tick does not try the server,
    /// and only the probe (off the window's thread) finds out when it answers again.
    bool away() const { return m_away; }
    /// A statement met no database (or no answer): from now on the probe's job. Only with a journal,
    /// which is what lets a station go on without its database.
    void MarkAway();
    /// The probe's turn: opens a journal that failed again, and starts an attempt on `connection`'s
    /// database when none is under way; true once one answered (the station is no longer away).
    bool ProbeAnswered(const db::Connection& connection);

    int waitingCount() const;
    struct Counts {
        int held = 0;
        int inDoubt = 0;
    };
    Counts counts() const;
    const std::vector<LateRefusal>& lateRefusals() const { return m_lateRefusals; }
    /// F8: the list is read; it goes.
    void AcknowledgeLateRefusals();

    /// How long a scan whose answer was lost waits for the database to come back.
    static constexpr int kReconnectMs = 3000;
    /// How often the database is tried while scans wait.
    static constexpr int kProbeMs = 5000;
    /// How often an attempt under way is looked at.
    static constexpr int kProbePollMs = 200;
    /// The longest a probe's attach may take.
    static constexpr int kProbeConnectSeconds = 2;

    /// Text that is a code the journal would keep (a box code or a sub-ticket label).
    bool IsCode(const std::string& text) const;

private:
    struct ReadBack {
        bool ours = false;
        int dashboardId = 0; // sector mode: the box's record in this sector
        int boxes = 0;       // sub-ticket: the boxes this station wrote off
    };
    enum class Settled { Yes, Away, Later };
    enum class Counting { Live, FromDatabase };

    /// The station an entry is booked as: its own, whatever the settings say now.
    class AsStation;

    bool isCode(const std::string& text, journal::Kind& kind) const;
    /// The minute clock's time, once a tick has read it: what a sector record of a scan now carries.
    std::optional<DateTime> clockTime() const;
    /// Tries the database until it answers or the time is spent.
    bool reconnect();
    /// What the database holds of the entry's scan, made at `at`.
    ReadBack readBack(const journal::Entry& entry, const DateTime& at);
    /// The steps after a commit whose answer was lost: dashboard, counters, the success.
    void afterCommit(const journal::Entry& entry, const DateTime& at, const ReadBack& rb, Counting counting,
                     bool notifyDashboard);
    /// A live scan in doubt that the database shows booked.
    ScanOutcome bookedAfterAll(const journal::Entry& entry, const DateTime& at, const ReadBack& rb);
    /// A waiting entry that the database shows booked: settled without booking it again.
    void foundBooked(const journal::Entry& entry, const DateTime& at, const ReadBack& rb);
    Settled settle(const journal::Entry& entry);
    void reloadStaleCounters();
    void lateRefusal(const journal::Entry& entry, const std::string& reason);
    ScanOutcome resolveInDoubt(const journal::Entry& entry, const OutcomeInDoubt& lost);
    ScanOutcome keep(std::optional<std::int64_t> id, journal::State state, const std::string& reason);

    // The journal's calls; a journal that fails on the way is told once and dropped.
    std::optional<std::int64_t> begin(const std::string& text, journal::Kind kind);
    bool finish(std::optional<std::int64_t> id, journal::State state, const std::string& outcome);
    void journalFailed(const std::exception& e);
    void reopenJournal();
    /// The server's clock offset, kept when it moved: a restart during an outage dates scans by it.
    void keepClockOffset();
    void showConnectionPanel();
    /// The database answered: no longer away.
    void backAgain();

    StationContext& m_ctx;
    UnitBoxScan& m_scan;
    ProductionMonitor& m_monitor;
    std::unique_ptr<journal::StationLock> m_lock;
    std::unique_ptr<journal::ScanJournal> m_journal;
    std::string m_journalPath;
    bool m_journalLost = false;    // it failed mid-run: opened again at the next probe
    mutable int m_lastWaiting = 0; // shown while the journal cannot be read
    std::optional<std::int64_t> m_keptOffset;
    std::vector<std::int64_t> m_abandoned; // kept scans told as failed when the journal failed
    bool m_countersStale = false;          // a settled entry was booked before the figures were loaded
    std::vector<LateRefusal> m_lateRefusals;
    bool m_settling = false;
    bool m_away = false;
    DatabaseProbe m_probe;
};

} // namespace vek
