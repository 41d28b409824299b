#pragma once

#include "util/DateTime.h"

#include <string>
#include <vector>

namespace vek {

/// Rows of the month's production as the counter load reads them: `count` boxes of `time` (the
/// server counts them by the hour), cancelled or not.
struct CounterRow {
    DateTime time;
    bool cancelled = false;
    int count = 1;
};

/// The figures of one counter load.
struct CounterFigures {
    int dayCount = 0;
    int monthCount = 0;
    int monthCancelledCount = 0;
    int prevDayCount = 0;
    int prevDayCancelled = 0;
    std::vector<CounterRow> today; // for the hourly grid, in row order
};

/// The load's bounds: the first of the reference month at 00:00:00 and the reference day at
/// 23:59:59, both with the sub-second part of `lastClock`.
void counterBounds(const DateTime& lastClock, DateTime& from, DateTime& to);

/// Counts the rows against the reference day. The previous production day is the latest earlier
/// day of the rows with at least one box that is not cancelled; all its boxes count there.
CounterFigures countProduction(const std::vector<CounterRow>& rows, const DateTime& referenceDay);

/// "09:00" for any time in the ninth hour.
std::string hourKey(const DateTime& t);
/// "09:00 as 09:59"; the empty text for an empty key.
std::string hourDisplayText(const std::string& hora);

/// Header line: dd/mm/yy  -  hh:nn  -  ESTEIRA <code>, with fixed separators.
std::string clockHeader(const DateTime& serverTime, const std::string& conveyor);

} // namespace vek
