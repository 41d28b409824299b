#include "json/MessageOf.h"
#include "json/uJSON.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <string>
#include <vector>

using namespace vek::json;

TEST(ParseRadix, ConvertsByRadix) {
    struct Case {
        std::string text;
        int radix;
        std::int32_t expected;
    };
    const std::vector<Case> cases = {
        {"1F", 16, 31},
        {"$1f", 16, 31},
        {"0x1F", 16, 31},
        {"0X10", 16, 16},
        {"FFFFFFFF", 16, -1},
        {"100000000", 16, 0},
        {"123456789", 16, 0x23456789},
        {"", 16, 0},
        {"0", 8, 0},
        {"-12", 10, -12},
        {"+7", 10, 7},
        {"2147483647", 10, 2147483647},
        {"101", 2, 0},
        {"zz", 36, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + " radix " + std::to_string(c.radix));
        EXPECT_EQ(_Integer::parseRadix(c.text, c.radix), c.expected);
    }
    EXPECT_THROW(_Integer::parseRadix("1G", 16), std::invalid_argument);
    EXPECT_THROW(_Integer::parseRadix("12a", 10), std::invalid_argument);
    EXPECT_THROW(_Integer::parseRadix("2147483648", 10), std::out_of_range);
    EXPECT_EQ(messageOf([] { _Integer::parseRadix("07", 8); }), "Rotina N\xE3o Implementada");
}

TEST(DotFormat, ReadsOnlyPlainDecimalReals) {
    const std::vector<std::pair<std::string, double>> good = {
        {"1.5", 1.5},    {"-2", -2.0},   {"+3.25", 3.25}, {".5", 0.5},     {"5.", 5.0},
        {"1e3", 1000.0}, {"1E-2", 0.01}, {"007", 7.0},    {"1e-400", 0.0},
    };
    for (const auto& [text, expected] : good) {
        SCOPED_TRACE(text);
        EXPECT_DOUBLE_EQ(DotFormat::toReal(text), expected);
    }
    for (const std::string text : {"", "-", ".", "+.", "1.2.3", "1e", "1e+", " 1", "1 ", "inf", "nan", "0x10", "1,5",
                                   "1,000.5", "--1", "1e5.5"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(DotFormat::toReal(text), std::invalid_argument);
        EXPECT_FALSE(DotFormat::tryToReal(text).has_value());
    }
    EXPECT_THROW(DotFormat::toReal("1e400"), std::out_of_range);
}

TEST(DotFormat, WritesTwoDecimalsRoundingHalfAwayFromZero) {
    const std::vector<std::pair<double, std::string>> cases = {
        {1.5, "1.50"},
        {0.0, "0.00"},
        {-0.0, "0.00"},
        {12.345, "12.35"},
        {1.005, "1.01"},
        {0.125, "0.13"},
        {-0.125, "-0.13"},
        {2.675, "2.68"},
        {0.004, "0.00"},
        {-0.004, "0.00"},
        {0.005, "0.01"},
        {9.995, "10.00"},
        {999.999, "1000.00"},
        {-1.5, "-1.50"},
        {0.1 + 0.2, "0.30"},
        {123456789.0, "123456789.00"},
        {1e20, "100000000000000000000.00"},
        {1e-300, "0.00"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {std::nan(""), "NAN"},
    };
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(expected);
        EXPECT_EQ(DotFormat::formatTwoDecimals(value), expected);
    }
}

TEST(Values, NumbersConvert) {
    EXPECT_EQ(_Double(12.7).asInteger(), 12);
    EXPECT_EQ(_Double(-12.7).asInteger(), -12);
    EXPECT_EQ(_Double(-2147483648.0).asInteger(), std::numeric_limits<std::int32_t>::min());
    EXPECT_THROW(_Double(3e9).asInteger(), std::out_of_range);
    EXPECT_THROW(_Double(std::nan("")).asInteger(), std::out_of_range);
    EXPECT_DOUBLE_EQ(_Integer(-5).asReal(), -5.0);
    EXPECT_EQ(_Integer(-5).toText(), "-5");
    EXPECT_EQ(_Double(1.5).toText(), "\"1.50\"");
}

TEST(Values, SameAsIsIdentityExceptForTextsAndNull) {
    const _String text("abc");
    const _String sameText("abc");
    const _String otherCase("ABC");
    const _Double real(1.0);
    const _NULL null;
    const _Boolean copyOfTrue(true);
    EXPECT_TRUE(text.sameAs(&sameText));
    EXPECT_FALSE(text.sameAs(&otherCase));
    EXPECT_FALSE(text.sameAs(&real));
    EXPECT_FALSE(text.sameAs(nullptr));
    EXPECT_TRUE(real.sameAs(&real));
    EXPECT_FALSE(real.sameAs(nullptr));
    EXPECT_TRUE(null.sameAs(nullptr));
    EXPECT_TRUE(null.sameAs(SharedNull().get()));
    EXPECT_TRUE(SharedNull()->sameAs(&null));
    EXPECT_FALSE(null.sameAs(&text));
    EXPECT_FALSE(copyOfTrue.sameAs(SharedTrue().get()));
    EXPECT_TRUE(SharedTrue()->sameAs(SharedTrue().get()));
}

TEST(Values, DuplicateCopiesScalarsOnly) {
    const std::vector<JSONValuePtr> scalars = {std::make_shared<_Boolean>(true), std::make_shared<_String>("x y"),
                                               std::make_shared<_Integer>(31), std::make_shared<_Double>(2.5)};
    for (const JSONValuePtr& value : scalars) {
        SCOPED_TRACE(value->className());
        const JSONValuePtr copy = value->duplicate();
        EXPECT_NE(copy, value);
        EXPECT_STREQ(copy->className(), value->className());
        EXPECT_EQ(copy->toText(), value->toText());
    }
    EXPECT_EQ(messageOf([] { SharedNull()->duplicate(); }), "Rotina N\xE3o Implementada");
    EXPECT_EQ(messageOf([] { TJSONArray("[1]").duplicate(); }), "Rotina N\xE3o Implementada");
}

TEST(Values, SharedConstantsAndClassNames) {
    EXPECT_EQ(SharedTrue(), SharedTrue());
    EXPECT_EQ(SharedTrue()->toText(), "true");
    EXPECT_EQ(SharedFalse()->toText(), "false");
    EXPECT_EQ(SharedNull()->toText(), "null");
    EXPECT_STREQ(SharedNull()->className(), "NULL");
    EXPECT_STREQ(SharedFalse()->className(), "_Boolean");

    struct Plain : TZAbstractObject {};
    Plain plain;
    EXPECT_TRUE(std::regex_match(plain.toText(), std::regex("TZAbstractObject <[0-9A-F]{16}>")));
    EXPECT_TRUE(plain.sameAs(&plain));
    EXPECT_FALSE(plain.sameAs(nullptr));
}

TEST(Cp1252, MapsEveryByteAndBack) {
    for (int byte = 0; byte < 256; ++byte) {
        SCOPED_TRACE(byte);
        const auto b = static_cast<unsigned char>(byte);
        EXPECT_EQ(unicodeToCp1252(cp1252ToUnicode(b)), b);
        EXPECT_EQ(unicodeToCp1252(static_cast<char16_t>(byte)), b); // 8-bit codes read back as written
    }
    EXPECT_EQ(cp1252ToUnicode(0x80), u'\u20AC');
    EXPECT_EQ(cp1252ToUnicode(0x9C), u'\u0153');
    EXPECT_EQ(cp1252ToUnicode(0xE9), u'\u00E9');
    EXPECT_EQ(unicodeToCp1252(u'\u2014'), 0x97);
    EXPECT_EQ(unicodeToCp1252(u'\u4E2D'), '?');
    EXPECT_EQ(unicodeToCp1252(0xD800), '?');
}

TEST(Cp1252, IgnoresCaseOfAccentedLetters) {
    EXPECT_TRUE(sameTextIgnoringCase("S\xC3O Jo\xC3O \x8A\x9F", "s\xE3o jo\xE3o \x9A\xFF"));
    EXPECT_FALSE(sameTextIgnoringCase("\xD7", "\xF7")); // multiplication and division signs
    EXPECT_FALSE(sameTextIgnoringCase("\xDF", "ss"));
    EXPECT_FALSE(sameTextIgnoringCase("ab", "abc"));
    EXPECT_EQ(cp1252Lower(0xC9), 0xE9);
    EXPECT_EQ(cp1252Lower(0x8C), 0x9C);
    EXPECT_EQ(cp1252Lower('1'), '1');
}
