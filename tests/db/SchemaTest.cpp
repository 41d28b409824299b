// What the reference schema gives the station beyond its tables: numbering triggers, the audit
// procedure and the generators.
#include "db/Query.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

using namespace vek;
using vek::test::Schema;
using vek::test::TestDb;

namespace {

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
