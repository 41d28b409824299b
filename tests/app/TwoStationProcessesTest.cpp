// Two stations as two processes on the database server, scanning the same boxes from the same
// moment: each box is taken by exactly one of them, and only that one reports a success.
#include "StationRun.h"
#include "db/Query.h"
#include "support/Box.h"
#include "support/TestDb.h"

#include <QJsonArray>
#include <QJsonObject>

#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <thread>

using vek::test::Box;
using vek::test::Schema;
using vek::test::TestDb;
using vek::test::u;
namespace db = vek::db;

namespace {

constexpr int kBoxes = 200;
const QString kUpdated = QStringLiteral("Etiqueta Atualizada.");

// What a station showed for each box it was given.
struct Shown {
    std::map<int, QString> messages; // pnMens after the scan, by box code
    int boxes = 0;                   // message boxes of the whole run
    QString errors;
};

QStringList allBoxes() {
    QStringList script;
    for (int code = 1; code <= kBoxes; ++code) script << QString::number(code);
    return script;
}

Shown shownBy(vek::test::StationProcess& station) {
    const vek::test::StationRun run = station.finish();
    Shown shown;
    shown.errors = run.errors;
    if (run.exitCode != 0) shown.errors += QStringLiteral(" the station did not end cleanly.");
    for (const QJsonObject& o : run.lines) {
        shown.boxes += static_cast<int>(o["boxes"].toArray().size());
        if (o["input"].isString()) {
            shown.messages[o["input"].toString().toInt()] = o["texts"].toObject()["pnMens"].toString();
        }
    }
    return shown;
}

class TwoStationProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        m_db.exec("insert into PRODUCAO (PROG_PR, FICHA_PR, QTDE_PR) values ('000123', '0001', " +
                  std::to_string(kBoxes) + ")");
        m_db.exec("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('ATU_CAIXA_UNITARIA', 'MSG_CONLUSAO', "
                  "'S')");
        auto c = m_db.connect();
        c->executeImmediate("execute block as declare i integer = 1; begin while (i <= " + std::to_string(kBoxes) +
                            ") do begin " + Box::usual(":i").sql() + "; i = i + 1; end end");
    }

    std::string ini(const std::string& conveyor, const std::string& extra = {}) const {
        return "[ESTEIRA]\r\nBDADOS=" + m_db.remoteLocation() + "\r\nCODESTEIRA=" + conveyor +
               "\r\nEXIBIR_IMG_PRODUTO=N\r\n" + extra;
    }

    // Runs both stations. Box 1's row is held until both wait for it, so they start scanning together.
    std::pair<Shown, Shown> race(const std::string& iniA, const std::string& iniB) {
        auto holder = m_db.connectRemote();
        holder->startTransaction();
        holder->executeImmediate("update CODCXUNIT set TAM_CX = TAM_CX where CODIGO_CX = 1");
        vek::test::StationProcess a(m_db.dir() + "/a", iniA, allBoxes()), b(m_db.dir() + "/b", iniB, allBoxes());
        auto monitor = m_db.connectRemote();
        db::Query waiting(*monitor);
        waiting.setSql("select count(*) as N from MON$STATEMENTS where MON$STATE = 1 and MON$ATTACHMENT_ID <> "
                       "current_connection and (MON$SQL_TEXT starting with 'update CODCXUNIT' or MON$SQL_TEXT "
                       "starting with 'select DTBAIXA_CX')");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        bool together = false;
        while (!together && a.running() && b.running() && std::chrono::steady_clock::now() < deadline) {
            waiting.open();
            together = waiting.field("N").asInt() >= 2;
            waiting.close();
            if (!together) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        holder->rollback();
        EXPECT_TRUE(together) << "both stations never waited for the first box";
        return {shownBy(a), shownBy(b)};
    }

    // The rows `sql` selects as box code (first column) and owner (second column).
    std::multimap<int, std::string> rows(const std::string& sql) const {
        auto c = m_db.connectRemote();
        db::Query q(*c);
        q.setSql(sql);
        q.open();
        std::multimap<int, std::string> by;
        for (; !q.eof(); q.next()) by.emplace(q.fieldAt(0).asInt(), q.fieldAt(1).asString());
        return by;
    }

    // Each box succeeded at exactly one station, every other scan showed `refusal`, and each success
    // is the owner `by` records for that box.
    static void expectOneOwnerPerBox(const std::pair<Shown, Shown>& shown, const std::string (&owners)[2],
                                     const QString& refusal, const std::multimap<int, std::string>& by) {
        const Shown* station[2] = {&shown.first, &shown.second};
        int successes[2] = {0, 0};
        for (int s = 0; s < 2; ++s) {
            SCOPED_TRACE(owners[s]);
            EXPECT_EQ(station[s]->messages.size(), static_cast<std::size_t>(kBoxes))
                << station[s]->errors.toStdString();
            EXPECT_EQ(station[s]->boxes, 0) << "no scan ended in an error box";
            for (const auto& [code, message] : station[s]->messages) {
                if (message == kUpdated) {
                    ++successes[s];
                    const auto [first, last] = by.equal_range(code);
                    EXPECT_EQ(std::distance(first, last), 1) << code;
                    if (first != last) {
                        EXPECT_EQ(first->second, owners[s]) << code;
                    }
                } else {
                    EXPECT_TRUE(message.contains(refusal)) << code << ": " << message.toStdString();
                }
            }
        }
        EXPECT_EQ(successes[0] + successes[1], kBoxes);
        EXPECT_EQ(by.size(), static_cast<std::size_t>(kBoxes));
        // Otherwise one station ran alone and the race was never run.
        EXPECT_GT(successes[0], 0);
        EXPECT_GT(successes[1], 0);
    }

    TestDb m_db{Schema::Main};
};

TEST_F(TwoStationProcesses, ConveyorsWriteEachBoxOffOnce) {
    const auto shown = race(ini("01"), ini("02"));
    const std::string owners[2] = {"01", "02"};
    expectOneOwnerPerBox(shown, owners, u("já baixado em"),
                         rows("select CODIGO_CX, ESTEIRA_CX from CODCXUNIT where DTBAIXA_CX is not null"));
}

TEST_F(TwoStationProcesses, TwoSectorsOfOneGroupRecordEachBoxOnce) {
    // Sewing (20) groups the lines 21 and 22; the box is written off later, in sector 40.
    m_db.exec("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, SETOR_AGRUP_SE, TIPO_ATU_PRODUCAO_SETOR_SE, "
              "SEQPROD_SE) values ('20', 'COSTURA', '', 1, '', 'N', 'S')");
    m_db.exec("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, SETOR_AGRUP_SE, TIPO_ATU_PRODUCAO_SETOR_SE, "
              "SEQPROD_SE) select '21', 'LINHA 1', '', 2, '20', 'N', 'S' from RDB$DATABASE union all "
              "select '22', 'LINHA 2', '', 2, '20', 'N', 'S' from RDB$DATABASE");
    m_db.exec("insert into PRODUTO_SETOR (CODIGO_PRODUTO_PS, CODIGO_SETOR_PS) select 'P100', COD_SE from SETOR");
    const std::string sector = "ATU_PRODUCAO_SETOR_CXUNIT=S\r\nFUNCIONARIO=7\r\nULTIMO_SETOR_ATU_CXUNIT=40\r\nSETOR=";
    const auto shown = race(ini("01", sector + "21\r\n"), ini("02", sector + "22\r\n"));
    const std::string owners[2] = {"21", "22"};
    const QString refusal = u("Erro Atu.Produção.CxUnit Setor: Ficha já atualizada em outro setor do mesmo grupo.");
    const auto recorded = rows("select CODCXUNIT_PU, SETOR_PU from PRODUCAO_SETOR_CXUNIT");
    expectOneOwnerPerBox(shown, owners, refusal, recorded);
    EXPECT_EQ(rows("select CODCXUNIT_PS, SETOR_PS from PRODUCAO_SETOR where CODCXUNIT_PS > 0"), recorded)
        << "each box's production row goes with its box row";
    EXPECT_TRUE(rows("select CODIGO_CX, ESTEIRA_CX from CODCXUNIT where DTBAIXA_CX is not null").empty())
        << "neither is the last sector";
}

} // namespace
