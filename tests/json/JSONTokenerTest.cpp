#include "json/MessageOf.h"
#include "json/uJSON.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vek::json;

TEST(JSONTokener, PositionStartsAtOneAndReadsNulOnePastTheEnd) {
    JSONTokener x("ab");
    EXPECT_EQ(x.position(), 1U);
    EXPECT_EQ(x.nextChar(), 'a');
    EXPECT_EQ(x.nextChar(), 'b');
    EXPECT_TRUE(x.hasMore());
    EXPECT_EQ(x.nextChar(), '\0');
    EXPECT_EQ(x.position(), 4U);
    EXPECT_FALSE(x.hasMore());
    EXPECT_EQ(x.nextChar(), '\0');
    EXPECT_EQ(x.position(), 4U);
    for (int i = 0; i < 6; ++i) {
        x.stepBack();
    }
    EXPECT_EQ(x.position(), 1U);
    EXPECT_EQ(x.toText(), " at character 1 of ab");
}

TEST(JSONTokener, NextCharsNeedsOneCharacterAfterThem) {
    JSONTokener x("abcd");
    EXPECT_EQ(x.nextChars(3), "abc");
    EXPECT_EQ(x.position(), 4U);
    JSONTokener y("abcd");
    EXPECT_TRUE(failsWith([&] { y.nextChars(4); }, "Substring bounds error at character 1 of abcd"));
}

TEST(JSONTokener, NextSignificantSkipsBlanksAndComments) {
    struct Case {
        std::string text;
        char expected;
        char after; // what nextChar gives next
    };
    const std::vector<Case> cases = {
        {"  \t\r\n x", 'x', '\0'},
        {"/* a * b **/y,", 'y', ','},
        {"// to the end\rz", 'z', '\0'},
        {"# to the end\nw", 'w', '\0'},
        {"/x", '/', 'x'},
        {"/", '/', '\0'},
        {"\x01\x1F\x7F", '\x7F', '\0'},
        {"\xE9", '\xE9', '\0'},
        {"  // only a comment", '\0', '\0'},
        {"", '\0', '\0'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        JSONTokener x(c.text);
        EXPECT_EQ(x.nextSignificant(), c.expected);
        EXPECT_EQ(x.nextChar(), c.after);
    }
    JSONTokener open("  /* never closed");
    EXPECT_TRUE(failsWith([&] { open.nextSignificant(); }, "Unclosed comment. at character "));
}

TEST(JSONTokener, ReadQuotedDecodesEscapes) {
    struct Case {
        std::string text; // after the opening quote
        char quote;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"abc\"rest", '"', "abc"},
        {"it's\"", '"', "it's"},
        {"say \"hi\"'", '\'', "say \"hi\""},
        {"\\b\\t\\n\\f\\r\"", '"', "\b\t\n\f\r"},
        {"\\\"\\'\\\\\\/\\q\"", '"', "\"'\\/q"},
        {"\\u0041\"", '"', "A"},
        {"S\\u00e3o\"", '"', "S\xE3o"},
        {"\\u20AC\\u0080\\u201C\"", '"', "\x80\x80\x93"},
        {"\\u4E2D\"", '"', "?"},
        {std::string("a\\\0\"", 4), '"', std::string("a\0", 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        JSONTokener x(c.text);
        EXPECT_EQ(x.readQuoted(c.quote), c.expected);
    }

    const std::vector<std::string> unterminated = {"abc", "ab\ncd\"", "ab\rcd\"", "\\"};
    for (const std::string& text : unterminated) {
        SCOPED_TRACE(text);
        JSONTokener x(text);
        EXPECT_TRUE(failsWith([&] { x.readQuoted('"'); }, "Unterminated string at character "));
    }
    JSONTokener last("\\u0041");
    EXPECT_TRUE(failsWith([&] { last.readQuoted('"'); }, "Substring bounds error"));
    JSONTokener badHex("\\u00G1\"");
    EXPECT_THROW(badHex.readQuoted('"'), std::invalid_argument);
}

TEST(JSONTokener, ReadValueTellsNumbersWordsAndConstants) {
    struct Case {
        std::string text;
        std::string className;
        std::string text_;
    };
    const std::vector<Case> cases = {
        {"15", "_Double", "\"15.00\""},
        {"-3", "_Double", "\"-3.00\""},
        {"+2.5", "_Double", "\"2.50\""},
        {".5", "_Double", "\"0.50\""},
        {"0.25", "_Double", "\"0.25\""},
        {"1e3", "_Double", "\"1000.00\""},
        {"007", "_Double", "\"7.00\""},
        {"0", "_Integer", "0"},
        {"0x1F", "_Integer", "31"},
        {"0X1f", "_Integer", "31"},
        {"0xFFFFFFFF", "_Integer", "-1"},
        {"0x100000001", "_Integer", "1"},
        {"0x", "_String", "0x"},
        {"0xG1", "_String", "0xG1"},
        {"12ab", "_String", "12ab"},
        {"1.2.3", "_String", "1.2.3"},
        {"-", "_String", "-"},
        {"1e400", "_String", "1e400"},
        {"  new york  ,", "_String", "new york"},
        {"S\xE3o=1", "_String", "S\xE3o"},
        {"'single'", "_String", "single"},
        {"\"double\"", "_String", "double"},
        {"{}", "TJSONObject", "{}"},
        {"[]", "TJSONArray", "[]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        JSONTokener x(c.text);
        const JSONValuePtr value = x.readValue();
        EXPECT_STREQ(value->className(), c.className.c_str());
        EXPECT_EQ(value->toText(), c.text_);
    }

    JSONTokener words("TRUE,False;nULL]");
    EXPECT_EQ(words.readValue(), SharedTrue());
    EXPECT_EQ(words.nextChar(), ',');
    EXPECT_EQ(words.readValue(), SharedFalse());
    EXPECT_EQ(words.nextChar(), ';');
    EXPECT_EQ(words.readValue(), SharedNull());
    EXPECT_EQ(words.nextChar(), ']');

    for (const std::string text : {"", "   ", "}", ",", ":x", "/x"}) {
        SCOPED_TRACE(text);
        JSONTokener x(text);
        EXPECT_TRUE(failsWith([&] { x.readValue(); }, "Missing value. at character "));
    }
}

TEST(JSONTokener, ParseErrorTellsPositionAndNeighbourhood) {
    JSONTokener x("abcdefghijklmnop %s %d");
    x.nextChars(3);
    EXPECT_EQ(std::string(x.parseError("Oops").what()),
              "Oops at character 4 of abcdefghijklmnop %s %d pr\xF3ximo a : defghijklm\n\r erro no caracter : 4");

    JSONTokener end("ab");
    while (end.hasMore()) {
        end.nextChar();
    }
    EXPECT_EQ(std::string(end.parseError("End").what()),
              "End at character 4 of ab pr\xF3ximo a : \n\r erro no caracter : 4");
}

TEST(JSONTokener, NestingIsBounded) {
    const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    // The outermost array is parsed directly, the inner ones through readValue.
    EXPECT_EQ(TJSONArray(nested(JSONTokener::kMaxNesting + 1)).count(), 1);
    EXPECT_TRUE(failsWith([&] { TJSONArray a(nested(JSONTokener::kMaxNesting + 2)); }, "Nesting too deep."));
    EXPECT_TRUE(failsWith([&] { TJSONObject o(std::string(100000, '[')); }, "A TJSONObject must begin"));
    EXPECT_TRUE(failsWith([&] { TJSONObject o("{a:" + std::string(100000, '{')); }, "Nesting too deep."));

    // Keys that are objects are written into text again at every level.
    EXPECT_EQ(TJSONObject("{{[{x:1}]:1}:1}").keyList().front(),
              R"({"\u005B\u007B\"x\"\u003A\"1.00\"\u007D\u005D":"1.00"})");
    EXPECT_TRUE(failsWith([] { TJSONObject o("{{{{x:1}:1}:1}:1}"); }, "Nesting too deep. at character 4"));
    EXPECT_TRUE(failsWith([] { TJSONObject o(std::string(40, '{')); }, "Nesting too deep."));
}

TEST(JSONTokener, CannotBeDuplicated) {
    JSONTokener x("{}");
    EXPECT_EQ(messageOf([&] { x.duplicate(); }), "Rotina N\xE3o Implementada");
}
