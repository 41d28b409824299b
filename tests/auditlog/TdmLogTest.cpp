// The field change log against real GRAVALOG rows of the main schema.
#include "auditlog/TdmLog.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/MemTable.h"
#include "db/Provider.h"
#include "db/Query.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

using namespace vek;
using vek::auditlog::TdmLog;
using Strings = std::vector<std::string>;

namespace {

class AuditLog : public ::testing::Test {
protected:
    void SetUp() override {
        m_db.exec("create table LOGTESTE (N integer not null, S varchar(40) not null, TXT varchar(200), I integer, "
                  "constraint PK_LOGTESTE primary key (N, S));"
                  "create table SEMCHAVE (A integer, B varchar(10));");
        m_db.exec("insert into LOGTESTE values (12, 'A', 'AB', 5); insert into LOGTESTE values (13, 'B', 'X', 7);"
                  "insert into SEMCHAVE values (1, 'um');");
        m_cds.setProvider(&m_provider);
    }
    void open(const std::string& sql) {
        m_cds.close();
        m_query.setSql(sql);
        m_cds.open();
    }
    /// "key / table / field / user / old / new" of every LOG row, in writing order.
    Strings logRows() {
        db::Query q(*m_conn);
        q.setSql("select * from LOG order by ID_LG");
        q.open();
        Strings out;
        for (; !q.eof(); q.next()) {
            std::string row = q.field("CHAVE_LG").asString();
            for (const char* f : {"ARQ_LG", "CAMPO_LG", "USUARIO_LG", "VRANT_LG", "VRATU_LG"})
                row += " / " + q.field(f).asString();
            out.push_back(row);
        }
        return out;
    }

    test::TestDb m_db;
    std::unique_ptr<db::Connection> m_conn = m_db.connect();
    db::Query m_query{*m_conn};
    db::Provider m_provider{m_query};
    db::MemTable m_cds{"cdsTeste"};
    TdmLog m_log{"QUILBAR", *m_conn};
};

TEST(AuditLogNothingPending, SendsNoStatement) {
    db::Connection nowhere; // fails on first use: any statement would raise
    nowhere.setDatabase("/nonexistent/vek/none.fdb");
    TdmLog log("QUILBAR", nowhere);
    db::MemTable t("cdsProdSetor");
    EXPECT_NO_THROW(log.LogChanges("PRODUCAO_SETOR", t)) << "closed";
    t.setFieldDefs({db::FieldDef::integer("ID_PS"), db::FieldDef::text("SETOR_PS", 2)});
    t.createEmpty();
    t.setLogChanges(false);
    t.append();
    t.post();
    t.setLogChanges(true); // the row now counts as read
    EXPECT_NO_THROW(log.LogChanges("PRODUCAO_SETOR", t)) << "open, nothing changed";
    t.edit();
    t.setValue("SETOR_PS", "10");
    t.post();
    EXPECT_THROW(log.LogChanges("PRODUCAO_SETOR", t), db::DbError) << "with a change it does reach out";
}

TEST_F(AuditLog, NewSectorRowIsLoggedBeforeItIsApplied) {
    open("select * from PRODUCAO_SETOR where ID_PS = 0");
    m_cds.append();
    for (auto [f, v] : {std::pair{"ID_PS", "0"}, {"PROG_PS", "000123"}, {"FICHA_PS", "0001"}, {"SETOR_PS", "40"}})
        m_cds.setValue(f, v);
    m_cds.post();
    db::Query now(*m_conn);
    now.setSql("select CURRENT_TIMESTAMP from RDB$DATABASE");
    now.open();

    m_log.LogChanges("PRODUCAO_SETOR", m_cds);
    EXPECT_EQ(logRows(), (Strings{"0 / PRODUCAO_SETOR / INSERIDO / QUILBAR / INSERIDO / INSERIDO"}));
    db::Query data(*m_conn);
    data.setSql("select DATA_LG from LOG");
    data.open();
    EXPECT_NEAR(data.fieldAt(0).asDateTime().daysSince(now.fieldAt(0).asDateTime()), 0, 1.0 / 24 / 60);
    EXPECT_EQ(m_cds.changeCount(), 1) << "the change stays pending for the caller to apply";
    EXPECT_EQ(m_cds.applyChanges(), 1);
}

TEST_F(AuditLog, EveryKindOfChangeInChangeOrder) {
    open("select * from LOGTESTE order by N");
    m_cds.edit(); // 12|A: AB -> CD, I set to its old value 5
    m_cds.setValue("TXT", "CD");
    m_cds.setValue("I", 5);
    m_cds.post();
    m_cds.next(); // 13|B: X -> null, its key field S B -> C, I 7 -> 8 and (below) back to 7
    m_cds.edit();
    m_cds.setNull("TXT");
    m_cds.setValue("S", "C");
    m_cds.setValue("I", 8);
    m_cds.post();
    m_cds.append();
    m_cds.setValue("N", 14);
    m_cds.setValue("S", "D");
    m_cds.post();
    m_cds.first();
    m_cds.next();
    m_cds.edit();
    m_cds.setValue("I", 7);
    m_cds.post();
    m_cds.first();
    m_cds.deleteRecord(); // the changed 12|A, logged with the values it was read with

    m_log.LogChanges("LOGTESTE", m_cds);
    EXPECT_EQ(logRows(), (Strings{
                             "13|B / LOGTESTE / S / QUILBAR / B / C",
                             "13|B / LOGTESTE / TXT / QUILBAR / X / ",
                             "14|D / LOGTESTE / INSERIDO / QUILBAR / INSERIDO / INSERIDO",
                             "12|A / LOGTESTE / EXCLUIDO / QUILBAR / EXCLUIDO / EXCLUIDO",
                         }));
    m_log.LogChanges("LOGTESTE", m_cds);
    EXPECT_EQ(logRows().size(), 8u) << "logging does not accept the changes";
}

TEST_F(AuditLog, ChangedFieldWithoutPrimaryKeyAndCutTexts) {
    open("select * from SEMCHAVE");
    m_cds.edit();
    m_cds.setValue("B", "dois");
    m_cds.post();
    m_log.LogChanges("SEMCHAVE", m_cds);
    EXPECT_EQ(logRows(), (Strings{" / SEMCHAVE / B / QUILBAR / um / dois"}));

    m_db.exec("delete from LOG; insert into LOGTESTE (N, S, TXT) values (1, '" + std::string(40, 'K') + "', 'velho')");
    open("select * from LOGTESTE where N = 1");
    std::string long150;
    for (int i = 0; i < 150; ++i) long150 += static_cast<char>('a' + i % 26);
    m_cds.edit();
    m_cds.setValue("TXT", long150);
    m_cds.post();
    TdmLog log("USUARIO_COM_VINTE_E_CINCO", *m_conn);
    log.LogChanges("LOGTESTE", m_cds);
    log.WriteLogRow("k", "LOGTESTE", "CAMPO", "",
                    "Cal\xE7"
                    "ados"); // short and 8-bit texts pass unchanged
    EXPECT_EQ(logRows(), (Strings{"1|" + std::string(28, 'K') + " / LOGTESTE / TXT / USUARIO_COM_VINTE_E_ / velho / " +
                                      long150.substr(0, 100),
                                  "k / LOGTESTE / CAMPO / USUARIO_COM_VINTE_E_ /  / Cal\xE7"
                                  "ados"}));
}

TEST_F(AuditLog, ServerErrorReachesTheCallerAndEarlierRowsStay) {
    // A memory field whose name is longer than the procedure's CAMPO: its row is refused.
    const std::string longName(40, 'L');
    db::MemTable t("cdsSemTabela");
    t.setFieldDefs({db::FieldDef::text("CURTO", 10), db::FieldDef::text(longName, 10)});
    t.createEmpty();
    t.setLogChanges(false);
    t.append();
    t.post();
    t.setLogChanges(true);
    t.edit();
    t.setValue("CURTO", "b");
    t.setValue(longName, "c");
    t.post();
    EXPECT_THROW(m_log.LogChanges("SEMCHAVE", t), db::DbError);
    EXPECT_EQ(logRows(), (Strings{" / SEMCHAVE / CURTO / QUILBAR /  / b"}));
}

} // namespace
