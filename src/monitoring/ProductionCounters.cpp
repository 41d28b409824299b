#include "monitoring/ProductionCounters.h"

#include <cstdio>

namespace vek {

void counterBounds(const DateTime& lastClock, DateTime& from, DateTime& to) {
    const std::int64_t subSecond = lastClock.ticks() % DateTime::kTicksPerSecond;
    from = DateTime::fromDate(lastClock.year(), lastClock.month(), 1).addTicks(subSecond);
    to = lastClock.datePart().addTicks(86399 * DateTime::kTicksPerSecond + subSecond);
}

CounterFigures countProduction(const std::vector<CounterRow>& rows, const DateTime& referenceDay) {
    CounterFigures f;
    const std::int32_t reference = referenceDay.dayNumber();
    bool havePrevious = false;
    DateTime previous;
    for (const CounterRow& r : rows) {
        const std::int32_t day = r.time.dayNumber();
        if ((!havePrevious || r.time > previous) && day < reference && !r.cancelled && r.count > 0) {
            previous = r.time;
            havePrevious = true;
        }
        if (day == reference) {
            f.dayCount += r.count;
            f.today.push_back(r);
        }
        f.monthCount += r.count;
        if (r.cancelled) {
            f.monthCancelledCount += r.count;
        }
    }
    if (havePrevious) {
        for (const CounterRow& r : rows) {
            if (r.time.dayNumber() == previous.dayNumber()) {
                f.prevDayCount += r.count;
                if (r.cancelled) {
                    f.prevDayCancelled += r.count;
                }
            }
        }
    }
    return f;
}

std::string hourKey(const DateTime& t) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:00", t.hour());
    return buf;
}

std::string hourDisplayText(const std::string& hora) {
    if (hora.empty()) {
        return {};
    }
    return hora + " as " + hora.substr(0, 3) + "59";
}

std::string clockHeader(const DateTime& t, const std::string& conveyor) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d  -  %02d:%02d", t.day(), t.month(), t.year() % 100, t.hour(),
                  t.minute());
    return std::string(buf) + "  -  ESTEIRA " + conveyor;
}

} // namespace vek
