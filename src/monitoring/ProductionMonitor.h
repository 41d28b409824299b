#pragma once

#include "db/MemTable.h"
#include "db/Query.h"
#include "util/DateTime.h"

#include <cstdint>
#include <string>

namespace vek {

class StationContext;

namespace sql {
extern const char* const kTotPar;     // sqlTotPar: a conveyor's boxes by day and hour, ESTEIRA, TAMANHO, DATAI, DATAF
extern const char* const kTotParUnit; // sqlTotParUnit: a sector's records by day and hour, SETOR, DATAI, DATAF
} // namespace sql

/// The production figures on screen: the one-minute clock, the day and month counters, the hourly
/// grid and the ticket count, loaded from the database and moved on by each scan.
class ProductionMonitor {
public:
    explicit ProductionMonitor(StationContext& ctx);
    ProductionMonitor(const ProductionMonitor&) = delete;
    ProductionMonitor& operator=(const ProductionMonitor&) = delete;

    /// Reads the server's time into the clock and the header. Does nothing before the start-up
    /// checks passed: there is no database that may be opened then.
    void ClockTick();
    /// The clock's time is `t`: the counters' reference date, the sector records' time, the header.
    void setClockTime(const DateTime& t);
    const DateTime& lastClockTime() const { return LastClockTime; }
    /// False until the first tick read the server's clock.
    bool clockSet() const { return m_clockSet; }
    /// Reads the server's clock for a scan. After a tick that failed, or that was left out while the
    /// database was away, the clock moves to it as that tick would have: the scan's records do not
    /// carry a time a minute or more before it, nor the day before.
    DateTime ReadServerTime();
    /// The server's time as a statement of the scan read it, taken as ReadServerTime takes its own.
    DateTime NoteServerTime(const DateTime& t);
    /// A tick that did not reach the server.
    void MissTick() { m_tickMissed = true; }
    /// The clock's time as "hh:nn:ss".
    const std::string& lastClockTimeText() const { return m_lastClockTimeText; }

    /// The start-up's first step: no counts and an empty hourly grid.
    void ClearCounters();
    /// The loader of the station's mode.
    void reloadCounters();
    void LoadConveyorCounters();
    void LoadSectorCounters();
    /// After a scan: reloads when TEMPO_ESPERA milliseconds have passed since the last load.
    void RefreshCountersIfDue();

    /// A box written off by a live scan at `t`: the hourly grid, the day and the month move on.
    void CountWriteOff(const DateTime& t);
    /// Write-offs of kept scans settled now, made at `at`: counted in the day's figures and the
    /// hourly grid only when made today, in the month's only when made this month (by the clock).
    void CountSettledWriteOffs(const DateTime& at, int count);
    /// Shows the day's and the month's counters and paints them at once.
    void ShowCounters();
    /// The counter texts only: a scan paints them with its message, in one pass at its end.
    void ShowCounterTexts();

    int dayCount() const { return DayCount; }
    int monthCount() const { return MonthCount; }
    int monthCancelledCount() const { return m_monthCancelledCount; }

    /// The last ticket count, kept until the next one (a scan that counts nothing shows it again):
    /// the ticket's boxes done and pending, cancelled ones left out.
    int countDone() const { return CountDone; }
    int countPending() const { return CountPending; }
    void setTicketCount(int done, int pending);
    /// "done/total" of the last count, as `edTotEtiq` shows it.
    std::string ticketCountText() const;

    /// Today's production per hour, shown by the hourly grid.
    db::MemTable cdsProdHora{"cdsProdHora"};

private:
    void loadCounters(bool sector);

    StationContext& m_ctx;
    db::Query sqlTotPar;
    db::Query sqlTotParUnit;
    int DayCount = 0;
    int MonthCount = 0;
    int m_monthCancelledCount = 0;
    DateTime LastClockTime;
    std::string m_lastClockTimeText;
    bool m_clockSet = false;
    bool m_tickMissed = false;
    std::int64_t m_lastCounterRefresh = 0; // local clock, ms since the epoch; 0 = never
    int CountDone = 0;
    int CountPending = 0;
};

} // namespace vek
