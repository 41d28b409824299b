#include "util/DateTime.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>

namespace vek {
namespace {

std::string iso(const DateTime& d) {
    char buf[32];
    return d.isoText(buf);
}

TEST(DateTimeTest, KnownDates) {
    struct Row {
        int y, m, d;
        std::int32_t dayNumber;
        int dayOfWeek; // 1 = Sunday
    };
    const Row rows[] = {{1858, 11, 17, 0, 4},      {1899, 12, 30, 15018, 7}, {1970, 1, 1, 40587, 5},
                        {2000, 2, 29, 51603, 3},   {2023, 12, 31, 60309, 1}, {1, 1, 1, -678575, 2},
                        {9999, 12, 31, 2973483, 6}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.dayNumber);
        const DateTime d = DateTime::fromDate(r.y, r.m, r.d);
        EXPECT_EQ(d.dayNumber(), r.dayNumber);
        EXPECT_EQ(d.year() * 10000 + d.month() * 100 + d.day(), r.y * 10000 + r.m * 100 + r.d);
        EXPECT_EQ(d.dayOfWeek(), r.dayOfWeek);
    }
}

TEST(DateTimeTest, CivilConversionIsConsistentDayByDay) {
    int y = 1600, m = 1, d = 1;
    const std::int32_t first = dayNumberFromCivil(y, m, d);
    for (std::int32_t n = first; n < first + 365 * 800; ++n) {
        int cy, cm, cd;
        civilFromDayNumber(n, cy, cm, cd);
        ASSERT_EQ(cy * 10000 + cm * 100 + cd, y * 10000 + m * 100 + d) << n;
        ASSERT_EQ(dayNumberFromCivil(cy, cm, cd), n);
        if (isValidDate(y, m, d + 1)) {
            ++d;
        } else {
            d = 1;
            m = m % 12 + 1;
            y += m == 1 ? 1 : 0;
        }
    }
}

TEST(DateTimeTest, InvalidDatesAndTimesThrow) {
    const int dates[][3] = {{2023, 2, 29}, {1900, 2, 29}, {2024, 4, 31}, {2024, 0, 1},
                            {2024, 13, 1}, {2024, 1, 0},  {0, 1, 1},     {10000, 1, 1}};
    for (const auto& r : dates) {
        SCOPED_TRACE(std::to_string(r[0]) + "-" + std::to_string(r[1]) + "-" + std::to_string(r[2]));
        EXPECT_FALSE(isValidDate(r[0], r[1], r[2]));
        EXPECT_THROW(DateTime::fromDate(r[0], r[1], r[2]), std::out_of_range);
    }
    EXPECT_TRUE(isValidDate(2000, 2, 29));
    EXPECT_TRUE(isValidDate(2024, 2, 29));
    const int times[][4] = {{24, 0, 0, 0}, {-1, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {0, 0, 0, -1}};
    for (const auto& r : times) {
        SCOPED_TRACE(std::to_string(r[0]) + ":" + std::to_string(r[1]) + ":" + std::to_string(r[2]));
        EXPECT_THROW(DateTime::fromDateTime(2024, 1, 1, r[0], r[1], r[2], r[3]), std::out_of_range);
    }
}

TEST(DateTimeTest, TimeOfDay) {
    const DateTime d = DateTime::fromDateTime(2024, 3, 5, 23, 7, 59, 999);
    EXPECT_EQ(d.hour(), 23);
    EXPECT_EQ(d.minute(), 7);
    EXPECT_EQ(d.second(), 59);
    EXPECT_EQ(d.msec(), 999);
    EXPECT_EQ(d.ticks(), ((23 * 60 + 7) * 60 + 59) * DateTime::kTicksPerSecond + 9990);
    EXPECT_EQ(d.datePart(), DateTime::fromDate(2024, 3, 5));
    EXPECT_EQ(iso(d), "2024-03-05 23:07:59");
}

TEST(DateTimeTest, ArithmeticCrossesDaysAndKeepsOrder) {
    const std::int32_t mar1 = dayNumberFromCivil(2024, 3, 1);
    EXPECT_EQ(iso(DateTime::fromParts(mar1, -1)), "2024-02-29 23:59:59");
    EXPECT_EQ(DateTime::fromParts(mar1, -1).ticks(), DateTime::kTicksPerDay - 1);
    EXPECT_EQ(DateTime::fromParts(mar1, DateTime::kTicksPerDay), DateTime::fromDate(2024, 3, 2));
    EXPECT_EQ(DateTime::fromParts(mar1, -3 * DateTime::kTicksPerDay), DateTime::fromDate(2024, 2, 27));

    const DateTime t = DateTime::fromDateTime(2024, 2, 28, 18, 0, 0);
    EXPECT_EQ(iso(t.addTicks(6 * 3600 * DateTime::kTicksPerSecond)), "2024-02-29 00:00:00");
    EXPECT_EQ(iso(t.addDays(1.5)), "2024-03-01 06:00:00");
    EXPECT_EQ(iso(t.addDays(-0.75)), "2024-02-28 00:00:00");
    EXPECT_EQ(iso(t.addDays(1.0 / 1440.0)), "2024-02-28 18:01:00");
    EXPECT_DOUBLE_EQ(t.addDays(1.5).daysSince(t), 1.5);
    EXPECT_DOUBLE_EQ(t.daysSince(t.addDays(2.25)), -2.25);
    EXPECT_THROW(t.addDays(std::numeric_limits<double>::quiet_NaN()), std::out_of_range);
    EXPECT_THROW(t.addDays(1e300), std::out_of_range);

    EXPECT_LT(DateTime::fromDateTime(2024, 3, 5, 23, 59, 59), DateTime::fromDate(2024, 3, 6));
    EXPECT_LT(DateTime::fromDate(2024, 3, 6), DateTime::fromDateTime(2024, 3, 6, 0, 0, 0, 1));
}

TEST(DateTimeTest, SerialForm) {
    struct Row {
        double serial;
        const char* iso;
    };
    const Row rows[] = {{0.0, "1899-12-30 00:00:00"},       {2.0, "1900-01-01 00:00:00"},
                        {45000.75, "2023-03-15 18:00:00"},  {-1.0, "1899-12-29 00:00:00"},
                        {-693593.0, "0001-01-01 00:00:00"}, {2958465.5, "9999-12-31 12:00:00"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.iso);
        EXPECT_EQ(iso(DateTime::fromSerial(r.serial)), r.iso);
        EXPECT_DOUBLE_EQ(DateTime::fromSerial(r.serial).toSerial(), r.serial);
    }
    // Rounding to the nearest tick may reach the next midnight.
    EXPECT_EQ(DateTime::fromSerial(45000.999999999999), DateTime::fromDate(2023, 3, 16));
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(),
                          1e300,
                          -1e300,
                          -693594.0,
                          2958466.0};
    for (const double s : bad) {
        SCOPED_TRACE(s);
        EXPECT_THROW(DateTime::fromSerial(s), std::out_of_range);
    }
}

} // namespace
} // namespace vek
