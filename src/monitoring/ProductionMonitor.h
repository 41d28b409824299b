#pragma once

#include "db/Query.h"
#include "util/DateTime.h"

namespace vek {

class StationContext;

/// The production figures on screen: the one-minute clock, the day and month counters and the
/// hourly grid, loaded from the database and moved on by each scan.
class ProductionMonitor {
public:
    explicit ProductionMonitor(StationContext& ctx);
    ProductionMonitor(const ProductionMonitor&) = delete;
    ProductionMonitor& operator=(const ProductionMonitor&) = delete;

    /// Reads the server's time into LastClockTime and the header. Does nothing before the start-up
    /// checks passed: there is no database that may be opened then.
    void ClockTick();

    /// The loader of the station's mode.
    void reloadCounters();
    void LoadConveyorCounters();
    void LoadSectorCounters();
    /// After a scan: reloads when TEMPO_ESPERA milliseconds have passed since the last load.
    void RefreshCountersIfDue();

    void AddHourlyWriteOff(const DateTime& t);
    /// Shows DayCount and the month's counters and paints them at once.
    void ShowCounters();
    /// Write-offs of kept scans settled now, made at `at`: counted in the day's figures and the
    /// hourly grid only when made today, in the month's only when made this month (by the clock).
    void CountSettledWriteOffs(const DateTime& at, int count);

private:
    void loadCounters(bool sector);

    StationContext& m_ctx;
    db::Query sqlTotPar;
    db::Query sqlTotParUnit;
};

} // namespace vek
