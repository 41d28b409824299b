#include "json/MessageOf.h"
#include "json/uJSON.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vek::json;

TEST(TJSONArray, ParsesSlotsAndSeparators) {
    struct Case {
        std::string text;
        int count;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"[1,,2]", 3, R"(["1.00",null,"2.00"])"},
        {"[,1]", 2, R"([null,"1.00"])"},
        {"[1,]", 1, R"(["1.00"])"},
        {"[,]", 1, "[null]"},
        {"[ /* empty */ ]", 0, "[]"},
        {"[a;b;]", 2, R"(["a","b"])"},
        {"[null, 0, 0x10, true, 'x', [], {}] trailing", 7, R"([null,0,16,true,"x",[],{}])"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const TJSONArray a(c.text);
        EXPECT_EQ(a.count(), c.count);
        EXPECT_EQ(a.toText(), c.written);
    }

    const std::vector<std::pair<std::string, std::string>> errors = {
        {"", R"(A TJSONArray must start with "[" at character 2)"},
        {"{}", R"(A TJSONArray must start with "[" at character 2)"},
        {"[1", R"(Expected a "," or "]" at character 4)"},
        {"[1:2]", R"(Expected a "," or "]" at character 4)"},
        {"[;]", "Missing value. at character 2"},
        {"[", "Missing value. at character 2"},
    };
    for (const auto& error : errors) {
        SCOPED_TRACE(error.first);
        const auto parse = [&] { TJSONArray a(error.first); };
        EXPECT_TRUE(failsWith(parse, error.second)) << messageOf(parse);
    }
}

TEST(TJSONArray, ElementsByIndex) {
    const TJSONArray a(R"([1,,"x",{"k":1}])");
    EXPECT_EQ(a.elementOrNone(1), nullptr);
    EXPECT_EQ(a.elementOrNone(-1), nullptr);
    EXPECT_EQ(a.elementOrNone(4), nullptr);
    EXPECT_EQ(a.element(2).toText(), "x");
    EXPECT_DOUBLE_EQ(a.objectAt(3).requireReal("K"), 1.0);
    EXPECT_EQ(messageOf([&] { a.element(1); }), "TJSONArray[1] not found.");
    EXPECT_EQ(messageOf([&] { a.element(5); }), "TJSONArray[5] not found.");
    EXPECT_EQ(messageOf([&] { a.element(-1); }), "TJSONArray[-1] not found.");

    const TJSONArray kinds(R"(["x", 1, 0, true, null, [], 0x1])");
    const std::vector<std::string> names = {"_String", "_Double",    "_Integer", "_Boolean",
                                            "NULL",    "TJSONArray", "_Integer"};
    for (int i = 0; i < kinds.count(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(messageOf([&] { kinds.objectAt(i); }), "TJSONArray[" + std::to_string(i) +
                                                             "] is not a TJSONObject is " +
                                                             names[static_cast<std::size_t>(i)]);
    }
}

TEST(TJSONArray, JoinedWritesEveryValue) {
    const TJSONArray a("[1, 'a b', , true, null, [2]]");
    EXPECT_EQ(a.joined(" | "), R"("1.00" | "a\u0020b" | null | true | null | ["2.00"])");
    EXPECT_EQ(TJSONArray("[]").joined(","), "");
}

TEST(TJSONArray, ReadsAnAccessServerAnswer) {
    const TJSONArray answer(R"([
        {"codigo": 1, "nome": "Cal\u00E7ados Vale", "bancos": [
            {"id": 10, "host": "srv01:/dados/vek.fdb", "password": "s3", "type": "PRODUCAO",
             "description": "Produ\u00E7\u00E3o", "parent": 0},
            {"id": 11, "host": "srv01:/dados/cat.fdb", "password": "s4", "type": "CATALOGO",
             "description": "Cat\u00E1logo", "parent": 10}]},
        {"codigo": "2", "nome": "Filial", "bancos": []}
    ])");
    ASSERT_EQ(answer.count(), 2);
    const TJSONObject& first = answer.objectAt(0);
    EXPECT_EQ(first.requireInteger("codigo"), 1);
    EXPECT_EQ(first.requireText("nome"), "Cal\xE7"
                                         "ados Vale");
    const TJSONArray& bancos = first.requireArray("bancos");
    ASSERT_EQ(bancos.count(), 2);
    EXPECT_EQ(bancos.objectAt(1).requireInteger("parent"), 10);
    EXPECT_EQ(bancos.objectAt(1).requireText("description"), "Cat\xE1logo");
    EXPECT_EQ(bancos.objectAt(0).requireText("host"), "srv01:/dados/vek.fdb");
    EXPECT_EQ(answer.objectAt(1).requireInteger("codigo"), 2);
    EXPECT_EQ(answer.objectAt(1).requireArray("bancos").count(), 0);
}
