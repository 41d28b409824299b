// Two stations as two processes on one server, meeting on the same rows from the same moment: every
// write path must leave the rows as one station alone would have, and tell each operator the truth.
#include "StationsTogether.h"
#include "support/Box.h"

#include <gtest/gtest.h>

using namespace vek::test;

namespace {

class MultiStationWrites : public ::testing::Test {
protected:
    void SetUp() override { param("ATU_CAIXA_UNITARIA", "MSG_CONLUSAO", "S"); }

    void param(const std::string& group, const std::string& name, const std::string& value) const {
        m_db.exec("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('" + group + "', '" + name + "', '" +
                  value + "')");
    }
    // Runs PSQL text (an execute block) on the file before the server has it open.
    void block(const std::string& psql) const { m_db.connect()->executeImmediate(psql); }

    std::string ini(const std::string& conveyor, const std::string& extra = {}) const {
        return "[ESTEIRA]\r\nBDADOS=" + m_db.remoteLocation() + "\r\nCODESTEIRA=" + conveyor +
               "\r\nEXIBIR_IMG_PRODUTO=N\r\n" + extra;
    }
    std::pair<StationRun, StationRun> race(const std::string& hold, const StationSetup& a,
                                           const StationSetup& b) const {
        auto runs = runTogether(m_db, hold, 2, {a, b});
        for (const StationRun& r : runs) EXPECT_EQ(boxesOf(r), std::vector<std::string>()) << "no message boxes";
        return {std::move(runs[0]), std::move(runs[1])};
    }
    Rows rows(const std::string& sql) const { return serverRows(m_db, sql); }
    int count(const std::string& fromWhere) const { return serverCount(m_db, fromWhere); }

    static std::string ticket(int t) { return QStringLiteral("%1").arg(t, 4, 10, QChar('0')).toStdString(); }

    TestDb m_db{Schema::Main};
};

// 20 tickets of one sub-ticket each (10 pairs of size 38) with 20 pending boxes of that size; both
// conveyors scan all 20 sub-tickets.
TEST_F(MultiStationWrites, EachSubTicketIsWrittenOffByOneStation) {
    block("execute block as declare t integer = 1; declare k integer; declare f char(4); begin "
          "while (t <= 20) do begin f = lpad(cast(t as varchar(4)), 4, '0'); "
          "insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values "
          "(:t, '000123', :f, '0001', '38', 10); k = 1; "
          "while (k <= 20) do begin " +
          Box::usual(":t * 100 + :k").set("FICHA_CX", ":f").sql() + "; k = k + 1; end t = t + 1; end end");
    QStringList labels;
    for (int t = 1; t <= 20; ++t) labels << QString::fromStdString("2000123" + ticket(t) + "0001");
    // Both list ticket 1's boxes, then wait to write off the first of them.
    const auto [a, b] = race("update CODCXUNIT set TAM_CX = TAM_CX where FICHA_CX = '0001'", {"a", ini("01"), labels},
                             {"b", ini("02"), labels});
    const auto shownA = messagesOf(a), shownB = messagesOf(b);
    ASSERT_EQ(shownA.size(), 20u) << a.errors.toStdString();
    ASSERT_EQ(shownB.size(), 20u) << b.errors.toStdString();
    for (int t = 1; t <= 20; ++t) {
        const std::string label = labels[t - 1].toStdString();
        SCOPED_TRACE(label);
        const std::string shown[2] = {shownA.at(label), shownB.at(label)};
        const std::string refusal = "Subficha já baixada (000123/" + ticket(t) + "/0001).";
        const int winner = shown[0] == kUpdated ? 0 : 1;
        EXPECT_EQ(shown[winner], kUpdated);
        EXPECT_EQ(shown[1 - winner], refusal) << "the other station";
        EXPECT_EQ(rows("select ESTEIRA_CX, count(*) from CODCXUNIT where FICHA_CX = '" + ticket(t) +
                       "' and DTBAIXA_CX is not null group by 1"),
                  (Rows{{winner == 0 ? "01" : "02", "10"}}))
            << "its quantity, all by the station that showed the success";
    }
    EXPECT_EQ(count("CODCXUNIT where DTBAIXA_CX is not null"), 200);
    EXPECT_EQ(count("SUBPROD where DTBAIXA_PR is not null"), 20);
    // The stations met on ticket 1 (both waited on its boxes); from there the quicker one can keep
    // one sub-ticket ahead all the way, so how the wins split is left to the machine.
}

// Box 1001 recorded in sectors 10 and 20 and written off; both sector-20 stations cancel its sector 20
// with CAIO's consent.
TEST_F(MultiStationWrites, OneStationCancelsASectorUpdate) {
    TestDb access{Schema::Access};
    int order = 0;
    for (const auto& [code, previous] : {std::pair{"10", ""}, {"20", "10"}, {"30", "20"}}) {
        m_db.exec(std::string("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, SEQPROD_SE) values ('") +
                  code + "', 'SETOR " + code + "', '" + previous + "', " + std::to_string(++order) + ", 'S')");
        m_db.exec(std::string("insert into PRODUTO_SETOR (CODIGO_PRODUTO_PS, CODIGO_SETOR_PS) values ('P100', '") +
                  code + "')");
        if (order == 3) continue; // the last sector: not reached yet
        m_db.exec(std::string("insert into PRODUCAO_SETOR_CXUNIT (ID_PU, PROG_PU, FICHA_PU, SUBFICHA_PU, SETOR_PU, "
                              "QTDE_PU, CODCXUNIT_PU, DTSAIDA_PU) values (") +
                  std::to_string(order) + ", '000123', '0001', '0000', '" + code +
                  "', 1, 1001, cast('now' as timestamp))");
        m_db.exec(std::string("insert into PRODUCAO_SETOR (ID_PS, PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS, QTDE_PS, "
                              "CODCXUNIT_PS) values (0, '000123', '0001', '0000', '") +
                  code + "', 1, 1001)");
    }
    m_db.exec("insert into FUNCIONARIO (CODIGO_FU, NOME_FU) values ('7', 'ANA')");
    m_db.exec(Box::usual(1001).writtenOff().conveyor("01").sql());
    param("ATU_CAIXA_UNITARIA", "GRUPO_USU_AUT_CANC_ATU_CXUNIT", "SUPERV");
    param("ATU_CAIXA_UNITARIA", "ALERTA_SONORO", "S");
    // CAIO's stored form of the password "segredo".
    access.exec("insert into USUARIOS (NOME_US, SENHA_US, GRUPOS_US) values ('CAIO', "
                "x'd790d7a8ccbcccbcd7a8d7908acbb2d7b2d78acbb6d890d88ad998ccb6d7', 'PROD-SUPERV')");
    const std::string sector = "ATU_PRODUCAO_SETOR_CXUNIT=S\r\nSETOR=20\r\nFUNCIONARIO=7\r\n"
                               "ULTIMO_SETOR_ATU_CXUNIT=30\r\nBDADOS_ACESSO=" +
                               access.remoteLocation() + "\r\n";
    const QStringList script = {"<F1>",
                                "1001",
                                "<F4>",
                                "<click>btListaUsuAutorizado",
                                "<dblclick>lbListaUsuAutorizados=CAIO",
                                "segredo",
                                "<select>dbSetorCanc=SETOR 20",
                                "<F9>"};
    // Both stations' deletes wait for the sector row, past their own look for it.
    const auto runs = runTogether(
        m_db, "update PRODUCAO_SETOR_CXUNIT set QTDE_PU = QTDE_PU where CODCXUNIT_PU = 1001 and SETOR_PU = '20'", 2,
        {{"a", ini("01", sector), script}, {"b", ini("02", sector), script}});
    const QJsonArray successTones{QJsonArray{2450, 120}, QJsonArray{2800, 140}};
    int cancelled = 0, refused = 0;
    for (const StationRun& run : runs) {
        ASSERT_EQ(run.lines.size(), 9u) << run.errors.toStdString();
        EXPECT_EQ(run.lines[7]["window"].toString(), QStringLiteral("pfCancAtuCxUnit")) << "consent given";
        const QString window = run.lines[8]["window"].toString();
        if (window == QStringLiteral("pfConsultaEtiq")) {
            ++cancelled;
            EXPECT_EQ(run.tones(8), successTones);
            EXPECT_EQ(boxesOf(run), std::vector<std::string>());
        } else {
            ++refused;
            EXPECT_EQ(window, QStringLiteral("pfCancAtuCxUnit")) << "the panel stays open";
            EXPECT_EQ(boxesOf(run),
                      std::vector<std::string>{"Alerta: Não existe atualização para essa Etiqueta nesse Setor."});
            EXPECT_TRUE(run.tones(8).isEmpty());
        }
    }
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(count("LOG where CHAVE_LG = '1001|20' and ARQ_LG = 'PRODUCAO_SETOR_CXUNIT' and CAMPO_LG = 'EXCLUIDO' "
                    "and USUARIO_LG = 'CAIO'"),
              1)
        << "one audit row for the one cancellation";
    EXPECT_EQ(count("LOG"), 1);
    EXPECT_EQ(rows("select SETOR_PU from PRODUCAO_SETOR_CXUNIT"), (Rows{{"10"}}));
    EXPECT_EQ(rows("select SETOR_PS from PRODUCAO_SETOR"), (Rows{{"10"}}));
    EXPECT_EQ(count("CODCXUNIT where CODIGO_CX = 1001 and DTBAIXA_CX is null and ESTEIRA_CX is null"), 1);
}

// 20 tickets of 4 boxes, the first two written off; station A scans each ticket's third box, B its
// fourth, and the last write-off records the ticket in sector 10.
TEST_F(MultiStationWrites, EachTicketIsCompletedOnce) {
    m_db.exec("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, TIPO_ATU_PRODUCAO_SETOR_SE, "
              "TIPO_OPERACAO_SE, SEQPROD_SE) values ('10', 'SETOR 10', '', 1, 'F', 'P', 'S')");
    m_db.exec("insert into PRODUTO_SETOR (CODIGO_PRODUTO_PS, CODIGO_SETOR_PS) values ('P100', '10')");
    block("execute block as declare t integer = 1; declare k integer; declare f char(4); begin "
          "while (t <= 20) do begin f = lpad(cast(t as varchar(4)), 4, '0'); "
          "insert into PRODUCAO (PROG_PR, FICHA_PR, QTDE_PR) values ('000123', :f, 4); k = 1; "
          "while (k <= 4) do begin " +
          Box::usual(":t * 10 + :k")
              .set("FICHA_CX", ":f")
              .writtenOff("iif(:k <= 2, cast('now' as timestamp), null)")
              .set("ESTEIRA_CX", "iif(:k <= 2, '09', null)")
              .sql() +
          "; k = k + 1; end t = t + 1; end end");
    QStringList third, fourth;
    for (int t = 1; t <= 20; ++t) {
        third << QString::number(t * 10 + 3);
        fourth << QString::number(t * 10 + 4);
    }
    const std::string completing = "SETOR_ATU_PRODUCAO_SETOR=10\r\n";
    const auto [a, b] = race("update CODCXUNIT set TAM_CX = TAM_CX where CODIGO_CX in (13, 14)",
                             {"a", ini("01", completing), third}, {"b", ini("02", completing), fourth});
    for (const StationRun* run : {&a, &b}) {
        const auto shown = messagesOf(*run);
        EXPECT_EQ(shown.size(), 20u) << run->errors.toStdString();
        for (const auto& [code, message] : shown) EXPECT_EQ(message, kUpdated) << code;
    }
    std::map<std::string, int> rowsOf;
    for (const auto& r : rows("select FICHA_PS, QTDE_PS from PRODUCAO_SETOR where SETOR_PS = '10' and "
                              "TIPO_ATUALIZACAO_PS = 'F'")) {
        ++rowsOf[r[0]];
        EXPECT_EQ(r[1], "4") << "ticket " << r[0] << " counts all its boxes";
    }
    std::map<int, int> ticketsWith; // completion rows -> tickets
    for (int t = 1; t <= 20; ++t) ++ticketsWith[rowsOf[ticket(t)]];
    EXPECT_EQ(ticketsWith, (std::map<int, int>{{1, 20}})) << "one completion row per ticket";
    EXPECT_EQ(count("LOG where ARQ_LG = 'PRODUCAO_SETOR' and CAMPO_LG = 'INSERIDO'"), 20) << "one audit row each";
    EXPECT_EQ(count("LOG"), 20);
    EXPECT_EQ(count("CODCXUNIT where DTBAIXA_CX is null"), 0);
}

// Two boxes of P100/00001/38 on two order items, booked into production stock at once while that
// stock item does not exist yet.
TEST_F(MultiStationWrites, ANewStockItemIsCreatedOnce) {
    param("PRODUCAO_ESTOQUE", "FILIAL_ESTOQUE", "5");
    m_db.exec("insert into PRODUTO (COD_PR, GRUPO_PR) values ('P100', '20');"
              "insert into PEDVENDA (NUM_PV, TIPO_PV, FILIAL_PV) values ('00001000', 'EX', 0)");
    for (const char* item : {"001", "002"}) {
        m_db.exec(std::string("insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, PROG_IT, FICHA_IT, SIT_IT) "
                              "values ('00001000', '") +
                  item +
                  "', 'P100', '00001', '000123', '0001', 'P');"
                  "insert into ITENSPVGRADE (PEDIDO_IT, ITEM_IT, TAM_IT, QTPED_IT) values ('00001000', '" +
                  item + "', '38', 1)");
        m_db.exec(Box::usual(item[2] == '1' ? 21 : 22).pedido("00001000").item(item).sql());
    }
    const auto [a, b] = race("insert into PROD_ITEM_ESTOQUE (ID_PI, CODIGO_PI) values (-1, 'P100.00001.38')",
                             {"a", ini("01"), {"21"}}, {"b", ini("02"), {"22"}});
    EXPECT_EQ(messagesOf(a), (std::map<std::string, std::string>{{"21", kUpdated}})) << a.errors.toStdString();
    EXPECT_EQ(messagesOf(b), (std::map<std::string, std::string>{{"22", kUpdated}})) << b.errors.toStdString();
    EXPECT_EQ(count("CODCXUNIT where DTBAIXA_CX is not null"), 2);
    const Rows item = rows("select ID_PI from PROD_ITEM_ESTOQUE where CODIGO_PI = 'P100.00001.38'");
    ASSERT_EQ(item.size(), 1u);
    EXPECT_EQ(count("PROD_ITEM_ESTOQUE"), 1);
    EXPECT_EQ(rows("select P.CODIGO_CXUNIT_ES, E.ID_PROD_ITEM_ESTOQUE_EMP from PRODUCAO_ESTOQUE P join ENTRADAMP E "
                   "on E.FILIAL_EMP = P.FILIAL_EMP_ES and E.FORNEC_EMP = P.FORNEC_EMP_ES and E.DOCTO_EMP = "
                   "P.DOCTO_EMP_ES and E.SERIE_EMP = P.SERIE_EMP_ES and E.ITEM_EMP = P.ITEM_EMP_ES and E.ORDEM_EMP = "
                   "P.ORDEM_EMP_ES where P.STATUS_ES = 'A' order by 1"),
              (Rows{{"21", item[0][0]}, {"22", item[0][0]}}))
        << "each box booked once, on the one stock item";
    EXPECT_EQ(count("ENTRADAMP"), 2);
}

} // namespace
