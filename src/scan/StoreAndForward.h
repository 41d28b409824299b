#pragma once

#include "journal/ScanJournal.h"
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

/// The read-back statements of a kept scan, as sent.
namespace sql {
extern const char* const kConfSubFicha;        // sqlConfSubFicha: the sub-ticket's mark and size
extern const char* const kConfCxSubFicha;      // sqlConfCxSubFicha: its boxes this conveyor wrote off since DESDE
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

    /// Opens the journal of the settings (DIARIO_LEITURAS, else the default place) and prunes it; a
    /// journal that cannot be opened is told once in a warning box, and nothing is kept.
    void OpenJournal(const std::string& settingsPath);
    journal::ScanJournal* journal() { return m_journal.get(); }
    /// This station as its journal entries name it.
    journal::StationId stationId() const;

    /// A live scan of `text`: entered, run, answered. Raises as the scan does.
    void Scan(const std::string& text);
    /// Keeps `text` without reaching the server, when it is a code and keeping is on; false otherwise.
    bool Hold(const std::string& text);
    /// Settles the waiting entries in scan order; false when the database is still away.
    bool SettleWaiting();

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

private:
    struct ReadBack {
        bool ours = false;
        int dashboardId = 0; // sector mode: the box's record in this sector
        int boxes = 0;       // sub-ticket: the boxes this station wrote off
    };
    enum class Settled { Yes, Away };

    bool isCode(const std::string& text, journal::Kind& kind) const;
    /// Tries the database until it answers or the time is spent.
    bool reconnect();
    /// What the database holds of the entry's scan, made at `at`.
    ReadBack readBack(const journal::Entry& entry, const DateTime& at);
    /// The steps after a commit whose answer was lost: dashboard, counters, the success.
    void afterCommit(const journal::Entry& entry, const DateTime& at, const ReadBack& rb, bool settling);
    Settled settle(const journal::Entry& entry);
    void lateRefusal(const journal::Entry& entry, const std::string& reason);
    void resolveInDoubt(const journal::Entry& entry, const std::exception& lost);

    // The journal's calls; a journal that fails on the way is told once and dropped.
    std::optional<std::int64_t> begin(const std::string& text, journal::Kind kind);
    bool finish(std::optional<std::int64_t> id, journal::State state, const std::string& outcome);
    void journalFailed(const std::exception& e);
    void showConnectionPanel();

    StationContext& m_ctx;
    UnitBoxScan& m_scan;
    ProductionMonitor& m_monitor;
    std::unique_ptr<journal::ScanJournal> m_journal;
    std::vector<LateRefusal> m_lateRefusals;
    bool m_settling = false;
};

} // namespace vek
