// Statements of queries that went away stay prepared for the next query of the same text.
#include "db/StatementPool.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "support/Box.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

using namespace vek;
using vek::test::Box;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

const char* const kSelect = "select count(*) as N from CODCXUNIT where PROG_CX = :PROG";

int countFor(db::Connection& c, const std::string& prog) {
    db::Query q(c);
    q.setSql(kSelect);
    q.param("PROG").setString(prog);
    q.open();
    return q.field("N").asInt();
}

TEST(StatementPool, AQueryOfTheSameTextTakesTheKeptStatementAndGetsItsOwnResults) {
    TestDb db(Schema::Main);
    db.exec(Box(1).prog("000001").ficha("0001").sql());
    db.exec(Box(2).prog("000002").ficha("0001").sql());
    db.exec(Box(3).prog("000002").ficha("0001").sql());
    auto c = db.connect();
    EXPECT_EQ(countFor(*c, "000001"), 1);
    EXPECT_EQ(c->statementPool().size(), 1u) << "kept when its query went away";
    EXPECT_EQ(countFor(*c, "000002"), 2) << "new parameters, new result";
    EXPECT_EQ(c->statementPool().size(), 1u) << "taken and given back: one statement for the text";

    // Two live queries of one text never share a statement.
    db::Query a(*c), b(*c);
    a.setSql(kSelect);
    b.setSql(kSelect);
    a.param("PROG").setString("000001");
    b.param("PROG").setString("000002");
    a.open();
    b.open();
    EXPECT_EQ(a.field("N").asInt(), 1);
    EXPECT_EQ(b.field("N").asInt(), 2);
    EXPECT_EQ(c->statementPool().size(), 0u);

    // A statement set aside by a new text is kept too; closing the connection frees them all.
    a.setSql("select 1 as ONE from RDB$DATABASE");
    EXPECT_EQ(c->statementPool().size(), 1u);
    c->close();
    EXPECT_EQ(c->statementPool().size(), 0u);
    EXPECT_EQ(countFor(*c, "000002"), 2) << "prepared again after reopening";
}

TEST(StatementPool, AFailedStatementIsNotKeptAndThePoolIsBounded) {
    TestDb db(Schema::Main);
    auto c = db.connect();
    {
        db::Query q(*c);
        q.setSql("insert into CODCXUNIT (CODIGO_CX, PROG_CX) values (:C, :P)");
        q.param("C").setInt(1);
        q.param("P").setString("000001");
        q.execSql();
        EXPECT_THROW(q.execSql(), db::DbError) << "the same key twice";
    }
    EXPECT_EQ(c->statementPool().size(), 0u);
    for (std::size_t i = 0; i < db::StatementPool::kMaxStatements + 10; ++i) {
        db::Query q(*c);
        q.setSql("select " + std::to_string(i) + " as N from RDB$DATABASE");
        q.open();
        EXPECT_EQ(q.field("N").asInt(), static_cast<int>(i));
    }
    EXPECT_EQ(c->statementPool().size(), db::StatementPool::kMaxStatements);
}

} // namespace
