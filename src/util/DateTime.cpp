#include "util/DateTime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace vek {

namespace {
// 1858-11-17 counted in days from 1970-01-01.
constexpr std::int64_t kEpochOffset = -40587;
// 1899-12-30 as a day number.
constexpr std::int32_t kSerialZero = 15018;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}
} // namespace

bool isValidDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) {
        return false;
    }
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::int32_t dayNumberFromCivil(int year, int month, int day) {
    return static_cast<std::int32_t>(daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                                     kEpochOffset);
}

void civilFromDayNumber(std::int32_t dayNumber, int& year, int& month, int& day) {
    civilFromDays(dayNumber + kEpochOffset, year, month, day);
}

DateTime DateTime::fromDate(int year, int month, int day) {
    if (!isValidDate(year, month, day)) {
        throw std::out_of_range("invalid date");
    }
    return fromParts(dayNumberFromCivil(year, month, day), 0);
}

DateTime DateTime::fromDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999) {
        throw std::out_of_range("invalid time");
    }
    const std::int64_t ticks =
        ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * kTicksPerSecond + msec * 10;
    return fromDate(year, month, day).addTicks(ticks);
}

DateTime DateTime::localNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    // A leap second reads as the second before it.
    return fromDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, std::min(tm.tm_sec, 59),
                        static_cast<int>(ms < 0 ? ms + 1000 : ms));
}

DateTime DateTime::fromSerial(double serial) {
    // Casting a non-finite or huge double to an integer is undefined; keep to the calendar's range.
    constexpr double kMinSerial = -693593.0; // 0001-01-01
    constexpr double kMaxSerial = 2958466.0; // 10000-01-01
    if (!(serial >= kMinSerial && serial < kMaxSerial)) {
        throw std::out_of_range("invalid date serial");
    }
    const double whole = std::floor(serial);
    const auto ticks = static_cast<std::int64_t>(std::llround((serial - whole) * static_cast<double>(kTicksPerDay)));
    return fromParts(static_cast<std::int32_t>(whole) + kSerialZero, ticks);
}

int DateTime::year() const {
    int y, m, d;
    civilFromDayNumber(m_day, y, m, d);
    return y;
}

int DateTime::month() const {
    int y, m, d;
    civilFromDayNumber(m_day, y, m, d);
    return m;
}

int DateTime::day() const {
    int y, m, d;
    civilFromDayNumber(m_day, y, m, d);
    return d;
}

int DateTime::dayOfWeek() const {
    // 1858-11-17 was a Wednesday (4).
    const int r = static_cast<int>(((static_cast<std::int64_t>(m_day) + 3) % 7 + 7) % 7);
    return r + 1;
}

double DateTime::toSerial() const {
    return static_cast<double>(m_day - kSerialZero) + static_cast<double>(m_ticks) / static_cast<double>(kTicksPerDay);
}

DateTime DateTime::addDays(double days) const {
    // Wider than the whole calendar, narrow enough for the tick count to fit in 64 bits.
    constexpr double kMaxDays = 10'000'000.0;
    if (!(days > -kMaxDays && days < kMaxDays)) {
        throw std::out_of_range("invalid day count");
    }
    const auto ticks = static_cast<std::int64_t>(std::llround(days * static_cast<double>(kTicksPerDay)));
    return addTicks(ticks);
}

double DateTime::daysSince(const DateTime& earlier) const {
    const std::int64_t diff =
        (static_cast<std::int64_t>(m_day) - earlier.m_day) * kTicksPerDay + (m_ticks - earlier.m_ticks);
    return static_cast<double>(diff) / static_cast<double>(kTicksPerDay);
}

const char* DateTime::isoText(char (&buf)[32]) const {
    int y, m, d;
    civilFromDayNumber(m_day, y, m, d);
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, hour(), minute(), second());
    return buf;
}

DateTime SqlTimeStampAt(const DateTime& date, int hour, int minute, int second) {
    constexpr int kMax = 65535;
    if (hour < 0 || hour > kMax || minute < 0 || minute > kMax || second < 0 || second > kMax) {
        throw std::out_of_range("Hour, minute or second out of range");
    }
    const std::int64_t seconds = std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second;
    return date.datePart().addTicks(seconds * DateTime::kTicksPerSecond);
}

} // namespace vek
