#pragma once

#include <cstdint>

namespace vek {

/// A calendar date and time of day without time zone, as the database stores it:
/// a day number and the time of day in ten-thousandths of a second.
class DateTime {
public:
    static constexpr std::int64_t kTicksPerSecond = 10000;
    static constexpr std::int64_t kTicksPerDay = 86400 * kTicksPerSecond;

    constexpr DateTime() = default;

    /// Day number counted from 1858-11-17 (the database's own epoch) and ticks since midnight.
    static constexpr DateTime fromParts(std::int32_t dayNumber, std::int64_t ticks) {
        DateTime d;
        d.m_day = dayNumber + static_cast<std::int32_t>(floorDiv(ticks, kTicksPerDay));
        d.m_ticks = ticks - floorDiv(ticks, kTicksPerDay) * kTicksPerDay;
        return d;
    }
    static DateTime fromDate(int year, int month, int day);
    static DateTime fromDateTime(int year, int month, int day, int hour, int minute, int second, int msec = 0);
    /// Days with fractions since 1899-12-30, the serial form office software shares.
    /// Throws std::out_of_range outside the years 1 to 9999 or for a non-finite value.
    static DateTime fromSerial(double serial);
    /// The machine's wall clock in local time, to the millisecond.
    static DateTime localNow();

    std::int32_t dayNumber() const { return m_day; }
    std::int64_t ticks() const { return m_ticks; }

    int year() const;
    int month() const;
    int day() const;
    /// 1 = Sunday … 7 = Saturday.
    int dayOfWeek() const;
    int hour() const { return static_cast<int>(m_ticks / (3600 * kTicksPerSecond)); }
    int minute() const { return static_cast<int>(m_ticks / (60 * kTicksPerSecond) % 60); }
    int second() const { return static_cast<int>(m_ticks / kTicksPerSecond % 60); }
    int msec() const { return static_cast<int>(m_ticks % kTicksPerSecond / 10); }

    double toSerial() const;
    DateTime datePart() const { return fromParts(m_day, 0); }
    /// Throws std::out_of_range for a non-finite or absurdly large count.
    DateTime addDays(double days) const;
    DateTime addTicks(std::int64_t ticks) const { return fromParts(m_day, m_ticks + ticks); }
    /// Difference in days, with fractions.
    double daysSince(const DateTime& earlier) const;
    /// Exact difference in ticks.
    std::int64_t ticksSince(const DateTime& earlier) const {
        return (static_cast<std::int64_t>(m_day) - earlier.m_day) * kTicksPerDay + (m_ticks - earlier.m_ticks);
    }

    /// yyyy-mm-dd hh:nn:ss, for logs and tests.
    const char* isoText(char (&buf)[32]) const;

    // Spelled out: the Qt meta-object compiler cannot parse the standard <compare> header.
    bool operator==(const DateTime& o) const { return m_day == o.m_day && m_ticks == o.m_ticks; }
    bool operator!=(const DateTime& o) const { return !(*this == o); }
    bool operator<(const DateTime& o) const { return m_day < o.m_day || (m_day == o.m_day && m_ticks < o.m_ticks); }
    bool operator>(const DateTime& o) const { return o < *this; }
    bool operator<=(const DateTime& o) const { return !(o < *this); }
    bool operator>=(const DateTime& o) const { return !(*this < o); }

private:
    static constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
        return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
    }

    std::int32_t m_day = 0;
    std::int64_t m_ticks = 0;
};

/// Converts a civil date to the day number (days since 1858-11-17) and back.
std::int32_t dayNumberFromCivil(int year, int month, int day);
void civilFromDayNumber(std::int32_t dayNumber, int& year, int& month, int& day);
bool isValidDate(int year, int month, int day);

/// The calendar day of `date` at the given time; an hour, minute or second outside 0 to 65535
/// throws std::out_of_range. Times past the day's end carry into the following days.
DateTime SqlTimeStampAt(const DateTime& date, int hour, int minute, int second);

} // namespace vek
