#include "util/Format.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace vek {
namespace {

const FormatSettings kBrazil = brazilianFormatSettings();

struct NumberRow {
    double value;
    const char* text;
};

struct PatternCase {
    const char* pattern;
    std::vector<NumberRow> rows;
};

void PrintTo(const PatternCase& c, std::ostream* os) {
    *os << c.pattern;
}

class FormatFloatTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(FormatFloatTest, BrazilianSetting) {
    const PatternCase& c = GetParam();
    for (const NumberRow& r : c.rows) {
        SCOPED_TRACE(std::to_string(r.value));
        EXPECT_EQ(formatFloat(c.pattern, r.value, kBrazil), r.text);
    }
}

INSTANTIATE_TEST_SUITE_P(StationPatterns, FormatFloatTest,
                         ::testing::Values(PatternCase{"###,##0",
                                                       {{0, "0"},
                                                        {7, "7"},
                                                        {1234, "1.234"},
                                                        {1234567, "1.234.567"},
                                                        {1.5, "2"},
                                                        {0.005, "0"},
                                                        {2.675, "3"},
                                                        {-7, "-7"},
                                                        {-1234, "-1.234"},
                                                        {-1234567, "-1.234.567"},
                                                        {999.995, "1.000"},
                                                        {999.4, "999"},
                                                        {999.5, "1.000"},
                                                        {-0.4, "0"},
                                                        {100000, "100.000"}}},
                                           PatternCase{"###,000",
                                                       {{0, "000"},
                                                        {7, "007"},
                                                        {1234, "1.234"},
                                                        {1234567, "1.234.567"},
                                                        {1.5, "002"},
                                                        {0.005, "000"},
                                                        {2.675, "003"},
                                                        {-7, "-007"},
                                                        {-1234, "-1.234"},
                                                        {999.995, "1.000"},
                                                        {99, "099"}}},
                                           PatternCase{"#,###",
                                                       {{0, ""},
                                                        {7, "7"},
                                                        {1234, "1.234"},
                                                        {1234567, "1.234.567"},
                                                        {1.5, "2"},
                                                        {0.005, ""},
                                                        {2.675, "3"},
                                                        {0.4, ""},
                                                        {-0.4, ""},
                                                        {-7, "-7"},
                                                        {-1234, "-1.234"},
                                                        {999.995, "1.000"}}},
                                           PatternCase{"###,###,##0",
                                                       {{0, "0"},
                                                        {7, "7"},
                                                        {1234, "1.234"},
                                                        {1234567, "1.234.567"},
                                                        {1234567890, "1.234.567.890"},
                                                        {1.5, "2"},
                                                        {0.005, "0"},
                                                        {2.675, "3"},
                                                        {-1234567, "-1.234.567"},
                                                        {999.995, "1.000"}}},
                                           PatternCase{"#,###,##0",
                                                       {{0, "0"},
                                                        {7, "7"},
                                                        {1234, "1.234"},
                                                        {1234567, "1.234.567"},
                                                        {1.5, "2"},
                                                        {0.005, "0"},
                                                        {2.675, "3"},
                                                        {-1234, "-1.234"},
                                                        {999.995, "1.000"},
                                                        {-999999.5, "-1.000.000"}}},
                                           PatternCase{"######0.00",
                                                       {{0, "0,00"},
                                                        {7, "7,00"},
                                                        {1234, "1234,00"},
                                                        {1234567, "1234567,00"},
                                                        {1.5, "1,50"},
                                                        {0.005, "0,01"},
                                                        {0.004, "0,00"},
                                                        {2.675, "2,68"},
                                                        {1.005, "1,01"},
                                                        {0.125, "0,13"},
                                                        {-1.5, "-1,50"},
                                                        {-2.675, "-2,68"},
                                                        {-0.004, "0,00"},
                                                        {-0.005, "-0,01"},
                                                        {999.995, "1000,00"},
                                                        {99.999, "100,00"},
                                                        {12.3456, "12,35"}}},
                                           PatternCase{"#,##0.00",
                                                       {{999.995, "1.000,00"},
                                                        {-999.995, "-1.000,00"},
                                                        {1234567.891, "1.234.567,89"},
                                                        {0, "0,00"}}}));

TEST(FormatFloat, OtherPictures) {
    struct Row {
        const char* pattern;
        double value;
        const char* text;
    };
    const Row rows[] = {
        {"0", 2.5, "3"}, // half away from zero, not to even
        {"0", -2.5, "-3"},
        {"0", 0.49999999999999994, "0"},
        {"0.##", 1.5, "1,5"},
        {"0.##", 1, "1"},
        {"0.0#", 1.234, "1,23"},
        {"#.##", 0.5, ",5"},
        {"00000", 42, "00042"},
        {"R$ #,##0.00", 1234.5, "R$ 1.234,50"},
        {"0 \"pares\"", 12, "12 pares"},
        {"0 'un.", 3, "3 un."},
        {"#,##0", 1e20, "100.000.000.000.000.000.000"},
        {"0.00", -1e-20, "0,00"},
        {"0.00", -0.0, "0,00"},
        {"0.000", 0.0005, "0,001"},
        {"0.0000000000", 0.1 + 0.2, "0,3000000000"},
        {"", -1234.25, "-1234,25"}, // no digit places: shortest exact form
        {"0.00.0", 1.25, "1,250"},  // only the first '.' is the decimal point
        {"0.0,0", 1.25, "1,25"},    // ',' after the point does not group
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.pattern) + " / " + std::to_string(r.value));
        EXPECT_EQ(formatFloat(r.pattern, r.value, kBrazil), r.text);
    }
}

TEST(FormatFloat, NotFiniteValues) {
    EXPECT_EQ(formatFloat("#,##0", std::numeric_limits<double>::quiet_NaN(), kBrazil), "NAN");
    EXPECT_EQ(formatFloat("#,##0", std::numeric_limits<double>::infinity(), kBrazil), "INF");
    EXPECT_EQ(formatFloat("#,##0", -std::numeric_limits<double>::infinity(), kBrazil), "-INF");
    const std::string huge = formatFloat("#,##0.00", std::numeric_limits<double>::max(), kBrazil);
    EXPECT_EQ(huge.substr(0, 8), "179.769.");
    EXPECT_EQ(huge.substr(huge.size() - 3), ",00");
}

TEST(FormatSettingsTest, SeparatorsComeFromTheSettings) {
    const DateTime t = DateTime::fromDateTime(2024, 3, 5, 14, 7, 9);
    const FormatSettings us{',', '.', '-', '.'};
    EXPECT_EQ(formatFloat("#,##0.00", 1234567.5, us), "1,234,567.50");
    EXPECT_EQ(formatFloat("#,##0.00", 1234.5, FormatSettings{'\x92', '.', '.', ':'}), "1\x92"
                                                                                      "234.50");
    EXPECT_EQ(formatDateTime("dd/mm/yyyy \"-\" hh:nn:ss", t, us), "05-03-2024 - 14.07.09");
    EXPECT_EQ(formatDateTime("dd\"/\"mm\":\"", t, us), "05/03:"); // quoted separators stay

    // The overloads without settings use the process-wide one, the system's until set.
    const FormatSettings saved = currentFormatSettings();
    EXPECT_EQ(saved, systemFormatSettings());
    setCurrentFormatSettings(brazilianFormatSettings());
    EXPECT_EQ(formatFloat("#,##0.00", 1234.5), "1.234,50");
    EXPECT_EQ(formatDateTime("dd/mm/yyyy hh:mm", t), "05/03/2024 14:07");
    setCurrentFormatSettings(us);
    EXPECT_EQ(formatFloat("#,##0.00", 1234.5), "1,234.50");
    EXPECT_EQ(formatDateTime("dd/mm/yyyy hh:mm", t), "05-03-2024 14.07");
    setCurrentFormatSettings(saved);
}

TEST(FormatSettingsTest, FromLocales) {
    struct Row {
        QLocale locale;
        FormatSettings expected;
    };
    const Row rows[] = {
        {QLocale(QLocale::Portuguese, QLocale::Brazil), {'.', ',', '/', ':'}},
        {QLocale(QLocale::English, QLocale::UnitedStates), {',', '.', '/', ':'}},
        {QLocale(QLocale::German, QLocale::Germany), {'.', ',', '.', ':'}},
        {QLocale(QLocale::Finnish, QLocale::Finland), {'\xA0', ',', '.', '.'}},
        // A narrow no-break space is not in the code page; the no-break space stands in for it.
        {QLocale(QLocale::French, QLocale::France), {'\xA0', ',', '/', ':'}},
        // Separators outside the code page fall back to the Brazilian ones.
        {QLocale(QLocale::Arabic, QLocale::Egypt), {'.', ',', '/', ':'}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.locale.name().toStdString());
        const FormatSettings s = formatSettingsOf(r.locale);
        const auto text = [](const FormatSettings& f) {
            return std::string{f.thousandSeparator, f.decimalSeparator, f.dateSeparator, f.timeSeparator};
        };
        EXPECT_EQ(text(s), text(r.expected));
    }
}

TEST(FormatDateTime, StationPatterns) {
    struct Row {
        const char* pattern;
        const char* text;
    };
    const DateTime t = DateTime::fromDateTime(2024, 3, 5, 14, 7, 9, 45);
    const Row rows[] = {
        {"dd/MM/YY", "05/03/24"},
        {"dd/MM HH:mm", "05/03 14:07"},
        {"dd/MM/yyyy HH:mm", "05/03/2024 14:07"},
        {"hh:nn:ss", "14:07:09"},
        {"dd/mm/yyyy \"-\" hh:mm", "05/03/2024 - 14:07"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.pattern);
        EXPECT_EQ(formatDateTime(r.pattern, t, kBrazil), r.text);
    }
    const DateTime midnight = DateTime::fromDate(2000, 12, 31);
    EXPECT_EQ(formatDateTime("dd/mm/yyyy \"-\" hh:mm", midnight, kBrazil), "31/12/2000 - 00:00");
    EXPECT_EQ(formatDateTime("dd/MM/YY", midnight, kBrazil), "31/12/00");
    EXPECT_EQ(formatDateTime("hh:nn:ss", DateTime::fromDateTime(1999, 1, 2, 23, 59, 59), kBrazil), "23:59:59");
    EXPECT_EQ(formatDateTime("dd/MM/YY yyyy", DateTime::fromDate(5, 1, 1), kBrazil), "01/01/05 0005");
}

TEST(FormatDateTime, MonthOrMinute) {
    struct Row {
        const char* pattern;
        const char* text;
    };
    // 7 minutes past, in month 3: the two cannot be mistaken for each other.
    const DateTime t = DateTime::fromDateTime(2024, 3, 5, 4, 7, 9, 45);
    const Row rows[] = {
        {"mm", "03"},
        {"m", "3"},
        {"hh:mm", "04:07"},
        {"h:m", "4:7"},
        {"hhmm", "0407"},
        {"hh\"h\"mm", "04h07"},
        {"HH:mm", "04:07"},
        {"HH:MM", "04:03"},       // upper-case M is always the month
        {"hh dd mm", "04 05 03"}, // another field between: month again
        {"hh:mm/mm", "04:07/03"},
        {"yyyy-mm-dd", "2024-03-05"},
        {"mm/dd hh:mm", "03/05 04:07"},
        {"d/m/yy h:n:s", "5/3/24 4:7:9"},
        {"hh:nn:ss.zzz", "04:07:09.045"},
        {"'dia' dd", "dia 05"},
        {"\"sem fim dd", "sem fim dd"},
        {"ddd yyyyy y", "05 2024 24"},
        {"x-t!", "x-t!"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.pattern);
        EXPECT_EQ(formatDateTime(r.pattern, t, kBrazil), r.text);
    }
}

} // namespace
} // namespace vek
