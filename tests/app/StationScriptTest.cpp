// The station end to end: the executable in script mode against a copy of the reference database.
#include "StationRun.h"
#include "db/Query.h"
#include "support/Box.h"
#include "support/TestDb.h"

#include <QDate>
#include <QJsonDocument>

#include <gtest/gtest.h>

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

// A unit box; times are SQL expressions so that they follow the server's clock.
void box(const TestDb& db, int code, const std::string& emission = "cast('now' as timestamp)",
         const std::string& writtenOff = "null", const std::string& cancelled = "null",
         const std::string& conveyor = "null", const std::string& ficha = "0001") {
    db.exec(Box::usual(code)
                .ficha(ficha)
                .emitted(emission)
                .writtenOff(writtenOff)
                .cancelled(cancelled)
                .set("ESTEIRA_CX", conveyor)
                .sql());
}

void param(const TestDb& db, const std::string& name, const std::string& value,
           const std::string& group = "ATU_CAIXA_UNITARIA") {
    db.exec("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('" + group + "', '" + name + "', '" + value +
            "')");
}

class Station : public ::testing::Test {
protected:
    TestDb m_db{Schema::Main};
};

TEST_F(Station, StartUpMessagesStopAtTheFirstFailingCheck) {
    struct Case {
        std::string ini;
        const char* message;
    } cases[] = {
        {"[ESTEIRA]\r\nCODESTEIRA=01\r\n", "Banco de dados nao configurado."},
        {"[ESTEIRA]\r\nBDADOS=" + m_db.path() + "\r\n", "Esteira nao configurada."},
        {conveyorIni(m_db.path(), "ATU_PRODUCAO_SETOR_CXUNIT=S\r\nFUNCIONARIO=7\r\n"),
         "Com atualização por setor ativada é necessário configurar o Setor."},
        {conveyorIni(m_db.path(), "ATU_PRODUCAO_SETOR_CXUNIT=S\r\nSETOR=10\r\n"),
         "Com atualização por setor ativada é necessário configurar o Funcionário."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto run = runStation(m_db.dir(), c.ini, {QStringLiteral("<tick>"), QStringLiteral("123")});
        ASSERT_EQ(run.lines.size(), 3u) << run.errors.toStdString();
        EXPECT_EQ(run.exitCode, 0);
        const QJsonArray boxes = run.boxes(0);
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_EQ(boxes[0].toObject()["title"].toString(), QStringLiteral("Erro"));
        EXPECT_EQ(boxes[0].toObject()["text"].toString(), u(c.message));
        EXPECT_FALSE(run.shows(0, "pnConsultaEtiq")) << "the hint line stays hidden";
        // Not configured: the clock does not touch a database, so nothing more is reported.
        EXPECT_TRUE(run.boxes(1).isEmpty());
        EXPECT_EQ(run.text(1, "pnEsteira"), QStringLiteral("Esteira 01"));
        // A scan opens no database either: the reason is repeated in the message panel.
        EXPECT_TRUE(run.boxes(2).isEmpty());
        EXPECT_EQ(run.text(2, "pnMens"), u(c.message));
        EXPECT_EQ(run.color(2, "pnMens"), kRed);
    }
}

TEST_F(Station, UnreachableAccessServerEndsTheProcess) {
    const auto run = runStation(m_db.dir(), conveyorIni(m_db.path(), "CHAVE=1\r\n[VEKSERVER]\r\nHOST=127.0.0.1:9\r\n"),
                                {QStringLiteral("123")});
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.lines.size(), 1u) << run.errors.toStdString();
    ASSERT_EQ(run.boxes(0).size(), 1);
    EXPECT_EQ(run.boxes(0)[0].toObject()["title"].toString(), QStringLiteral("Falha ao conectar."));
}

TEST_F(Station, MinimalSettingsStartInConveyorMode) {
    const auto run = runStation(m_db.dir(), conveyorIni(m_db.path()), {});
    ASSERT_EQ(run.lines.size(), 1u) << run.errors.toStdString();
    EXPECT_TRUE(run.boxes(0).isEmpty()) << QJsonDocument(run.boxes(0)).toJson().toStdString();
    EXPECT_TRUE(run.text(0, "pnEsteira").endsWith(QStringLiteral("  -  ESTEIRA 01")));
    EXPECT_EQ(run.text(0, "pnQtParesDia"), QStringLiteral("0"));
    EXPECT_EQ(run.text(0, "pnQtParesMes"), u("Produção do Mês: 000"));
    EXPECT_EQ(run.text(0, "sbQuilbar.1"), QStringLiteral(" BD: ") + QString::fromStdString(m_db.path()));
    EXPECT_TRUE(run.text(0, "sbQuilbar.0").startsWith(QStringLiteral(" Data : ")));
    EXPECT_FALSE(run.shows(0, "pnConsultaEtiq"));
    EXPECT_FALSE(run.shows(0, "lbUltAtu")) << "the side panel is collapsed";
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(Station, PicturesFromTheCatalogue) {
    TestDb cat(Schema::Catalogue);
    box(m_db, 6001);
    // A picture that is neither JPEG nor PNG leaves the placeholder; a missing catalogue path keeps
    // pictures off without stopping the station.
    cat.exec("insert into PADRONIZ_PRODUTO (PRODUTO_PP, PADRONIZ_PP, THUMB_PP) values ('P100', '00001', "
             "'not a picture')");
    auto run = runStation(m_db.dir(), conveyorIni(m_db.path(), "BDADOS_CATALOGO=" + cat.path() + "\r\n"),
                          {QStringLiteral("6001")});
    ASSERT_EQ(run.lines.size(), 2u) << run.errors.toStdString();
    EXPECT_TRUE(run.boxes(1).isEmpty());
    EXPECT_TRUE(run.shows(1, "imgProdAtu"));
    EXPECT_EQ(run.text(1, "pnQtParesDia"), QStringLiteral("1"));

    run = runStation(m_db.dir(), conveyorIni(m_db.path(), "BDADOS_CATALOGO=\r\n"), {});
    ASSERT_EQ(run.lines.size(), 1u) << run.errors.toStdString();
    EXPECT_TRUE(run.boxes(0).isEmpty());
    EXPECT_TRUE(run.shows(0, "imgProdAtu"));
    run = runStation(m_db.dir(), conveyorIni(m_db.path(), "EXIBIR_IMG_PRODUTO=N\r\n"), {});
    ASSERT_EQ(run.lines.size(), 1u) << run.errors.toStdString();
    EXPECT_FALSE(run.shows(0, "imgProdAtu"));
}

TEST_F(Station, PasswordComesFromTheKeyAgainstTheServer) {
    const std::string remote = m_db.remoteLocation();
    auto ok = runStation(m_db.dir(), conveyorIni(remote, "CHAVE=2\r\n"), {});
    ASSERT_EQ(ok.lines.size(), 1u) << ok.errors.toStdString();
    EXPECT_TRUE(ok.boxes(0).isEmpty());
    EXPECT_TRUE(ok.text(0, "pnEsteira").endsWith(QStringLiteral("ESTEIRA 01")));

    for (const char* key : {"1", "9"}) {
        SCOPED_TRACE(key);
        auto bad = runStation(m_db.dir(), conveyorIni(remote, std::string("CHAVE=") + key + "\r\n"), {});
        ASSERT_EQ(bad.lines.size(), 1u) << bad.errors.toStdString();
        ASSERT_EQ(bad.boxes(0).size(), 1);
        EXPECT_TRUE(bad.boxes(0)[0].toObject()["text"].toString().contains(QStringLiteral("password")))
            << bad.boxes(0)[0].toObject()["text"].toString().toStdString();
    }
}

TEST_F(Station, RefusalsInTheirOrder) {
    param(m_db, "ALERTA_SONORO", "S");
    box(m_db, 1001, "cast('now' as timestamp) - 200");
    box(m_db, 1002, "cast('now' as timestamp) - 1", "null", "cast('2024-05-19 08:05:00' as timestamp)");
    box(m_db, 1234567, "cast('now' as timestamp) - 1", "cast('2024-05-18 17:45:00' as timestamp)");
    box(m_db, 1003, "cast('now' as timestamp) - 200", "null", "cast('2024-05-19 08:05:00' as timestamp)");
    const auto run =
        runStation(m_db.dir(), conveyorIni(m_db.path()),
                   {QStringLiteral(""), QStringLiteral("abc"), QStringLiteral("999"), QStringLiteral("1001,5"),
                    QStringLiteral("1001"), QStringLiteral("1002"), QStringLiteral("1234567"), QStringLiteral("1003")});
    ASSERT_EQ(run.lines.size(), 9u) << run.errors.toStdString();
    const QString alarm = QStringLiteral("[[1800,100],[1450,100],[1800,100],[1450,250]]");
    const QString expected[] = {
        u("Código Inválido."),
        u("Código Inválido."),
        u("Código não localizado."),
        u("Código não localizado."),
        {},
        u("Código CANCELADO em 19/05 08:05"),
        u("Código \"1.234.567\" já baixado em 18/05/2024 17:45"),
        {},
    };
    for (std::size_t i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const QString text = run.text(i + 1, "pnMens");
        if (expected[i].isEmpty()) {
            EXPECT_TRUE(text.startsWith(u("Código com data Emissão "))) << text.toStdString();
            EXPECT_TRUE(text.endsWith(u(" maior que 90 dias."))) << text.toStdString();
        } else {
            EXPECT_EQ(text, expected[i]);
        }
        EXPECT_EQ(run.color(i + 1, "pnMens"), kRed);
        EXPECT_EQ(QString::fromUtf8(QJsonDocument(run.tones(i + 1)).toJson(QJsonDocument::Compact)), alarm);
        EXPECT_EQ(run.text(i + 1, "edCodBar"), QString());
    }
    EXPECT_EQ(run.text(3, "edProd"), QString()) << "not found clears the label data";
    EXPECT_EQ(run.text(5, "edProd"), QStringLiteral("P100")) << "a refused box is still shown";

    // Nothing was written off.
    auto c = m_db.connect();
    db::Query q(*c);
    q.setSql("select count(*) as N from CODCXUNIT where DTBAIXA_CX is not null");
    q.open();
    EXPECT_EQ(q.field("N").asInt(), 1);
}

TEST_F(Station, ConveyorScanWritesOffAndCounts) {
    param(m_db, "MSG_CONLUSAO", "S");
    param(m_db, "ALERTA_SONORO", "S");
    box(m_db, 2001);
    box(m_db, 2002);
    box(m_db, 2003, "cast('now' as timestamp)", "null", "cast('now' as timestamp)"); // cancelled, not counted
    const auto run = runStation(m_db.dir(), conveyorIni(m_db.path(), "FUNCIONARIO=7\r\n"),
                                {QStringLiteral("2001"), QStringLiteral("2001")});
    ASSERT_EQ(run.lines.size(), 3u) << run.errors.toStdString();
    EXPECT_EQ(run.text(1, "pnMens"), QStringLiteral("Etiqueta Atualizada."));
    EXPECT_EQ(run.color(1, "pnMens"), kGreen);
    EXPECT_EQ(QString::fromUtf8(QJsonDocument(run.tones(1)).toJson(QJsonDocument::Compact)),
              QStringLiteral("[[2450,120],[2800,140]]"));
    EXPECT_EQ(run.text(1, "pnQtParesDia"), QStringLiteral("1"));
    EXPECT_EQ(run.text(1, "pnQtParesMes"), u("Produção do Mês: 001"));
    EXPECT_EQ(run.text(1, "edTotEtiq"), QStringLiteral("1/2")) << "one of two boxes not cancelled";
    EXPECT_EQ(run.text(1, "edPad"), QStringLiteral("00001 "));
    const QJsonArray grid = run.grid(1, "dbgProducaoHora");
    ASSERT_EQ(grid.size(), 1);
    EXPECT_TRUE(grid[0].toArray()[0].toString().contains(QStringLiteral(" as ")));
    EXPECT_EQ(grid[0].toArray()[1].toString(), QStringLiteral("001"));
    // The second scan of the same box is refused as already written off.
    EXPECT_TRUE(run.text(2, "pnMens").contains(u("já baixado em"))) << run.text(2, "pnMens").toStdString();

    auto c = m_db.connect();
    db::Query q(*c);
    q.setSql("select ESTEIRA_CX, FUNCIONARIO_CX, DTBAIXA_CX from CODCXUNIT where CODIGO_CX = 2001");
    q.open();
    EXPECT_EQ(q.field("ESTEIRA_CX").asString(), "01");
    EXPECT_EQ(q.field("FUNCIONARIO_CX").asString(), "7");
    EXPECT_FALSE(q.field("DTBAIXA_CX").isNull());
}

TEST_F(Station, ErrorInTheUpdateShowsBothBoxesAndEndsTheScan) {
    param(m_db, "MSG_CONLUSAO", "S");
    box(m_db, 2101);
    m_db.exec("create exception E_BLOCKED 'box blocked by the test';\n"
              "set term ^ ;\n"
              "create trigger T_BLOCK for CODCXUNIT before update as begin exception E_BLOCKED; end^\n"
              "set term ; ^\n");
    const auto run = runStation(m_db.dir(), conveyorIni(m_db.path()), {QStringLiteral("2101")});
    ASSERT_EQ(run.lines.size(), 2u) << run.errors.toStdString();
    const QJsonArray boxes = run.boxes(1);
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[0].toObject()["title"].toString(), QStringLiteral("Erro"));
    const QString first = boxes[0].toObject()["text"].toString();
    EXPECT_TRUE(first.startsWith(QStringLiteral("Erro ao atualizar a Etiqueta \"2101\".\r"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("box blocked by the test"))) << first.toStdString();
    EXPECT_EQ(boxes[1].toObject()["title"].toString(), QStringLiteral("VEK - Atualizacao de Etiquetas"));
    EXPECT_TRUE(boxes[1].toObject()["text"].toString().contains(QStringLiteral("box blocked by the test")));
    // No counters, no success message.
    EXPECT_EQ(run.text(1, "pnQtParesDia"), QStringLiteral("0"));
    EXPECT_EQ(run.text(1, "pnMens"), QString());
}

TEST_F(Station, SuccessMessageAndTonesFollowTheParameters) {
    struct Case {
        const char* msg;
        const char* tones;
        bool panel;
        int toneCount;
    } cases[] = {{"N", "S", false, 2}, {"S", "N", true, 0}, {"N", "N", false, 0}};
    int code = 3000;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.msg) + c.tones);
        TestDb db(Schema::Main);
        param(db, "MSG_CONLUSAO", c.msg);
        param(db, "ALERTA_SONORO", c.tones);
        box(db, ++code);
        const auto run = runStation(db.dir(), conveyorIni(db.path()), {QString::number(code)});
        ASSERT_EQ(run.lines.size(), 2u) << run.errors.toStdString();
        EXPECT_EQ(run.text(1, "pnMens").isEmpty(), !c.panel);
        EXPECT_EQ(run.tones(1).size(), c.toneCount);
        EXPECT_EQ(run.text(1, "pnQtParesDia"), QStringLiteral("1"));
    }
}

TEST_F(Station, SectorModeWritesOffOnlyInTheLastSector) {
    m_db.exec("insert into SETOR (COD_SE, NOME_SE) values ('10', 'CORTE');"
              "insert into FUNCIONARIO (CODIGO_FU, NOME_FU) values ('7', 'ANA')");
    box(m_db, 4001);
    box(m_db, 4002);
    const std::string sector = "ATU_PRODUCAO_SETOR_CXUNIT=S\r\nSETOR=10\r\nFUNCIONARIO=7\r\n";
    auto run = runStation(m_db.dir(), conveyorIni(m_db.path(), sector + "ULTIMO_SETOR_ATU_CXUNIT=40\r\n"),
                          {QStringLiteral("4001")});
    ASSERT_EQ(run.lines.size(), 2u) << run.errors.toStdString();
    EXPECT_EQ(run.text(0, "pnFuncSetor"), u("FUNCIONÁRIO: 7 - ANA    SETOR: 10 - CORTE"));
    EXPECT_TRUE(run.shows(0, "pnConsultaEtiq"));
    EXPECT_EQ(run.text(1, "pnQtParesDia"), QStringLiteral("1"));
    run = runStation(m_db.dir(), conveyorIni(m_db.path(), sector + "ULTIMO_SETOR_ATU_CXUNIT=10\r\n"),
                     {QStringLiteral("4002")});
    ASSERT_EQ(run.lines.size(), 2u) << run.errors.toStdString();

    auto c = m_db.connect();
    db::Query q(*c);
    q.setSql("select CODIGO_CX, SETOR_CX from CODCXUNIT where DTBAIXA_CX is not null order by 1");
    q.open();
    ASSERT_EQ(q.recordCount(), 1u);
    EXPECT_EQ(q.field("CODIGO_CX").asInt(), 4002);
    EXPECT_EQ(q.field("SETOR_CX").asString(), "10");
}

TEST_F(Station, CountersOfTheMonthSkipOtherConveyorsAndSubtractCancellations) {
    box(m_db, 5001, "cast('now' as timestamp)", "cast('now' as timestamp)", "null", "'01'");
    box(m_db, 5002, "cast('now' as timestamp)", "cast('now' as timestamp)", "cast('now' as timestamp)", "'01'");
    box(m_db, 5003, "cast('now' as timestamp)", "cast('now' as timestamp)", "null", "'02'");
    const bool earlierDay = QDate::currentDate().day() > 2;
    if (earlierDay) {
        box(m_db, 5004, "cast('now' as timestamp) - 1", "cast('now' as timestamp) - 1", "null", "'01'");
        box(m_db, 5005, "cast('now' as timestamp) - 1", "cast('now' as timestamp) - 1", "cast('now' as timestamp)",
            "'01'");
    }
    box(m_db, 5009, "cast('now' as timestamp) - 40", "cast('now' as timestamp) - 40", "null", "'01'");
    const auto run = runStation(m_db.dir(), conveyorIni(m_db.path()), {});
    ASSERT_EQ(run.lines.size(), 1u) << run.errors.toStdString();
    EXPECT_EQ(run.text(0, "pnQtParesDia"), QStringLiteral("2"));
    EXPECT_EQ(run.text(0, "pnQtParesMes"), earlierDay ? u("Produção do Mês: 004") : u("Produção do Mês: 002"));
    EXPECT_EQ(run.text(0, "pnQtParCancMes"), earlierDay ? u("Cancelados do Mês: 002") : u("Cancelados do Mês: 001"));
    EXPECT_EQ(run.text(0, "pnTotQtParMes"), earlierDay ? u("Total do Mês: 002") : u("Total do Mês: 001"));
    if (earlierDay) {
        EXPECT_EQ(run.text(0, "pnQtParesDiaAnt"), u("Produção dia Ant: 002"));
        EXPECT_EQ(run.text(0, "pnQtParCancDiaAnt"), u("Cancelados dia Ant: 001"));
        EXPECT_EQ(run.text(0, "pnTotQtParDiaAnt"), u("Total dia Ant: 001"));
    }
    const QJsonArray grid = run.grid(0, "dbgProducaoHora");
    ASSERT_EQ(grid.size(), 1);
    EXPECT_EQ(grid[0].toArray()[1].toString(), QStringLiteral("002"));
}

TEST_F(Station, ScanModeHidesTheCountersAndRaisesTheOperatorLine) {
    m_db.exec("insert into FUNCIONARIO (CODIGO_FU, NOME_FU) values ('7', 'ANA')");
    const auto run = runStation(m_db.dir(), conveyorIni(m_db.path(), "MODO_BIPAGEM=S\r\nFUNCIONARIO=7\r\n"), {});
    ASSERT_EQ(run.lines.size(), 1u) << run.errors.toStdString();
    for (const char* hidden : {"pnProducaoDia", "pnQtParesDia", "pnQtParesMes", "pnTotQtParMes", "pnConsultaEtiq"}) {
        EXPECT_FALSE(run.shows(0, hidden)) << hidden;
    }
    EXPECT_TRUE(run.grid(0, "dbgProducaoHora").isEmpty());
    EXPECT_EQ(run.text(0, "pnFuncSetor"), u("FUNCIONÁRIO: 7 - ANA"));
}

TEST_F(Station, CompanyFelqarHidesTheTotalsRows) {
    m_db.exec("update CONFIG set NOME_EMPRESA = 'FELQAR'");
    const auto run = runStation(m_db.dir(), conveyorIni(m_db.path()), {});
    ASSERT_EQ(run.lines.size(), 1u) << run.errors.toStdString();
    EXPECT_TRUE(run.shows(0, "pnQtParesDia"));
    for (const char* hidden : {"pnQtParesMes", "pnQtParCancMes", "pnTotQtParMes"}) {
        EXPECT_FALSE(run.shows(0, hidden)) << hidden;
    }
}

TEST_F(Station, ParameterWarningsAndConversionErrorsAtStartUp) {
    // A configured branch never warns, whatever the order the rows come back in (storage order here,
    // the other row first).
    TestDb configured(Schema::Main);
    param(configured, "OUTRO", "x", "PRODUCAO_ESTOQUE");
    param(configured, "FILIAL_ESTOQUE", "5", "PRODUCAO_ESTOQUE");
    auto run = runStation(configured.dir(), conveyorIni(configured.path()), {});
    ASSERT_EQ(run.lines.size(), 1u) << run.errors.toStdString();
    EXPECT_EQ(run.boxes(0).size(), 0);

    // Rows of the group without a branch warn once, not once per row.
    param(m_db, "OUTRO", "x", "PRODUCAO_ESTOQUE");
    param(m_db, "MAIS_UM", "y", "PRODUCAO_ESTOQUE");
    param(m_db, "FILIAL_ESTOQUE", "0", "PRODUCAO_ESTOQUE");
    run = runStation(m_db.dir(), conveyorIni(m_db.path()), {});
    ASSERT_EQ(run.lines.size(), 1u) << run.errors.toStdString();
    ASSERT_EQ(run.boxes(0).size(), 1);
    EXPECT_EQ(run.boxes(0)[0].toObject()["title"].toString(), QStringLiteral("Alerta"));
    EXPECT_EQ(run.boxes(0)[0].toObject()["text"].toString(),
              u("A filial do estoque de produção não foi configurada na tabela PARAM.\rGrupo: PRODUCAO_ESTOQUE, "
                "Param: FILIAL_ESTOQUE"));

    TestDb bad(Schema::Main);
    param(bad, "FILIAL_ESTOQUE", "abc");
    run = runStation(bad.dir(), conveyorIni(bad.path()), {});
    ASSERT_EQ(run.lines.size(), 1u) << run.errors.toStdString();
    ASSERT_EQ(run.boxes(0).size(), 1);
    EXPECT_EQ(run.boxes(0)[0].toObject()["text"].toString(), QStringLiteral("'abc' is not a valid integer value"));
}

} // namespace
