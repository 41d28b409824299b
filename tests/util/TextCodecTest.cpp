#include "util/TextCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace vek {
namespace {

// Built unit by unit, so that lone surrogates reach the codec as they are.
QString fromUnits(const char16_t* units) {
    return QString(reinterpret_cast<const QChar*>(units),
                   static_cast<qsizetype>(std::char_traits<char16_t>::length(units)));
}

TEST(TextCodecTest, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const QString text = toQString(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(fromQString(text), all);
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(text.at(b).unicode(), unicodeOfByte(static_cast<unsigned char>(b))) << b;
    }
}

TEST(TextCodecTest, BothWays) {
    struct Row {
        const char* bytes;
        const char16_t* text;
    };
    const Row rows[] = {
        {"Produ\xE7\xE3o", u"Produção"},
        {"\xC7"
         "ODIGO S\xC3O Caf\xE9",
         u"ÇODIGO SÃO Café"},
        {"\x80 10", u"€ 10"},
        {"\x93"
         "a\x94 \x91"
         "b\x92",
         u"\u201Ca\u201D \u2018b\u2019"},
        {"\x85\x96\x97\x99\x8A\x9C\x9F", u"\u2026\u2013\u2014\u2122ŠœŸ"},
        {"\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},
        {"\xA0\xFF", u"\u00A0ÿ"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bytes);
        EXPECT_EQ(toQString(r.bytes), fromUnits(r.text));
        EXPECT_EQ(fromQString(fromUnits(r.text)), std::string(r.bytes));
    }
    EXPECT_EQ(fromQString(toQString(std::string("a\0b", 3))), std::string("a\0b", 3));
}

TEST(TextCodecTest, UnrepresentableCharactersBecomeQuestionMarks) {
    struct Row {
        const char16_t* text;
        const char* bytes;
    };
    const Row rows[] = {
        {u"\u0100\u4E2D", "??"},
        {u"\u0080\u0082\u009F", "???"}, // C1 controls whose bytes stand for other characters
        {u"x\U0001F600y", "x?y"},       // outside the basic plane: one '?', not two
        {u"\xD800z\xDC00", "?z?"},      // lone surrogates
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bytes);
        EXPECT_EQ(fromQString(fromUnits(r.text)), std::string(r.bytes));
    }
    EXPECT_EQ(byteOfUnicode(0x1F600), '?');
}

} // namespace
} // namespace vek
