#include "db/SqlText.h"
#include "db/ScriptRunner.h"

#include <gtest/gtest.h>

using vek::db::parseNamedParameters;
using vek::db::splitScript;

TEST(SqlText, NamesAreFoundInAnyCaseAndRepeated) {
    const auto p = parseNamedParameters("select * from t where a = :Prod and b = :PROD or c = :x1");
    EXPECT_EQ(p.text, "select * from t where a = ? and b = ? or c = ?");
    ASSERT_EQ(p.names.size(), 2u);
    EXPECT_EQ(p.names[0], "Prod");
    EXPECT_EQ(p.names[1], "x1");
    EXPECT_EQ(p.markers, (std::vector<std::size_t>{0, 0, 1}));
}

TEST(SqlText, ColonsOutsideParametersAreLeftAlone) {
    struct Case {
        const char* sql;
        const char* text;
        std::size_t params;
    } cases[] = {
        {"select ':A' from t where x = :B", "select ':A' from t where x = ?", 1},
        {"select 'it''s :A' from t", "select 'it''s :A' from t", 0},
        {"select \"col:A\" from t", "select \"col:A\" from t", 0},
        {"select 1 from t -- :A here\nwhere y = :C", "select 1 from t -- :A here\nwhere y = ?", 1},
        {"select /* :A */ 1 from t", "select /* :A */ 1 from t", 0},
        {"select '10:30' from t", "select '10:30' from t", 0},
        {"select x from t where y = :_p$1", "select x from t where y = ?", 1},
        {"select : a from t", "select : a from t", 0},
        // An EXECUTE BLOCK's body is PSQL: its ":X" are variables; only the header binds.
        {"Execute Block (P varchar(6) = :PROG, Q integer = :Q) returns (N integer) as declare X integer; "
         "begin select count(*) from t where a = :P into :X; N = :X + cast(:Q as integer); suspend; end",
         "Execute Block (P varchar(6) = ?, Q integer = ?) returns (N integer) as declare X integer; "
         "begin select count(*) from t where a = :P into :X; N = :X + cast(:Q as integer); suspend; end",
         2},
        {"select 1 as x from t where a = :A", "select 1 as x from t where a = ?", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        const auto p = parseNamedParameters(c.sql);
        EXPECT_EQ(p.text, c.text);
        EXPECT_EQ(p.names.size(), c.params);
    }
}

TEST(SqlText, UnterminatedLiteralDoesNotRunPastTheEnd) {
    const auto p = parseNamedParameters("select 'abc :X");
    EXPECT_EQ(p.text, "select 'abc :X");
    EXPECT_TRUE(p.names.empty());
}

TEST(ScriptSplit, SetTermKeepsBodiesWhole) {
    const auto s = splitScript("-- header comment\n"
                               "create table t (a integer);\n"
                               "SET TERM ^ ;\n"
                               "create procedure p (x integer) as\n"
                               "declare variable y integer;\n"
                               "begin\n"
                               "  y = :x; -- inner ; comment\n"
                               "  insert into t values (:y);\n"
                               "end^\n"
                               "SET TERM ; ^\n"
                               "/* block; comment */\n"
                               "insert into t values (';');\n"
                               "commit;\n"
                               "set sql dialect 3;\n");
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0], "create table t (a integer)");
    EXPECT_NE(s[1].find("insert into t values (:y);\nend"), std::string::npos);
    EXPECT_EQ(s[2], "insert into t values (';')");
    EXPECT_EQ(s[3], "commit");
}
