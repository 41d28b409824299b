#include "db/Provider.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/MemTable.h"
#include "db/Query.h"
#include "support/TestDb.h"
#include "support/Thrown.h"

#include <gtest/gtest.h>

using namespace vek;
using namespace vek::db;
using vek::test::Schema;
using vek::test::TestDb;
using vek::test::thrown;

namespace {

class ProviderDb : public ::testing::Test {
protected:
    void SetUp() override {
        m_db.exec("create table SETOR (COD_SE char(2) not null primary key, NOME_SE varchar(30));"
                  "create table PS (ID_PS integer not null primary key, PROG_PS char(6), SETOR_PS char(2), "
                  "QTDE_PS integer, VAL_PS numeric(15,3), DT_PS date, TS_PS timestamp, OBS_PS varchar(20), "
                  "TIPO_PS char(1) default 'U', BL_PS blob sub_type 0);");
        m_db.exec("insert into SETOR values ('10', 'Corte');"
                  "insert into PS (ID_PS, PROG_PS, SETOR_PS, QTDE_PS, VAL_PS, DT_PS, TS_PS, OBS_PS) "
                  "values (1, '000123', '10', 4, 1.5, '2024-03-05', '2024-03-05 17:45:12', 'um');"
                  "insert into PS (ID_PS, PROG_PS, SETOR_PS, QTDE_PS) values (2, '000124', '10', 7);");
        m_conn = m_db.connect();
        m_query = std::make_unique<Query>(*m_conn, "sqlProdSetor");
        m_provider = std::make_unique<Provider>(*m_query, "dspProdSetor");
        m_cds.setProvider(m_provider.get());
    }

    void openAll(const std::string& sql = "select * from PS order by ID_PS") {
        m_query->setSql(sql);
        m_cds.open();
    }

    std::string row(Connection& c, int id) {
        Query q(c);
        q.setSql("select PROG_PS, QTDE_PS, OBS_PS, TIPO_PS from PS where ID_PS = :ID");
        q.param("ID").setInt(id);
        q.open();
        if (q.eof()) {
            return "missing";
        }
        return q.field("PROG_PS").asString() + "|" + q.field("QTDE_PS").asString() + "|" +
               q.field("OBS_PS").asString() + "|" + q.field("TIPO_PS").asString();
    }

    TestDb m_db{Schema::Empty};
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<Query> m_query;
    std::unique_ptr<Provider> m_provider;
    MemTable m_cds{"cdsProdSetor"};
};

TEST_F(ProviderDb, FillsFieldsAndRowsFromTheQuery) {
    m_cds.addFieldDef(FieldDef::real("QTDE_NOVO_LANC"));
    m_cds.addFieldDef(FieldDef::text("qtde_ps", 0).withLabel("Quantidade").withFormat("###,000"));
    openAll();

    ASSERT_EQ(m_cds.fields().size(), 11u);
    const FieldDef& prog = m_cds.field("PROG_PS");
    EXPECT_EQ(prog.type, FieldType::String);
    EXPECT_EQ(prog.size, 6);
    EXPECT_EQ(prog.relation, "PS");
    EXPECT_EQ(prog.column, "PROG_PS");
    EXPECT_EQ(m_cds.field("QTDE_PS").type, FieldType::Integer) << "a definition of a column only shows it";
    EXPECT_EQ(m_cds.field("QTDE_PS").caption(), "Quantidade");
    EXPECT_EQ(m_cds.field("VAL_PS").type, FieldType::Decimal);
    EXPECT_EQ(m_cds.field("VAL_PS").scale, 3);
    EXPECT_EQ(m_cds.field("DT_PS").type, FieldType::DateTime);
    EXPECT_EQ(m_cds.field("BL_PS").type, FieldType::Blob);
    EXPECT_EQ(m_cds.fields().back().name, "QTDE_NOVO_LANC");
    EXPECT_TRUE(m_cds.fields().back().relation.empty());

    EXPECT_EQ(m_cds.recordCount(), 2);
    EXPECT_EQ(m_cds.value("PROG_PS").asString(), "000123");
    EXPECT_EQ(m_cds.value("VAL_PS"), Value(Decimal{1500, 3}));
    EXPECT_EQ(m_cds.value("TS_PS").asDateTime(), DateTime::fromDateTime(2024, 3, 5, 17, 45, 12));
    EXPECT_EQ(m_cds.displayText(0, m_cds.fieldIndex("QTDE_PS")), "004");
    m_cds.next();
    EXPECT_TRUE(m_cds.value("OBS_PS").isNull());
    EXPECT_FALSE(m_query->isActive()) << "the query is closed once its rows are taken";

    m_cds.edit();
    m_cds.setValue("QTDE_NOVO_LANC", 2.5);
    m_cds.post();
    EXPECT_EQ(m_cds.applyChanges(), 0) << "a field that lives in memory is never written";
}

TEST_F(ProviderDb, AppliesInsertsUpdatesAndDeletes) {
    openAll();
    m_cds.append();
    m_cds.setValue("ID_PS", 3);
    m_cds.setValue("PROG_PS", "000125");
    m_cds.setValue("OBS_PS", Value());
    m_cds.post();

    ASSERT_TRUE(m_cds.locate("ID_PS", {Value(1)}));
    m_cds.edit();
    m_cds.setValue("QTDE_PS", 5);
    m_cds.setValue("OBS_PS", "um"); // the same value: not written
    m_cds.post();
    ASSERT_TRUE(m_cds.locate("ID_PS", {Value(2)}));
    m_cds.edit();
    m_cds.setValue("OBS_PS", "dois"); // a row with nulls is found by IS NULL
    m_cds.post();

    auto other = m_db.connect();
    EXPECT_EQ(m_cds.applyChanges(), 3);
    EXPECT_EQ(m_cds.changeCount(), 0) << "the log is merged";
    EXPECT_EQ(row(*other, 3), "000125|||U") << "columns not given a value are left to the database";
    EXPECT_EQ(row(*other, 1), "000123|5|um|U");
    EXPECT_EQ(row(*other, 2), "000124|7|dois|U");

    m_cds.first();
    m_cds.deleteRecord();
    EXPECT_EQ(m_cds.applyChanges(), 1);
    EXPECT_EQ(row(*other, 1), "missing");
    EXPECT_EQ(m_cds.applyChanges(), 0);
}

TEST_F(ProviderDb, RowChangedMeanwhileIsAnErrorAndStaysPending) {
    openAll();
    auto other = m_db.connect();
    Query change(*other);
    change.setSql("update PS set OBS_PS = 'outro' where ID_PS = 1");
    change.execSql();

    m_cds.edit(); // on ID 1, as read before the change
    m_cds.setValue("QTDE_PS", 99);
    m_cds.post();
    const auto notFound = thrown<DbError>([&] { m_cds.applyChanges(); });
    ASSERT_TRUE(notFound) << "an update that finds no row must raise";
    EXPECT_NE(std::string(notFound->what()).find("not found"), std::string::npos) << notFound->what();
    EXPECT_EQ(m_cds.changeCount(), 1) << "the change stays pending";
    EXPECT_EQ(row(*other, 1), "000123|4|outro|U");
    EXPECT_FALSE(m_conn->inTransaction());

    m_cds.close();
    openAll();
    m_cds.last();
    m_cds.deleteRecord(); // ID 2, deleted meanwhile
    change.setSql("delete from PS where ID_PS = 2");
    change.execSql();
    EXPECT_THROW(m_cds.applyChanges(), DbError);
    EXPECT_EQ(m_cds.changeCount(), 1);
}

TEST_F(ProviderDb, RefusedRowRaisesTheServersTextAndWritesNothing) {
    openAll();
    m_cds.append();
    m_cds.setValue("ID_PS", 10);
    m_cds.post();
    m_cds.append();
    m_cds.setValue("ID_PS", 1); // the key exists
    m_cds.post();
    const auto refused = thrown<DbError>([&] { m_cds.applyChanges(); });
    ASSERT_TRUE(refused) << "a refused row must raise";
    EXPECT_NE(std::string(refused->what()).find("PRIMARY or UNIQUE KEY"), std::string::npos) << refused->what();
    EXPECT_FALSE(m_conn->inTransaction()) << "its own transaction rolled back";
    EXPECT_EQ(row(*m_db.connect(), 10), "missing") << "the apply is one unit of work";
    EXPECT_EQ(m_cds.changeCount(), 2);
}

TEST_F(ProviderDb, JoinsTheCallersTransaction) {
    openAll();
    m_cds.append();
    m_cds.setValue("ID_PS", 4);
    m_cds.post();
    m_conn->startTransaction();
    m_cds.applyChanges();
    EXPECT_TRUE(m_conn->inTransaction()) << "not committed by the apply";
    m_conn->rollback();
    EXPECT_EQ(row(*m_db.connect(), 4), "missing");
}

TEST_F(ProviderDb, WritesOnlyTheTableReadAndEveryTypeCompares) {
    openAll("select P.*, S.NOME_SE as NOME_SETOR from PS P left join SETOR S on S.COD_SE = P.SETOR_PS "
            "where P.ID_PS = 1");
    EXPECT_EQ(m_cds.field("NOME_SETOR").relation, "SETOR");
    m_cds.edit();
    m_cds.setValue("NOME_SETOR", "Montagem");
    m_cds.setValue("BL_PS", Blob{"abc"});
    m_cds.setValue("QTDE_PS", 8);
    m_cds.post();
    EXPECT_EQ(m_cds.applyChanges(), 1) << "where on char, numeric, date, timestamp and varchar columns";

    auto other = m_db.connect();
    EXPECT_EQ(row(*other, 1), "000123|8|um|U");
    Query q(*other);
    q.setSql("select NOME_SE from SETOR where COD_SE = '10'");
    q.open();
    EXPECT_EQ(q.field("NOME_SE").asString(), "Corte") << "a joined column is not written";

    m_cds.edit();
    m_cds.setValue("NOME_SETOR", "Pesponto");
    m_cds.post();
    EXPECT_EQ(m_cds.applyChanges(), 0);

    m_provider->setUpdateTable("NOPE");
    m_cds.edit();
    m_cds.setValue("QTDE_PS", 9);
    m_cds.post();
    EXPECT_THROW(m_cds.applyChanges(), DbError) << "no column of that table to identify the row";
}

} // namespace
