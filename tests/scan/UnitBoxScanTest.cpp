#include "scan/UnitBoxScan.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <gtest/gtest.h>

using namespace vek;

namespace {

TEST(ScanCode, SubTicketLabelsAreExactlyFifteenCharactersBeginningWith2) {
    EXPECT_TRUE(isSubTicketCode("200012300010001"));
    EXPECT_FALSE(isSubTicketCode("20001230001000"));   // 14
    EXPECT_FALSE(isSubTicketCode("2000123000100011")); // 16
    EXPECT_FALSE(isSubTicketCode("100012300010001"));
}

TEST(ScanCode, NumbersInTheLocalesNotation) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"123456", true, 123456},
        {" 42 ", true, 42},
        {"999999999999999", true, 999999999999999.0},
        {"100016,5", true, 100016.5},
        {"1e3", false, 0}, // an exponent is letters: a code, not a number
        {"5,00606e5", false, 0},
        {"-7", true, -7},
        {"", false, 0},
        {"   ", false, 0},
        {"12a", false, 0},
        {"1.000", false, 0}, // no thousands separators
        {"1,2,3", false, 0},
        {",", false, 0},
        {"1e", false, 0},
        {"+12", true, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto v = parseScanCode(c.text, ',');
        ASSERT_EQ(v.has_value(), c.ok);
        if (c.ok) {
            EXPECT_DOUBLE_EQ(*v, c.value);
        }
    }
    EXPECT_DOUBLE_EQ(*parseScanCode("10.5", '.'), 10.5);
}

class BoxRefusal : public ::testing::Test {
protected:
    void SetUp() override { setCurrentFormatSettings(brazilianFormatSettings()); }
    const DateTime now = DateTime::fromDateTime(2024, 5, 20, 15, 0, 0);
};

TEST_F(BoxRefusal, AgeIsCountedInDaysWithFractions) {
    // Issued exactly 90 days ago at midnight, scanned later that day: too old.
    BoxDates old{DateTime::fromDate(2024, 2, 20), {}, {}};
    auto r = boxRefusal(old, now, 90, 1);
    ASSERT_TRUE(r);
    EXPECT_EQ(toQString(*r), QString::fromUtf8("Código com data Emissão 20/02/24 maior que 90 dias."));
    BoxDates fine{DateTime::fromDateTime(2024, 2, 20, 15, 0, 0), {}, {}};
    EXPECT_FALSE(boxRefusal(fine, now, 90, 1)) << "exactly 90 days passes";
    // Limit 0 refuses every label older than now; the limit shows as the empty text.
    r = boxRefusal(BoxDates{now.addDays(-0.001), {}, {}}, now, 0, 1);
    ASSERT_TRUE(r);
    EXPECT_TRUE(toQString(*r).endsWith(QString::fromUtf8(" maior que  dias.")));
    EXPECT_TRUE(boxRefusal(BoxDates{{}, {}, {}}, now, 1000000, 1)) << "no emission date is always too old";
}

TEST_F(BoxRefusal, OrderIsAgeThenCancellationThenWriteOff) {
    const DateTime canc = DateTime::fromDateTime(2024, 5, 19, 8, 5, 0);
    const DateTime off = DateTime::fromDateTime(2024, 5, 18, 17, 45, 0);
    auto r = boxRefusal(BoxDates{DateTime::fromDate(2023, 1, 1), canc, off}, now, 90, 1);
    ASSERT_TRUE(r);
    EXPECT_TRUE(toQString(*r).startsWith(QString::fromUtf8("Código com data Emissão")));
    r = boxRefusal(BoxDates{now, canc, off}, now, 90, 1);
    ASSERT_TRUE(r);
    EXPECT_EQ(toQString(*r), QString::fromUtf8("Código CANCELADO em 19/05 08:05"));
    r = boxRefusal(BoxDates{now, {}, off}, now, 90, 1234567);
    ASSERT_TRUE(r);
    EXPECT_EQ(toQString(*r), QString::fromUtf8("Código \"1.234.567\" já baixado em 18/05/2024 17:45"));
    EXPECT_FALSE(boxRefusal(BoxDates{now, {}, {}}, now, 90, 1));
}

} // namespace
