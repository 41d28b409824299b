// Every statement the station sends must be accepted by the reference schema, so that schema and
// code cannot drift apart.
#include "db/DbError.h"
#include "db/Query.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

using namespace vek;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

struct Statement {
    std::string db, name, sql;
    bool rejected = false;
};

std::vector<Statement> readStatements() {
    std::ifstream in(vek::test::sourceDir() + "/tests/db/quoted_statements.sql", std::ios::binary);
    std::vector<Statement> out;
    Statement cur;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("-- ", 0) == 0 && cur.db.empty()) {
            std::istringstream words(line.substr(3));
            std::string marker;
            words >> cur.db >> cur.name >> marker;
            cur.rejected = marker == "REJECTED";
        } else if (line == ";;") {
            while (!cur.sql.empty() && cur.sql.back() == '\n') cur.sql.pop_back();
            out.push_back(cur);
            cur = Statement{};
        } else if (!cur.db.empty()) {
            cur.sql += line + "\n";
        }
    }
    return out;
}

TEST(Schema, EveryStatementOfTheStationPrepares) {
    const auto statements = readStatements();
    ASSERT_GT(statements.size(), 50u);
    std::map<std::string, std::unique_ptr<TestDb>> dbs;
    dbs["main"] = std::make_unique<TestDb>(Schema::Main);
    dbs["catalogue"] = std::make_unique<TestDb>(Schema::Catalogue);
    dbs["access"] = std::make_unique<TestDb>(Schema::Access);
    std::map<std::string, std::unique_ptr<db::Connection>> cons;
    for (auto& [name, d] : dbs) cons[name] = d->connect();

    int rejected = 0;
    for (const Statement& s : statements) {
        SCOPED_TRACE(s.db + " " + s.name + "\n" + s.sql);
        ASSERT_TRUE(cons.count(s.db)) << "unknown database " << s.db;
        db::Query q(*cons[s.db], s.name);
        q.setSql(s.sql);
        if (s.rejected) {
            ++rejected;
            EXPECT_THROW(q.prepare(), db::DbError);
        } else {
            EXPECT_NO_THROW(q.prepare());
        }
    }
    EXPECT_EQ(rejected, 1);
}

TEST(Schema, NumberingTriggersAndAuditProcedure) {
    TestDb d(Schema::Main);
    auto c = d.connect();
    db::Query ins(*c);
    ins.setSql("insert into PRODUCAO_SETOR (ID_PS, PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS) "
               "values (0, '000123', '0001', '0000', '10')");
    ins.execSql();
    ins.execSql();
    db::Query q(*c);
    q.setSql("select min(ID_PS) as A, max(ID_PS) as B from PRODUCAO_SETOR");
    q.open();
    EXPECT_GT(q.field("A").asInt(), 0);
    EXPECT_NE(q.field("A").asInt(), q.field("B").asInt());

    db::Query log(*c);
    log.setSql("execute procedure GRAVALOG(:CHAVE, :ARQ, :CAMPO, :USUARIO, :DATA, :VRANT, :VRATU)");
    log.param("CHAVE").setString("1|2");
    log.param("ARQ").setString("PRODUCAO_SETOR");
    log.param("CAMPO").setString("QTDE_PS");
    log.param("USUARIO").setString("QUILBAR");
    log.param("DATA").setDateTime(DateTime::fromDate(2024, 5, 6));
    log.param("VRANT").setNull();
    log.param("VRATU").setString("9");
    log.execSql();
    db::Query n(*c);
    n.setSql("select count(*) as N from LOG");
    n.open();
    EXPECT_EQ(n.field("N").asInt(), 1);
    const auto first = c->nextGeneratorValue("ID_PRODUCAO_SETOR_CXUNIT");
    EXPECT_EQ(c->nextGeneratorValue("ID_PRODUCAO_SETOR_CXUNIT"), first + 1);
}

} // namespace
