// Stock booking and the sub-ticket label end to end: the station executable in script mode
// against a copy of the reference database, Brazilian formats.
#include "StationRun.h"
#include "db/Query.h"
#include "support/Box.h"
#include "support/TestDb.h"

#include <QJsonDocument>

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
using vek::test::StationRun;
using vek::test::TestDb;
using vek::test::u;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// A copy of the main database with the products, order and brand the cases share.
class StockDb {
public:
    StockDb() {
        m_db.exec("insert into PRODUTO (COD_PR, GRUPO_PR) values ('P100', '20');"
                  "insert into PRODUTO (COD_PR, GRUPO_PR) values ('P200', ' 20');"
                  "insert into PEDVENDA (NUM_PV, TIPO_PV, FILIAL_PV) values ('00001000', 'EX', 0);"
                  "insert into TABELA (NUM_TA, COD_TA, DESC_TA) values ('70', 'M7', 'MARCA SETE')");
        param("MSG_CONLUSAO", "S");
    }

    void param(const std::string& name, const std::string& value, const std::string& group = "ATU_CAIXA_UNITARIA") {
        m_db.exec("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('" + group + "', '" + name + "', '" +
                  value + "')");
    }
    void box(int code, const std::string& pedido = "", const std::string& item = "", const std::string& prod = "P100",
             const std::string& tam = "38") {
        m_db.exec(Box::usual(code).prod(prod).tam(tam).marca("MARCA SETE").pedido(pedido).item(item).sql());
    }
    void orderItem(const std::string& ped, const std::string& item, int qtped) {
        m_db.exec("insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, PROG_IT, FICHA_IT, SIT_IT) values ('" +
                  ped + "', '" + item +
                  "', 'P100', '00001', '000123', '0001', 'P');"
                  "insert into ITENSPVGRADE (PEDIDO_IT, ITEM_IT, TAM_IT, QTPED_IT) values ('" +
                  ped + "', '" + item + "', '38', " + std::to_string(qtped) + ")");
    }
    Rows rows(const std::string& sql) const { return m_db.rows(sql); }
    int count(const std::string& fromWhere) const { return std::stoi(rows("select count(*) " + fromWhere)[0][0]); }
    StationRun run(const QStringList& script) const {
        auto r = runStation(m_db.dir(), conveyorIni(m_db.path()), script);
        EXPECT_EQ(r.lines.size(), static_cast<std::size_t>(script.size()) + 1) << r.errors.toStdString();
        EXPECT_EQ(r.exitCode, 0);
        return r;
    }

    TestDb m_db{Schema::Main};
};

class StockScript : public ::testing::Test, public StockDb {};

TEST_F(StockScript, OwnMovementRowsTheirFiltersAndTheCompletedOrderItem) {
    param("ATUALIZAR_ESTOQUE", "S");
    param("FILIAL_ESTOQUE", "3");
    param("TIPO_MOVTO_ESTOQUE", "EPA");
    param("GRUPO_PROD_ATUALIZAR_ESTOQUE", "10, 20");
    orderItem("00001000", "001", 2);
    box(1234567, "00001000", "001");
    box(1234568, "00001000", "001");
    box(500);
    box(600, "", "", "P200"); // group " 20": not one of the list
    const auto r = run({"1234567", "500", "600", "1234568"});
    for (std::size_t line = 1; line <= 4; ++line) {
        SCOPED_TRACE(line);
        ASSERT_LT(line, r.lines.size());
        EXPECT_EQ(r.text(line, "pnMens"), QStringLiteral("Etiqueta Atualizada."));
        EXPECT_EQ(r.color(line, "pnMens"), kGreen);
        EXPECT_TRUE(r.boxes(line).isEmpty()) << QJsonDocument(r.boxes(line)).toJson().toStdString();
    }
    EXPECT_EQ(rows("select DOCTO_MV, ENTSAI_MV, PROD_MV, PADRON_MV, MARCA_MV, FILIAL_MV, NUMERACAO_MV, GRADE_MV, "
                   "cast(QTDE_MV as integer), OBS_MV, USUARIO_MV, cast(QTPEND_MV as integer), PEDIDO_ENTRADA_MV, "
                   "ITEMPED_ENTRADA_MV, TIPOMOV_MV, MULTIPLICADOR_MV, CODIGO_CXUNIT_MV, PROG_MV, FICHA_MV "
                   "from PROD_ESTOQUE_MOV order by CODIGO_MV"),
              (Rows{{"00001000", "E", "P100", "00001", "M7", "3", "38", "**", "1",
                     "Entrada pelo programa Quilbar C\xf3"
                     "d. Cx Unit \"1.234.567\".",
                     "ESTEIRA 01", "1", "00001000", "001", "EPA", "1", "1234567", "000123", "0001"},
                    {"ETAVULSA", "E", "P100", "00001", "M7", "3", "38", "**", "1",
                     "Entrada pelo programa Quilbar C\xf3"
                     "d. Cx Unit \"500\".",
                     "ESTEIRA 01", "1", "", "", "EPA", "1", "500", "000123", "0001"},
                    {"00001000", "E", "P100", "00001", "M7", "3", "38", "**", "1",
                     "Entrada pelo programa Quilbar C\xf3"
                     "d. Cx Unit \"1.234.568\".",
                     "ESTEIRA 01", "1", "00001000", "001", "EPA", "1", "1234568", "000123", "0001"}}));
    // The movement is dated with the scan's server time.
    EXPECT_EQ(count("from PROD_ESTOQUE_MOV where DATA_MV >= cast('today' as timestamp) and DATA_MV <= "
                    "cast('now' as timestamp)"),
              3);
    // The second box completed the order item; the box without order completed nothing.
    EXPECT_EQ(rows("select SIT_IT from ITENSPV"), (Rows{{"E"}}));
    EXPECT_EQ(rows("select CHAVE_LG, ARQ_LG, CAMPO_LG, USUARIO_LG, VRANT_LG, VRATU_LG from LOG"),
              (Rows{{"00001000|001", "ITENSPV", "SIT_IT", "ESTEIRA 01",
                     "ESTOQUE AUTOM\xc1TICO PELA ATUALIZA\xc7\xc3O CX UNIT\xc1RIA", "E"}}));
}

TEST_F(StockScript, ARefusedStockInsertShowsTheUpdateErrorAndUndoesTheScan) {
    param("ATUALIZAR_ESTOQUE", "S");
    box(42);
    m_db.exec("alter table PROD_ESTOQUE_MOV add constraint CK_NO_STOCK check (QTDE_MV > 1)");
    const auto r = run({"42"});
    ASSERT_EQ(r.lines.size(), 2u);
    const QJsonArray boxes = r.boxes(1);
    ASSERT_GE(boxes.size(), 1);
    EXPECT_EQ(boxes[0].toObject()["title"].toString(), QStringLiteral("Erro"));
    EXPECT_TRUE(
        boxes[0].toObject()["text"].toString().startsWith(QStringLiteral("Erro ao atualizar a Etiqueta \"42\".\r")));
    EXPECT_TRUE(boxes[0].toObject()["text"].toString().contains(QStringLiteral("CK_NO_STOCK")));
    EXPECT_NE(r.text(1, "pnMens"), QStringLiteral("Etiqueta Atualizada."));
    EXPECT_EQ(r.text(1, "pnQtParesDia"), QStringLiteral("0"));
    EXPECT_EQ(count("from PROD_ESTOQUE_MOV"), 0);
    EXPECT_EQ(count("from CODCXUNIT where CODIGO_CX = 42 and DTBAIXA_CX is not null"), 0);
}

TEST_F(StockScript, ProductionStockBookingsWithTheSwitchOff) {
    const struct {
        const char* caso;
        const char* branch; // PRODUCAO_ESTOQUE / FILIAL_ESTOQUE, none when null
        const char* unitBoxSwitch;
        int qtped;
        int entries; // after scanning two boxes of the order item
    } cases[] = {
        {"branch 5, a line of two", "5", nullptr, 2, 2},
        {"branch 5, a line of one: the second box finds it fully booked", "5", nullptr, 1, 1},
        {"branch 5, switch N", "5", "N", 2, 0},
        {"no branch", nullptr, nullptr, 2, 0},
        {"branch 0", "0", nullptr, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caso);
        StockDb t;
        if (c.branch) t.param("FILIAL_ESTOQUE", c.branch, "PRODUCAO_ESTOQUE");
        if (c.unitBoxSwitch) t.param("ATU_CODCXUNIT", c.unitBoxSwitch, "PRODUCAO_ESTOQUE");
        t.orderItem("00001000", "001", c.qtped);
        t.box(21, "00001000", "001");
        t.box(22, "00001000", "001");
        const auto r = t.run({"21", "22"});
        ASSERT_EQ(r.lines.size(), 3u);
        // A branch of 0 is reported at start-up, once per row of the group.
        const int warnings = c.branch && std::string(c.branch) == "0" ? 1 : 0;
        ASSERT_EQ(r.boxes(0).size(), warnings);
        for (std::size_t line = 1; line <= 2; ++line) {
            EXPECT_EQ(r.text(line, "pnMens"), QStringLiteral("Etiqueta Atualizada."));
            EXPECT_TRUE(r.boxes(line).isEmpty());
        }
        EXPECT_EQ(t.count("from ENTRADAMP where USUARIO_EMP = 'QUILBAR' and TAMANHO_EMP = '38' and QTDE_EMP = 1 and "
                          "DATA_EMP = cast('today' as timestamp)"),
                  c.entries);
        EXPECT_EQ(t.count("from ENTRADAMP"), c.entries);
        EXPECT_EQ(t.count("from PRODUCAO_ESTOQUE where STATUS_ES = 'A' and CODIGO_CXUNIT_ES in (21, 22)"), c.entries);
        EXPECT_EQ(t.count("from PROD_ESTOQUE_MOV"), 0);
    }
}

TEST_F(StockScript, SubTicketLabels) {
    param("ATUALIZAR_ESTOQUE", "S");
    for (int i = 1; i <= 5; ++i) box(100 + i, "00001000", "00" + std::to_string(i));
    box(200, "", "", "P100", "40");
    m_db.exec("insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values "
              "(1, '000123', '0001', '0001', '38', 3);"
              "insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values "
              "(2, '000123', '0001', '0002', '38', 0);"
              "insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values "
              "(3, '000123', '0001', '0003', '41', 2);"
              "insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values "
              "(4, '000123', '0001', '0004', '38', 4)");
    const auto r = run({"200012300019999", "200012300010001", "200012300010001", "200012300010002", "200012300010003",
                        "200012300010004"});
    ASSERT_EQ(r.lines.size(), 7u);
    const struct {
        const char* message;
        const QString& colour;
        const char* count;
        const char* day;
    } expected[] = {
        {"Subficha não localizada (000123/0001/9999).", kRed, "", "0"},
        {"Etiqueta Atualizada.", kGreen, "3/3", "3"},
        {"Subficha já baixada (000123/0001/0001).", kRed, "3/3", "3"},
        {"Códigos da subficha já baixados. (000123/0001/0002).", kRed, "", "3"},
        {"Cód. cx unit não encontrados. (000123/0001/0003).", kRed, "", "3"},
        {"Etiqueta Atualizada.", kGreen, "2/4", "5"},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(r.text(i + 1, "pnMens"), u(expected[i].message));
        EXPECT_EQ(r.color(i + 1, "pnMens"), expected[i].colour);
        EXPECT_EQ(r.text(i + 1, "edTotEtiq"), QString::fromLatin1(expected[i].count));
        EXPECT_EQ(r.text(i + 1, "pnQtParesDia"), QString::fromLatin1(expected[i].day));
        EXPECT_EQ(r.text(i + 1, "edCodBar"), QString());
        EXPECT_TRUE(r.boxes(i + 1).isEmpty());
    }
    EXPECT_EQ(r.text(2, "edFicha"), QStringLiteral("0001/0001"));
    EXPECT_EQ(r.text(2, "edProg"), QStringLiteral("000123"));
    EXPECT_EQ(count("from CODCXUNIT where DTBAIXA_CX is not null and ESTEIRA_CX = '01'"), 5);
    EXPECT_EQ(count("from CODCXUNIT where CODIGO_CX = 200 and DTBAIXA_CX is null"), 1);
    EXPECT_EQ(rows("select SUBFICHA_PR from SUBPROD where DTBAIXA_PR is not null order by SUBFICHA_PR"),
              (Rows{{"0001"}, {"0002"}, {"0004"}}));
    // One movement per sub-ticket that wrote boxes off, none for the one of quantity 0.
    const Rows mv = rows("select OBS_MV, CODIGO_CXUNIT_MV, DOCTO_MV, ITEMPED_ENTRADA_MV from PROD_ESTOQUE_MOV "
                         "order by CODIGO_MV");
    ASSERT_EQ(mv.size(), 2u);
    EXPECT_EQ(mv[0][0], "Entrada pelo programa Quilbar Baixa de SubFicha Prog/Ficha/SubFicha \"000123/0001/0001\".");
    EXPECT_EQ(mv[1][0], "Entrada pelo programa Quilbar Baixa de SubFicha Prog/Ficha/SubFicha \"000123/0001/0004\".");
    for (const auto& m : mv) {
        EXPECT_EQ(m[1], "0");
        EXPECT_EQ(m[2], "00001000");
    }
    // Each movement is of a box its own scan wrote off: the first sub-ticket's box is one of the three
    // written off first (two later ones), the last sub-ticket's one of the two written off last.
    EXPECT_GE(
        count("from CODCXUNIT A join CODCXUNIT B on B.DTBAIXA_CX > A.DTBAIXA_CX where A.ITEM_CX = '" + mv[0][3] + "'"),
        2);
    EXPECT_GE(
        count("from CODCXUNIT A join CODCXUNIT B on B.DTBAIXA_CX < A.DTBAIXA_CX where A.ITEM_CX = '" + mv[1][3] + "'"),
        3);
}

} // namespace
