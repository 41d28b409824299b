// The label enquiry end to end: F1 in the scan field, an enquiry, F4 with a user's consent picked
// from the list, F9 on an earlier sector, and what the databases hold afterwards.
#include "StationRun.h"
#include "db/Query.h"
#include "support/Box.h"
#include "support/TestDb.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace vek;
using vek::test::Box;
using vek::test::conveyorIni;
using vek::test::runStation;
using vek::test::Schema;
using vek::test::TestDb;
using vek::test::u;

namespace {

QJsonArray row(std::initializer_list<const char*> cells) {
    QJsonArray r;
    for (const char* c : cells) r.append(QString::fromUtf8(c));
    return r;
}

// Sectors 10, 20, 30 on P100's route; box 1001 recorded in 10 and 20; CAIO of group SUPERV may consent.
class EnquiryStation : public ::testing::Test {
protected:
    void SetUp() override {
        int order = 0;
        for (const auto& [code, previous] : {std::pair{"10", ""}, {"20", "10"}, {"30", "20"}}) {
            m_db.exec(std::string("insert into SETOR (COD_SE, NOME_SE, SETORANT_SE, ORDEM_SE, SEQPROD_SE) values ('") +
                      code + "', 'SETOR " + code + "', '" + previous + "', " + std::to_string(++order) + ", 'S')");
            m_db.exec(std::string("insert into PRODUTO_SETOR (CODIGO_PRODUTO_PS, CODIGO_SETOR_PS) values ('P100', '") +
                      code + "')");
        }
        m_db.exec("insert into FUNCIONARIO (CODIGO_FU, NOME_FU) values ('7', 'ANA')");
        for (int code : {1001, 1002, 1003}) {
            m_db.exec(Box::usual(code).sql());
        }
        int id = 0;
        for (const char* sector : {"10", "20"}) {
            m_db.exec(std::string("insert into PRODUCAO_SETOR_CXUNIT (ID_PU, PROG_PU, FICHA_PU, SUBFICHA_PU, SETOR_PU, "
                                  "QTDE_PU, CODCXUNIT_PU, DTSAIDA_PU) values (") +
                      std::to_string(++id) + ", '000123', '0001', '0000', '" + sector +
                      "', 1, 1001, cast('now' as timestamp))");
            m_db.exec(
                std::string("insert into PRODUCAO_SETOR (ID_PS, PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS, QTDE_PS, "
                            "CODCXUNIT_PS) values (0, '000123', '0001', '0000', '") +
                sector + "', 1, 1001)");
        }
        m_db.exec("update CODCXUNIT set DTBAIXA_CX = cast('now' as timestamp), ESTEIRA_CX = '01' where CODIGO_CX = "
                  "1001");
        m_db.exec("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('ATU_CAIXA_UNITARIA', "
                  "'GRUPO_USU_AUT_CANC_ATU_CXUNIT', 'SUPERV')");
        // CAIO's stored form of the password "segredo".
        m_access.exec("insert into USUARIOS (NOME_US, SENHA_US, GRUPOS_US) values ('CAIO', "
                      "x'd790d7a8ccbcccbcd7a8d7908acbb2d7b2d78acbb6d890d88ad998ccb6d7', 'PROD-SUPERV')");
        m_access.exec("insert into USUARIOS (NOME_US, SENHA_US, GRUPOS_US) values ('BETO', "
                      "x'a794647374b674b66473a7949377a375a3759377a49394939965a374a475', 'SUPERVISAO')");
    }
    std::string sectorIni() const {
        return conveyorIni(m_db.path(), "ATU_PRODUCAO_SETOR_CXUNIT=S\r\nSETOR=20\r\nFUNCIONARIO=7\r\n"
                                        "ULTIMO_SETOR_ATU_CXUNIT=30\r\nBDADOS_ACESSO=" +
                                            m_access.path() + "\r\n");
    }
    int count(const std::string& where) const { return m_db.count(where); }
    TestDb m_db{Schema::Main};
    TestDb m_access{Schema::Access};
};

TEST_F(EnquiryStation, EnquiryConsentAndCancellationThroughTheScript) {
    const QStringList script = {
        QStringLiteral("<F1>"),
        QStringLiteral("1001"),
        QStringLiteral("<F4>"),
        QStringLiteral("<click>btListaUsuAutorizado"),
        QStringLiteral("<dblclick>lbListaUsuAutorizados=CAIO"),
        QStringLiteral("segredo"),
        QStringLiteral("<select>dbSetorCanc=SETOR 10"),
        QStringLiteral("<F9>"),
        QStringLiteral("<F4>"),
        QStringLiteral("<close>"),
        QStringLiteral("<Esc>"),
    };
    auto run = runStation(m_db.dir(), sectorIni(), script);
    ASSERT_EQ(run.lines.size(), 12u) << run.errors.toStdString();
    auto window = [&](std::size_t line) { return run.lines[line].value("window").toString(); };

    EXPECT_EQ(window(1), QStringLiteral("pfConsultaEtiq"));
    EXPECT_EQ(run.text(1, "pnCancQuilbar"), u("Pressione F4 para Cancelar a Atualização da Etiqueta"));
    EXPECT_EQ(run.text(2, "edProdConsulta"), QStringLiteral("P100"));
    EXPECT_EQ(run.text(2, "edTotFichaConsulta"), QStringLiteral("3"));
    EXPECT_EQ(run.grid(2, "dbgSetoresConsulta"),
              (QJsonArray{row({"10", "SETOR 10", "1", "2"}), row({"20", "SETOR 20", "1", "2"})}));
    EXPECT_EQ(window(3), QStringLiteral("frmUsuarioAutorizado"));
    EXPECT_EQ(window(4), QStringLiteral("pfUsuAutorizado"));
    EXPECT_EQ(run.grid(4, "lbListaUsuAutorizados"), (QJsonArray{row({"CAIO"})})) << "BETO is in SUPERVISAO only";
    EXPECT_EQ(window(5), QStringLiteral("frmUsuarioAutorizado"));
    EXPECT_EQ(run.text(5, "edUsuario"), QStringLiteral("CAIO"));
    EXPECT_EQ(window(6), QStringLiteral("pfCancAtuCxUnit"));
    EXPECT_EQ(run.text(6, "dbSetorCanc"), QStringLiteral("SETOR 20")) << "the station's sector preselected";
    EXPECT_EQ(run.text(7, "dbSetorCanc"), QStringLiteral("SETOR 10"));
    EXPECT_EQ(window(8), QStringLiteral("pfConsultaEtiq"));
    EXPECT_EQ(run.tones(8).size(), 0) << "ALERTA_SONORO is off";
    EXPECT_TRUE(run.boxes(8).isEmpty());
    EXPECT_EQ(run.grid(8, "dbgSetoresConsulta"),
              (QJsonArray{row({"10", "SETOR 10", "0", "3"}), row({"20", "SETOR 20", "1", "2"})}));
    EXPECT_EQ(window(9), QStringLiteral("frmUsuarioAutorizado"));
    EXPECT_EQ(window(10), QStringLiteral("pfConsultaEtiq")) << "closed: nobody consented, no panel";
    EXPECT_EQ(window(11), QStringLiteral("frmQuilbar"));

    EXPECT_EQ(count("PRODUCAO_SETOR_CXUNIT where CODCXUNIT_PU = 1001 and SETOR_PU = '10'"), 0);
    EXPECT_EQ(count("PRODUCAO_SETOR where CODCXUNIT_PS = 1001 and SETOR_PS = '10'"), 0);
    EXPECT_EQ(count("PRODUCAO_SETOR_CXUNIT where CODCXUNIT_PU = 1001 and SETOR_PU = '20'"), 1);
    EXPECT_EQ(count("CODCXUNIT where CODIGO_CX = 1001 and DTBAIXA_CX is null and ESTEIRA_CX is null"), 1);
    EXPECT_EQ(count("LOG where CHAVE_LG = '1001|10' and USUARIO_LG = 'CAIO' and ARQ_LG = 'PRODUCAO_SETOR_CXUNIT'"), 1);
}

TEST_F(EnquiryStation, ThePasswordNeverLeavesTheDialog) {
    auto run = runStation(m_db.dir(), sectorIni(),
                          {QStringLiteral("<F1>"), QStringLiteral("1001"), QStringLiteral("<F4>"),
                           QStringLiteral("<type>caio"), QStringLiteral("<Tab>"), QStringLiteral("<type>segredo")});
    ASSERT_EQ(run.lines.size(), 7u) << run.errors.toStdString();
    EXPECT_EQ(run.lines[6].value("window").toString(), QStringLiteral("frmUsuarioAutorizado"));
    EXPECT_EQ(run.text(6, "edUsuario"), QStringLiteral("CAIO"));
    EXPECT_EQ(run.text(6, "edSenha"), QStringLiteral("*******")) << "what the field shows";
    for (QJsonObject line : run.lines) {
        line.remove(QStringLiteral("input")); // the script's own line, echoed
        EXPECT_FALSE(QJsonDocument(line).toJson().contains("segredo"));
    }
    EXPECT_FALSE(run.errors.contains(QStringLiteral("segredo")));
}

TEST_F(EnquiryStation, EnquiryMessagesGoToThePanelsOwnLine) {
    auto run =
        runStation(m_db.dir(), sectorIni(), {QStringLiteral("<F1>"), QStringLiteral("12a"), QStringLiteral("9999")});
    ASSERT_EQ(run.lines.size(), 4u) << run.errors.toStdString();
    EXPECT_EQ(run.text(2, "pnMsgConsulta"), u("Código Inválido."));
    EXPECT_EQ(run.text(2, "pnMens"), QString()) << "the main window's panel is left alone";
    EXPECT_EQ(run.text(2, "edCodBarraConsulta"), QString());
    EXPECT_EQ(run.text(3, "pnMsgConsulta"), u("Código Não Localizado."));
    EXPECT_EQ(run.text(3, "edProdConsulta"), QString());
}

TEST_F(EnquiryStation, F1OnlyInSectorMode) {
    auto run = runStation(m_db.dir(), conveyorIni(m_db.path()), {QStringLiteral("<F1>")});
    ASSERT_EQ(run.lines.size(), 2u) << run.errors.toStdString();
    EXPECT_EQ(run.lines[1].value("window").toString(), QStringLiteral("frmQuilbar"));
}

} // namespace
