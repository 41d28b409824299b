#include "json/MessageOf.h"
#include "json/uJSON.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vek::json;

TEST(TJSONObject, ParsesTheLenientFormsAndWritesThemBack) {
    struct Case {
        std::string text;
        std::string written;
    };
    const std::vector<Case> cases = {
        {R"({"a":1})", R"({"a":"1.00"})"},
        {"{a = 'x'; b => 0x1F,}", R"({"a":"x","b":31})"},
        {"/* c */{ // c\n \"a\" /* c */ : # c\n 1 /**/, b:2 /* c */ } /* open", R"({"a":"1.00","b":"2.00"})"},
        {R"({"A":1,"a":2})", R"({"A":"1.00","a":"1.00"})"},
        {R"({"k":"São Paulo"})", R"({"k":"S\u00C3\u00A3o\u0020Paulo"})"}, // this source file is UTF-8
        {"{\"k\":\"S\xE3o Paulo\"}", R"({"k":"S\u00E3o\u0020Paulo"})"},
        {"{true:1}", R"({"true":"1.00"})"},
        {R"({"a":"x"} anything [ at all)", R"({"a":"x"})"},
        {"{7:1}", R"({"\"7.00\"":"1.00"})"},
        {"{ }", "{}"},
        {"{a:null, b:NULL, c:true, d:FALSE, e:0, f:-0.5}",
         R"({"a":null,"b":null,"c":true,"d":false,"e":0,"f":"-0.50"})"},
        {"{a:{b:{}}, c:[1,,2]}", R"({"a":{"b":{}},"c":["1.00",null,"2.00"]})"},
        {R"({"a b":"c/d</e", x : new york })", R"({"a\u0020b":"c/d\u003C\/e","x":"new\u0020york"})"},
        {R"({'q':"it's";"r":'say "hi"';})", R"({"q":"it's","r":"say\u0020\"hi\""})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TJSONObject(c.text).toText(), c.written);
    }
}

TEST(TJSONObject, ParseErrorsTellWhatAndWhere) {
    struct Case {
        std::string text;
        std::string begins;
    };
    const std::vector<Case> cases = {
        {"", R"(A TJSONObject must begin with "{" at character 2)"},
        {"[1]", R"(A TJSONObject must begin with "{" at character 2)"},
        {"{", R"(A TJSONObject must end with "}" at character 3)"},
        {R"({"a",1})", R"(Expected a ":" after a key at character 6)"},
        {R"({"a" 1})", R"(Expected a ":" after a key at character 7)"},
        {R"({"a":1 "b":2})", R"(Expected a "," or "}" at character 9)"},
        {R"({"a":})", "Missing value. at character 6"},
        {R"({"a":"x)", "Unterminated string at character 9"},
        {R"({"k": /* open)", "Unclosed comment. at character 15"},
        {R"({"a":"\u0041)", "Substring bounds error at character 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(failsWith([&] { TJSONObject o(c.text); }, c.begins)) << messageOf([&] { TJSONObject o(c.text); });
    }
    EXPECT_EQ(messageOf([] { TJSONObject o(R"({"a" 1})"); }),
              "Expected a \":\" after a key at character 7 of {\"a\" 1} pr\xF3ximo a : }\n\r erro no caracter : 7");
    EXPECT_THROW(TJSONObject(R"({"a":"\u00G1"})"), std::invalid_argument);
}

TEST(TJSONObject, LookupsMatchKeysIgnoringCase) {
    const TJSONObject o("{\"A\":1,\"a\":2,\"\xC7\":'x'}");
    EXPECT_DOUBLE_EQ(o.requireReal("a"), 1.0);
    EXPECT_EQ(o.lookup("\xE7"), &o.require("\xC7"));
    EXPECT_EQ(o.lookup("b"), nullptr);
    EXPECT_EQ(o.keyList(), (std::vector<std::string>{"A", "a", "\xC7"}));
    EXPECT_EQ(messageOf([&] { o.lookup(""); }), "Null key");
    EXPECT_EQ(messageOf([&] { o.require("a b"); }), "TJSONObject[\"a\\u0020b\"] not found.");
}

TEST(TJSONObject, TypedLookupsConvert) {
    const TJSONObject o(R"({r:12.7, t:"12.7", h:"12.5", h2:"13.5", neg:"-12.5", i:0x1F, big:3e9, bigText:"3e9",
                            b1:true, b2:"FALSE", b3:'True', s:abc, n:null, arr:[1], o:{}})");
    const std::vector<std::pair<std::string, std::int32_t>> integers = {{"r", 12},  {"t", 13},    {"h", 12},
                                                                        {"h2", 14}, {"neg", -12}, {"i", 31}};
    for (const auto& [key, expected] : integers) {
        SCOPED_TRACE(key);
        EXPECT_EQ(o.requireInteger(key), expected);
    }
    EXPECT_DOUBLE_EQ(o.requireReal("t"), 12.7);
    EXPECT_DOUBLE_EQ(o.requireReal("I"), 31.0);
    EXPECT_THROW(o.requireInteger("big"), std::out_of_range);
    EXPECT_THROW(o.requireInteger("bigText"), std::out_of_range);
    EXPECT_THROW(o.requireReal("s"), std::invalid_argument);
    EXPECT_THROW(o.requireInteger("s"), std::invalid_argument);
    EXPECT_EQ(messageOf([&] { o.requireReal("n"); }), "TJSONObject[\"n\"] is not a number.");
    EXPECT_EQ(messageOf([&] { o.requireInteger("b1"); }), "TJSONObject[\"b1\"] is not a number.");

    EXPECT_TRUE(o.requireBoolean("b1"));
    EXPECT_FALSE(o.requireBoolean("b2"));
    EXPECT_TRUE(o.requireBoolean("b3"));
    EXPECT_EQ(messageOf([&] { o.requireBoolean("s"); }), "TJSONObject[\"s\"] is not a Boolean.");
    EXPECT_EQ(messageOf([&] { o.requireBoolean("r"); }), "TJSONObject[\"r\"] is not a Boolean.");

    const std::vector<std::pair<std::string, std::string>> texts = {
        {"r", "\"12.70\""}, {"t", "12.7"},         {"i", "31"}, {"b1", "true"},
        {"n", "null"},      {"arr", "[\"1.00\"]"}, {"o", "{}"}};
    for (const auto& [key, expected] : texts) {
        SCOPED_TRACE(key);
        EXPECT_EQ(o.requireText(key), expected);
    }
    EXPECT_EQ(messageOf([&] { o.requireText("zz"); }), "TJSONObject[\"zz\"] not found.");

    EXPECT_EQ(o.requireArray("ARR").count(), 1);
    EXPECT_EQ(messageOf([&] { o.requireArray("s"); }), "TJSONObject[\"s\"] is not a TJSONArray.");
    EXPECT_EQ(messageOf([&] { o.requireArray("zz"); }), "TJSONObject[\"zz\"] is not a TJSONArray.");
}

TEST(TJSONObject, BuildsTheRefreshRequest) {
    TJSONObject o;
    o.putText("username", "op\xE9").putText("group", "").putText("database", "3").putText("computer", "PC-01");
    o.putInteger("system", 5).putText("info", "v 1.0");
    EXPECT_EQ(o.toText(), R"({"username":"op\u00E9","group":"","database":"3","computer":"PC-01","system":5,)"
                          R"("info":"v\u00201.0"})");
    EXPECT_EQ(messageOf([&] { o.putText("", "x"); }), "Null key.");
    EXPECT_EQ(messageOf([&] { o.putValue("", nullptr); }), "Null key.");
}

TEST(TJSONObject, PutReplacesInPlaceAndRemoves) {
    TJSONObject o("{a:1, b:2, A:3}");
    o.putText("A", "x");
    EXPECT_EQ(o.toText(), R"({"a":"x","b":"2.00","A":"x"})");
    o.putValue("b", nullptr);
    EXPECT_EQ(o.toText(), R"({"a":"x","A":"x"})");
    const JSONValuePtr removed = o.removeKey("a");
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(removed->toText(), "x");
    EXPECT_EQ(o.toText(), R"({"A":"3.00"})");
    EXPECT_EQ(o.removeKey("zz"), nullptr);
    o.putValue("new", SharedTrue());
    EXPECT_EQ(o.toText(), R"({"A":"3.00","new":true})");
    o.putValue("copy", SharedFalse()->duplicate()); // a Boolean, though not the shared one
    EXPECT_FALSE(o.requireBoolean("copy"));
}

TEST(TJSONObject, OwnsItsValuesButNeverTheSharedConstants) {
    const long trueUses = SharedTrue().use_count();
    std::weak_ptr<TZAbstractObject> replaced;
    std::weak_ptr<TZAbstractObject> kept;
    {
        TJSONObject o("{true:1, a:true, b:TRUE, c:null}");
        EXPECT_EQ(o.lookup("a"), SharedTrue().get());
        auto value = std::make_shared<_String>("v");
        replaced = value;
        o.putValue("k", value);
        value.reset();
        o.putText("k", "w");
        EXPECT_TRUE(replaced.expired());

        auto own = std::make_shared<_String>("own");
        kept = own;
        o.putValue("m", own);
        o.putValue("M", own); // the member's own value again
        own.reset();
        EXPECT_FALSE(kept.expired());
        EXPECT_EQ(o.requireText("m"), "own");
    }
    EXPECT_TRUE(kept.expired());
    EXPECT_EQ(SharedTrue().use_count(), trueUses);
    EXPECT_EQ(SharedTrue()->toText(), "true");
}

TEST(TJSONObject, DuplicateParsesItsOwnText) {
    const TJSONObject o("{a:1.5, b:[x], c:{d:0}}");
    const JSONValuePtr copy = o.duplicate();
    const auto& object = dynamic_cast<const TJSONObject&>(*copy);
    EXPECT_NE(&object, &o);
    EXPECT_STREQ(object.require("a").className(), "_String");
    EXPECT_EQ(object.requireText("a"), "1.50");
    EXPECT_EQ(object.toText(), o.toText());
}

TEST(TJSONObject, QuoteTextEscapesAllButTheSafeCharacters) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", R"("")"},
        {"a</b", R"("a\u003C\/b")"},
        {"/x/", R"("/x/")"},
        {"AZaz09@!$'()*-._", R"("AZaz09@!$'()*-._")"},
        {" #%&+,:;<=>?[]^{|}~`", R"("\u0020\u0023\u0025\u0026\u002B\u002C\u003A\u003B\u003C\u003D)"
                                 R"(\u003E\u003F\u005B\u005D\u005E\u007B\u007C\u007D\u007E\u0060")"},
        {"\b\t\n\f\r\"\\", R"("\b\t\n\f\r\"\\")"},
        {std::string("\x01\x7F\x80\xE9\xFF\0", 6), R"("\u0001\u007F\u0080\u00E9\u00FF\u0000")"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(TJSONObject::quoteText(text), expected);
    }
    const _NULL null;
    EXPECT_EQ(TJSONObject::valueText(nullptr), "null");
    EXPECT_EQ(TJSONObject::valueText(&null), "null");
    EXPECT_EQ(TJSONObject::valueText(SharedFalse().get()), "false");
    EXPECT_EQ(TJSONObject::valueText(std::make_shared<_Integer>(-5).get()), "-5");
    EXPECT_EQ(TJSONObject::valueText(std::make_shared<_String>("null").get()), R"("null")");
}

TEST(TJSONObject, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    TJSONObject o;
    o.putText(all, all);
    const TJSONObject back(o.toText());
    EXPECT_EQ(back.keyList(), std::vector<std::string>{all});
    EXPECT_EQ(back.requireText(all), all);
}

TEST(TJSONObject, LargeObjectsWriteTheFirstMatchToo) {
    std::string text = "{";
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        text.append("k").append(n).append(":").append(n).append(",");
    }
    text += "K5:'dup', \xC9:1, \xE9:2}";
    const std::string written = TJSONObject(text).toText();
    EXPECT_NE(written.find(R"("k39":"39.00","K5":"5.00","\u00C9":"1.00","\u00E9":"1.00"})"), std::string::npos);
    EXPECT_EQ(TJSONObject(written).toText(), written);
}
