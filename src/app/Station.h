#pragma once

#include "enquiry/LabelEnquiry.h"
#include "enquiry/SectorCancellation.h"
#include "metrics/MetricsEndpoint.h"
#include "monitoring/ProductPictures.h"
#include "monitoring/ProductionMonitor.h"
#include "monitoring/RecentEntries.h"
#include "monitoring/RecentEntriesFeed.h"
#include "scan/StationModules.h"
#include "scan/StoreAndForward.h"
#include "scan/UnitBoxScan.h"
#include "station/StationContext.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace vek {

class AccessClient;

/// The start-up's own statements, as sent.
namespace sql {
extern const char* const kEmpresa; // sqlEmpresa: the company's name
extern const char* const kFunc;    // sqlFunc: the operator's name, parameter FUNC
extern const char* const kSetor;   // sqlSetor: the sector's name, parameter SETOR
} // namespace sql

/// The station below its window: start-up, the scan and the clock on the station context. Its
/// entry points never throw: an error is shown in the platform's error box through the display.
class Station {
public:
    /// `access` is the process's access server client (not owned); without one the station behaves
    /// as if the access server could not be reached.
    Station(OperatorDisplay& display, Platform platform, std::string settingsPath, std::string executablePath,
            AccessClient* access = nullptr);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    /// The start-up sequence.
    void FormCreate();
    /// Enter in the scan field with `text`: scanned now, or, while the station is busy, queued behind
    /// the codes already waiting. False when it was queued.
    bool EnterCode(const std::string& text);
    /// The next waiting code, taken off the queue: nothing while busy or when none waits. The window
    /// runs one per turn of its event loop, so that painting and the next arrivals interleave.
    std::optional<std::string> TakeWaitingCode();
    bool codesWaiting() const { return !m_waitingCodes.empty(); }
    /// A scan, a settling or the start-up under way (a modal box's own event loop lets keys through).
    bool busy() const { return m_scanning > 0 || m_startingUp > 0; }
    /// Scans `text` now, busy or not (a waiting code's turn, the script's plain lines).
    void ScanCode(const std::string& text);
    /// The one-minute clock.
    void ClockTick();
    /// Settles the kept scans now (the probe while entries wait, the script's <settle>); nothing while
    /// busy, since the scan under way settles them first.
    void Settle();
    /// F8: the late refusals were read.
    void AcknowledgeLateRefusals();
    /// The scan journal and the scans it keeps.
    StoreAndForward& forward() { return m_forward; }
    /// Loads the counters and the hourly grid (the loader of the station's mode). Raises.
    void reloadCounters() { m_monitor.reloadCounters(); }

    StationContext& context() { return m_ctx; }
    const StationContext& context() const { return m_ctx; }
    ProductionMonitor& monitor() { return m_monitor; }
    const ProductionMonitor& monitor() const { return m_monitor; }
    UnitBoxScan& scan() { return m_scan; }
    /// The label enquiry (F1) and the cancellation of a sector update (F4, F9).
    enquiry::LabelEnquiry& enquiry() { return m_enquiry; }
    enquiry::SectorCancellation& cancellation() { return m_cancellation; }
    /// The recent entries the feed announced (`cdsUltEnt`), and the feed's listener: null while the
    /// feed is off or its port could not be opened.
    RecentEntries& recentEntries() { return m_recentEntries; }
    RecentEntriesFeed* recentEntriesFeed() { return m_feed.get(); }
    /// Stops the feed's listener and joins its thread (the window closes).
    void StopRecentEntriesFeed();
    /// The metrics endpoint: null while METRICAS_PORTA is empty or its port could not be opened.
    const metrics::MetricsEndpoint* metricsEndpoint() const { return m_metrics.get(); }

private:
    template <class F>
    bool guarded(F&& step);
    /// The scan of ScanCode, and what became of it.
    ScanResult scanCode(const std::string& text);
    /// Opens the endpoint of METRICAS_PORTA once; a port it cannot open is told on standard error.
    void startMetrics();
    /// The station's figures as the endpoint serves them, after each scan, tick and probe.
    void publishMetrics();
    void startUp();
    /// Start-up from the connections on; may run again when it stopped half way.
    void connectAndLoad();
    bool finishStartUp();
    /// Kept scans go before anything else once the database is back; false while it is away.
    bool settleKept();
    /// A lost connection puts the station away (the probe's job from then on); true when it was one.
    bool noteIfAway(const std::exception& e);
    /// False when the process is to end.
    bool chooseDatabase(std::string& password);
    void ShowOperatorAndSector();
    void showStatusBar();
    /// Opens the feed's port and the empty list; raises when the port cannot be opened.
    void StartRecentEntriesFeed();

    Platform m_platform;
    std::string m_settingsPath;
    std::string m_executablePath;
    AccessClient* m_access;
    std::string m_password;    // chosen at start-up; never shown
    int m_sidePanelHeight = 0; // at the start-up's first attempt: fixes the recent entries' capacity
    std::unique_ptr<AccessClient> m_ownAccess;
    StationContext m_ctx;
    StationModules m_modules{m_ctx.sqlCon};
    ProductionMonitor m_monitor;
    ProductPictures m_pictures;
    UnitBoxScan m_scan;
    StoreAndForward m_forward;
    enquiry::LabelEnquiry m_enquiry;
    enquiry::SectorCancellation m_cancellation;
    RecentEntries m_recentEntries;
    int m_eventDepth = 0;                   // entry points under way: a datagram is not handled inside one
    int m_scanning = 0;                     // scans and settlings under way
    int m_startingUp = 0;                   // start-ups under way
    std::deque<std::string> m_waitingCodes; // codes that arrived while busy, in order
    metrics::ScanTally m_tally;
    std::optional<double> m_lastScan; // seconds since the epoch
    bool m_metricsStarted = false;
    std::unique_ptr<metrics::MetricsEndpoint> m_metrics;
    std::unique_ptr<RecentEntriesFeed> m_feed; // last: its thread ends before anything it hands to
};

} // namespace vek
