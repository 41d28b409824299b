// Sector production end to end: the executable in script mode along a route, and a conveyor
// station completing a ticket.
#include "StationRun.h"
#include "db/Query.h"
#include "support/Box.h"
#include "support/HttpReceiver.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vek;
using vek::test::Box;
using vek::test::conveyorIni;
using vek::test::kGreen;
using vek::test::kRed;
using vek::test::runStation;
using vek::test::Schema;
using vek::test::TestDb;
using vek::test::u;

namespace {

// Product P100 passes 10, 20 and 30 in that order; ticket 000123/0001 has three boxes.
class SectorStation : public ::testing::Test {
protected:
    void SetUp() override {
        int order = 0;
        for (const auto& [code, previous] : {std::pair{"10", ""}, {"20", "10"}, {"30", "20"}}) {
            m_db.exec(std::string("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, "
                                  "TIPO_ATU_PRODUCAO_SETOR_SE, TIPO_OPERACAO_SE, SEQPROD_SE) values ('") +
                      code + "', 'SETOR " + code + "', '" + previous + "', " + std::to_string(++order) +
                      ", 'N', 'P', 'S')");
            m_db.exec(std::string("insert into PRODUTO_SETOR (CODIGO_PRODUTO_PS, CODIGO_SETOR_PS) values ('P100', '") +
                      code + "')");
        }
        m_db.exec("insert into PRODUCAO (PROG_PR, FICHA_PR, QTDE_PR) values ('000123', '0001', 3)");
        m_db.exec("insert into FUNCIONARIO (CODIGO_FU, NOME_FU) values ('7', 'ANA')");
        for (int code : {1001, 1002, 1003}) {
            m_db.exec(Box::usual(code).sql());
        }
        for (const char* p : {"ALERTA_SONORO", "MSG_CONLUSAO"}) {
            m_db.exec(std::string("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('ATU_CAIXA_UNITARIA', '") +
                      p + "', 'S')");
        }
    }
    std::string sectorIni(const std::string& sector) const {
        return conveyorIni(m_db.path(), "ATU_PRODUCAO_SETOR_CXUNIT=S\r\nSETOR=" + sector +
                                            "\r\nFUNCIONARIO=7\r\nULTIMO_SETOR_ATU_CXUNIT=30\r\n");
    }
    int count(const std::string& where) const { return m_db.count(where); }
    TestDb m_db{Schema::Main};
};

TEST_F(SectorStation, RefusalsInRedThenTheRouteRecordsAndTheLastSectorWritesOff) {
    auto run = runStation(m_db.dir(), sectorIni("20"), {QStringLiteral("1001")});
    ASSERT_EQ(run.lines.size(), 2u) << run.errors.toStdString();
    EXPECT_EQ(run.text(1, "pnMens"), u("Erro Atu.Produção.CxUnit Setor: Setor anterior 10 não foi baixado!"));
    EXPECT_EQ(run.color(1, "pnMens"), kRed);
    EXPECT_EQ(run.tones(1).size(), 4) << "the alarm";
    EXPECT_EQ(run.text(1, "edTotEtiq"), QStringLiteral("0/3"));
    EXPECT_EQ(count("PRODUCAO_SETOR_CXUNIT"), 0);

    run = runStation(m_db.dir(), sectorIni("10"), {QStringLiteral("1001"), QStringLiteral("1002")});
    ASSERT_EQ(run.lines.size(), 3u) << run.errors.toStdString();
    EXPECT_EQ(run.text(1, "pnMens"), u("Etiqueta Atualizada."));
    EXPECT_EQ(run.color(1, "pnMens"), kGreen);
    EXPECT_EQ(run.text(1, "edTotEtiq"), QStringLiteral("1/3"));
    EXPECT_EQ(run.text(2, "edTotEtiq"), QStringLiteral("2/3"));
    EXPECT_EQ(count("PRODUCAO_SETOR_CXUNIT where SETOR_PU = '10' and FUNCIONAR_PU = '7' and QTDE_PU = 1 and "
                    "TIPO_ATUALIZACAO_PU = 'U' and TIPO_OPERACAO_SETOR_PU = 'P' and HORASAIDA_PU is not null"),
              2);
    EXPECT_EQ(count("PRODUCAO_SETOR where SETOR_PS = '10' and CODCXUNIT_PS in (1001, 1002) and QTDE_PS = 1"), 2);
    EXPECT_EQ(count("CODCXUNIT where DTBAIXA_CX is not null"), 0) << "not the last sector";

    run = runStation(m_db.dir(), sectorIni("20"), {QStringLiteral("1001")});
    EXPECT_EQ(run.text(1, "pnMens"), u("Etiqueta Atualizada.")) << run.errors.toStdString();
    run = runStation(m_db.dir(), sectorIni("30"), {QStringLiteral("1001"), QStringLiteral("1001")});
    ASSERT_EQ(run.lines.size(), 3u) << run.errors.toStdString();
    EXPECT_EQ(run.text(1, "pnMens"), u("Etiqueta Atualizada."));
    EXPECT_EQ(count("CODCXUNIT where CODIGO_CX = 1001 and DTBAIXA_CX is not null and SETOR_CX = '30' and "
                    "FUNCIONARIO_CX = '7'"),
              1);
    EXPECT_TRUE(run.text(2, "pnMens").contains(u("já baixado em"))) << "written off: refused everywhere";
    EXPECT_EQ(run.color(2, "pnMens"), kRed);
}

TEST_F(SectorStation, AConveyorStationRecordsTheCompletedTicketOnceWithItsAuditRows) {
    m_db.exec("update CODCXUNIT set DATA_CANC_CX = cast('now' as timestamp) where CODIGO_CX = 1003");
    const std::string ini = conveyorIni(m_db.path(), "SETOR_ATU_PRODUCAO_SETOR=10\r\n");
    const auto run = runStation(m_db.dir(), ini, {QStringLiteral("1001"), QStringLiteral("1002")});
    ASSERT_EQ(run.lines.size(), 3u) << run.errors.toStdString();
    EXPECT_EQ(run.text(2, "pnMens"), u("Etiqueta Atualizada."));
    EXPECT_EQ(run.text(2, "edTotEtiq"), QStringLiteral("2/2"));
    EXPECT_EQ(count("PRODUCAO_SETOR where SETOR_PS = '10' and QTDE_PS = 2 and TIPO_ATUALIZACAO_PS = 'F' and "
                    "SUBFICHA_PS = '0000' and CODCXUNIT_PS is null"),
              1);
    EXPECT_GT(count("LOG where ARQ_LG = 'PRODUCAO_SETOR' and USUARIO_LG = 'QUILBAR'"), 0);

    // Recording the ticket in sector 20 needs sector 10 first: refused with the alarm, yet the scan
    // ends as a success.
    m_db.exec("delete from PRODUCAO_SETOR");
    m_db.exec("update CODCXUNIT set DTBAIXA_CX = null where CODIGO_CX = 1002");
    const auto refused =
        runStation(m_db.dir(), conveyorIni(m_db.path(), "SETOR_ATU_PRODUCAO_SETOR=20\r\n"), {QStringLiteral("1002")});
    ASSERT_EQ(refused.lines.size(), 2u) << refused.errors.toStdString();
    EXPECT_EQ(refused.text(1, "pnMens"), u("Etiqueta Atualizada."));
    EXPECT_EQ(refused.tones(1).size(), 6) << "the alarm, then the success tones";
    EXPECT_EQ(count("PRODUCAO_SETOR"), 0);
}

TEST_F(SectorStation, TheDashboardHearsOfEachRecordedBoxOnlyWithoutTheStrictRule) {
    vek::test::HttpReceiver receiver(3000);
    ASSERT_EQ(receiver.port(), 3000) << "port 3000 taken";
    m_db.exec("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('DASHBOARD_PRODUCAO', 'SERVIDOR_NODE', "
              "'127.0.0.1')");
    // The strict previous-sector rule is on by default: nothing is sent.
    auto run = runStation(m_db.dir(), sectorIni("10"), {QStringLiteral("1001")});
    ASSERT_EQ(run.text(1, "pnMens"), u("Etiqueta Atualizada.")) << run.errors.toStdString();
    EXPECT_TRUE(receiver.posts().empty());

    m_db.exec("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('ATU_CAIXA_UNITARIA', "
              "'VALIDAR_SETOR_ANT_OBRIG', 'N')");
    run = runStation(m_db.dir(), sectorIni("10"), {QStringLiteral("1002")});
    ASSERT_EQ(run.text(1, "pnMens"), u("Etiqueta Atualizada.")) << run.errors.toStdString();
    // The station's close waits for what it still has to send.
    auto c = m_db.connect();
    db::Query q(*c);
    q.setSql("select ID_PU from PRODUCAO_SETOR_CXUNIT where CODCXUNIT_PU = 1002");
    q.open();
    EXPECT_EQ(
        receiver.posts(),
        (std::vector<vek::test::ReceivedPost>{
            {"/api/etiqueta_unitaria/atualizar_etiqueta_pendente_setor_anterior", "application/json;charset=utf-8",
             "{\"id_producao_setor_caixa_unitaria\": " + std::to_string(q.field("ID_PU").asInt()) + "}"}}));
}

} // namespace
