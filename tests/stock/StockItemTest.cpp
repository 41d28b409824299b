// Stock items of product, pattern and size, their codes and descriptions; rounding and ids.
#include "db/Query.h"
#include "stock/StockTestSupport.h"

#include <stdexcept>

using namespace vek;
using namespace vek::stock;
using namespace vek::stock::test;

namespace {

TEST(Arredondar, HalfAwayFromZeroAfterDroppingTheRepresentationError) {
    const struct {
        double valor;
        int casas;
        double esperado;
    } casos[] = {
        {0.125, 2, 0.13}, {-0.125, 2, -0.13}, {1.005, 2, 1.01}, {-1.005, 2, -1.01},  {1.0049, 2, 1.0},
        {2.5, 0, 3.0},    {-2.5, 0, -3.0},    {-0.4, 0, 0.0},   {0.1 + 0.2, 8, 0.3}, {2.123456785, 8, 2.12345679},
        {7.0, 8, 7.0},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(testing::Message() << c.valor << " to " << c.casas);
        EXPECT_DOUBLE_EQ(TdmEstoqueProducao::Arredondar(c.valor, c.casas), c.esperado);
    }
}

class StockItem : public StockDbTest {
protected:
    void SetUp() override {
        m_db.exec("insert into PRODUTO (COD_PR, DESC_PR, DESCNF_PR) values ('P1', 'TENIS', 'TENIS NF');"
                  "insert into PRODUTO (COD_PR, DESC_PR, DESCNF_PR) values ('P2', 'SAPATO', '');"
                  "insert into PRODUTO (COD_PR, DESC_PR, DESCNF_PR) values ('P''Q', 'BOTA', null);"
                  "insert into PADRONIZ_PRODUTO (PROD_PP, PADRONIZ_PP, DESC_PP) values ('P1', '01', 'PRETO');"
                  "insert into PADRONIZ_PRODUTO (PROD_PP, PADRONIZ_PP, DESC_PP) values ('P2', '01', 'AZUL');"
                  "insert into PADRONIZ_PRODUTO (PROD_PP, PADRONIZ_PP, DESC_PP) values ('P''Q', '02', 'CAFE');"
                  "insert into PADRONIZ_PRODUTO (PROD_PP, PADRONIZ_PP, DESC_PP) values ('P1', '03', '');"
                  "insert into FILIAL (COD_FI, EMISNOTA_FORMA_AGRUP_ITENS_FI) values (2, 'PRODPADTAMREF');"
                  "insert into FILIAL (COD_FI, EMISNOTA_FORMA_AGRUP_ITENS_FI) values (3, 'PRODPAD')");
    }
};

TEST_F(StockItem, NewItemsGetTheirCodeStarsAndDescription) {
    const struct {
        const char *prod, *padron, *tam;
        int filial;
        const char *codigo, *padronPi, *tamanhoPi, *descricao;
    } casos[] = {
        {"P1", "*", "38", 1, "P1.38", "*", "38", "TENIS NF"},
        {"P1", "", "*", 1, "P1", "*", "*", "TENIS NF"},
        {"P1", "01", "37", 1, "P1.01.37", "01", "37", "TENIS NF PRETO 37"},
        {"P1", "01", "* ", 1, "P1.01", "01", "*", "TENIS NF PRETO *"},
        {"P2", "01", "38", 2, "P2.01.38", "01", "38", "SAPATO AZUL 38 REF P2.01.38"},
        {"P2", "01", "", 2, "P2.01", "01", "*", "SAPATO AZUL REF P2.01"},
        {"P2", "01", "39", 3, "P2.01.39", "01", "39", "SAPATO AZUL 39"},
        {"P1", "03", "38", 2, "P1.03.38", "03", "38", "TENIS NF"},                     // pattern without description
        {"P1", "09", "38", 2, "P1.09.38", "09", "38", "TENIS NF"},                     // pattern without row
        {"P9", "01", "38", 2, "P9.01.38", "01", "38", ""},                             // product without row
        {"P'Q", "02", "40", 2, "P'Q.02.40", "02", "40", "BOTA CAFE 40 REF P'Q.02.40"}, // a quote in the code
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.codigo);
        const std::int32_t id = m_dm.BuscarProdItemEstoque(c.prod, c.padron, c.tam, c.filial);
        EXPECT_GT(id, 0);
        db::Query q(*m_con);
        q.setSql("select ID_PI, PROD_PI, PADRON_PI, TAMANHO_PI, DESCRICAO_PI, STATUS_PI, USUARIO_INCLUSAO_PI, "
                 "DATA_INCLUSAO_PI from PROD_ITEM_ESTOQUE where CODIGO_PI = :C");
        q.param("C").setString(c.codigo);
        q.open();
        ASSERT_FALSE(q.eof());
        EXPECT_EQ(q.field("ID_PI").asInt(), id);
        EXPECT_EQ(q.field("PROD_PI").asString(), c.prod);
        EXPECT_EQ(q.field("PADRON_PI").asString(), c.padronPi);
        EXPECT_EQ(q.field("TAMANHO_PI").asString(), c.tamanhoPi);
        EXPECT_EQ(q.field("DESCRICAO_PI").asString(), c.descricao);
        EXPECT_EQ(q.field("STATUS_PI").asString(), "A");
        EXPECT_EQ(q.field("USUARIO_INCLUSAO_PI").asString(), "AUTOMATICO");
        EXPECT_FALSE(q.field("DATA_INCLUSAO_PI").isNull());
    }
}

TEST_F(StockItem, AnExistingItemIsFoundByItsCodeWhateverTheBranch) {
    const std::int32_t id = m_dm.BuscarProdItemEstoque("P'Q", "02", "40", 1);
    EXPECT_EQ(m_dm.BuscarProdItemEstoque("P'Q", "02", "40", 2), id);
    // The code alone identifies it: the same code reached from a padded size and a starred pattern.
    const std::int32_t semPadron = m_dm.BuscarProdItemEstoque("P1", "*", "38", 1);
    EXPECT_EQ(m_dm.BuscarProdItemEstoque("P1", "", "38", 3), semPadron);
    EXPECT_NE(m_dm.BuscarProdItemEstoque("P1", "01", "38", 1), semPadron);
    EXPECT_EQ(contar("from PROD_ITEM_ESTOQUE"), 3);
}

TEST_F(StockItem, ParametersReadOneRowOrNothing) {
    m_db.exec("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('PRODUCAO_ESTOQUE', 'ATU_FILIAL_PROG', 'S');"
              "insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('OUTRO', 'ATU_CODCXUNIT', 'N');"
              "insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('PRODUCAO_ESTOQUE', 'ATU_CODCXCOLET', 'N')");
    EXPECT_EQ(m_dm.LerParametro("PRODUCAO_ESTOQUE", "ATU_FILIAL_PROG"), "S");
    EXPECT_EQ(m_dm.LerParametro("PRODUCAO_ESTOQUE", "NADA"), "");
    m_dm.LerParametros();
    EXPECT_TRUE(m_dm.AtuFilialProg());
    EXPECT_TRUE(m_dm.AtuCodCxUnit()); // the "N" belongs to another group
    EXPECT_FALSE(m_dm.AtuCodCxColet());
}

TEST(StockModule, RefusesToWorkWithoutAConnection) {
    TdmEstoqueProducao dm;
    EXPECT_THROW(dm.LancarEntrada(TRegEntradaEstoqueProd{}), std::logic_error);
    EXPECT_THROW(dm.CancelarEntrada(TRegEntradaEstoqueProd{}), std::logic_error);
}

} // namespace
