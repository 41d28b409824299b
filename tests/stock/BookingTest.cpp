// Bookings of production stock: request checks, the order lines and quantities of every kind, the
// rows written, the branch, the transaction, and two stations booking the same order line.
#include "db/DbError.h"
#include "db/MemTable.h"
#include "db/Query.h"
#include "stock/StockTestSupport.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <map>
#include <thread>

using namespace vek;
using namespace vek::stock;
using namespace vek::stock::test;
using T = TTipoLancProducaoEstoque;

namespace {

class Booking : public StockDbTest {
protected:
    // Size -> quantity booked, over the active links of an order item.
    std::map<std::string, double> lancado(const std::string& ped, const std::string& item) const {
        std::map<std::string, double> out;
        for (const auto& r : linhas("select E.TAMANHO_EMP, sum(E.QTDE_EMP) from PRODUCAO_ESTOQUE P "
                                    "join ENTRADAMP E on E.ITEM_EMP = P.ITEM_EMP_ES and E.FILIAL_EMP = P.FILIAL_EMP_ES "
                                    "where P.STATUS_ES = 'A' and P.PEDIDO_ES = '" +
                                    ped + "' and P.ITEM_PED_ES = '" + item + "' group by E.TAMANHO_EMP")) {
            out[r[0]] = std::stod(r[1]);
        }
        return out;
    }
    int entradas() const { return contar("from ENTRADAMP"); }
};

TEST_F(Booking, RejectedRequestsRaiseTheirMessageAndWriteNothing) {
    auto com = [](T tipo, auto preencher) {
        TRegEntradaEstoqueProd r = pedido(tipo);
        preencher(r);
        return r;
    };
    auto nada = [](TRegEntradaEstoqueProd&) {};
    const struct {
        const char* caso;
        TRegEntradaEstoqueProd reg;
        const char* mensagem;
    } casos[] = {
        {"no date", com(T::tlAvulso, [](auto& r) { r.DataLanc = DateTime(); }),
         "O parametro DataLanc não foi informado corretamente."},
        {"31/12/2016", com(T::tlAvulso, [](auto& r) { r.DataLanc = DateTime::fromDateTime(2016, 12, 31, 23, 59, 59); }),
         "O parametro DataLanc não foi informado corretamente."},
        {"kind 0 no box", com(T::tlCxUnit, nada), "O parametro CodigoCxUnit não foi informado corretamente."},
        {"kind 1 no box", com(T::tlCxColet, [](auto& r) { r.CodigoCxColet = -4; }),
         "O parametro CodigoCxColet não foi informado corretamente."},
        {"kind 2 no ticket", com(T::tlFicha, [](auto& r) { r.Programacao = "000123"; }),
         "Os parametros Programacao/Ficha não forão informados corretamente."},
        {"kind 3 no sub-ticket",
         com(T::tlSubficha,
             [](auto& r) {
                 r.Programacao = "000123";
                 r.Ficha = "0001";
             }),
         "Os parametros Programacao/Ficha/Subficha não forão informados corretamente."},
        {"kind 4 no item", com(T::tlPedidoItem, [](auto& r) { r.Pedido = "00001000"; }),
         "Os parametros Pedido/ItemPed não forão informados corretamente."},
        {"kind 5 no order", com(T::tlPedidoItemQtde, [](auto& r) { r.ItemPed = "001"; }),
         "Os parametros Pedido/ItemPed não forão informados corretamente."},
        {"kind 8 no movement", com(T::tlMovInterno, nada),
         "O parametro IdMovEstInterno não foi informado corretamente."},
        {"kind 7", com(static_cast<T>(7), nada), "Parametro TipoLancProducaoEstoque não foi informado corretamente."},
        {"kind 9", com(static_cast<T>(9), nada), "Parametro TipoLancProducaoEstoque não foi informado corretamente."},
        {"kind 255", com(static_cast<T>(255), nada),
         "Parametro TipoLancProducaoEstoque não foi informado corretamente."},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.caso);
        try {
            m_dm.LancarEntrada(c.reg);
            ADD_FAILURE() << "accepted";
        } catch (const ELancProducaoEstoqueException& e) {
            EXPECT_EQ(e.what(), cp1252(c.mensagem));
        }
        EXPECT_FALSE(m_con->inTransaction());
    }
    EXPECT_EQ(entradas(), 0);
    EXPECT_EQ(contar("from PRODUCAO_ESTOQUE"), 0);
}

TEST_F(Booking, SwitchedOffKindsEndSilentlyAndOnlyAnUpperCaseNSwitchesOff) {
    itemPedido("00001000", "001", "P1", "01", {{"38", 5}});
    caixaUnit(10, "00001000", "001", "38");
    m_db.exec("insert into CODCXCOLET (CODIGO_CX, PEDIDO_CX, ITEMPED_CX, NUMERACAO_CX, QTPARES_CX) "
              "values (20, '00001000', '001', '38 ', ' 1 ')");
    parametro("ATU_CODCXUNIT", "N");
    parametro("ATU_CODCXCOLET", "N");
    EXPECT_NO_THROW(m_dm.LancarEntrada(cxUnit(0)));
    EXPECT_NO_THROW(m_dm.LancarEntrada(cxUnit(10)));
    TRegEntradaEstoqueProd colet = pedido(T::tlCxColet);
    EXPECT_NO_THROW(m_dm.LancarEntrada(colet));
    colet.CodigoCxColet = 20;
    EXPECT_NO_THROW(m_dm.LancarEntrada(colet));
    EXPECT_EQ(entradas(), 0);

    parametro("ATU_CODCXUNIT", "n");
    parametro("ATU_CODCXCOLET", "");
    EXPECT_THROW(m_dm.LancarEntrada(cxUnit(0)), ELancProducaoEstoqueException);
    m_dm.LancarEntrada(cxUnit(10));
    m_dm.LancarEntrada(colet);
    EXPECT_EQ(entradas(), 2);
    EXPECT_TRUE(m_dm.AtuCodCxUnit());
    EXPECT_FALSE(m_dm.AtuFilialProg());
}

TEST_F(Booking, UnitBoxBooksOneInItsSizeUntilTheLineIsFull) {
    itemPedido("00001000", "001", "P1", "01", {{"37", 5}, {"38", 2}});
    // The largest box code a request can carry.
    caixaUnit(2147483647, "00001000", "001", "38");
    m_dm.LancarEntrada(cxUnit(999)); // no such box: nothing, no error
    EXPECT_EQ(entradas(), 0);
    for (int i = 0; i < 3; ++i) m_dm.LancarEntrada(cxUnit(2147483647));
    EXPECT_EQ(lancado("00001000", "001"), (std::map<std::string, double>{{"38", 2}}));
    // Lines are written only while the order line lacks; the extra booking wrote none.
    EXPECT_EQ(contar("from PRODUCAO_ESTOQUE where CODIGO_CXUNIT_ES = 2147483647"), 2);
    EXPECT_EQ(m_dm.cdsProdEst().value("QTDE_NOVO_LANC").asDouble(), 0.0);
}

TEST_F(Booking, CollectiveBoxReadsItsGridInThreeCharacterSlots) {
    itemPedido("00001000", "001", "P1", "01", {{"34", 5}, {"35", 3}, {"36", 5}, {"37", 5}, {"39", 5}});
    const struct {
        const char* caso;
        const char* numeracao;
        const char* pares;
        std::map<std::string, double> esperado;
    } casos[] = {
        {"2, 4 capped at 3, a non-number", "34 35 36 ", " 2  4 xx", {{"34", 2}, {"35", 3}}},
        {"a size twice: the later one replaces", "37 37 ", " 1  3 ", {{"37", 3}}},
        {"a blank slot ends the grid", "39    34 ", " 2  1  1 ", {{"39", 2}}},
        {"size of one character does not match a two-character size", "3", "1", {}},
    };
    std::int32_t codigo = 1;
    for (const auto& c : casos) {
        SCOPED_TRACE(c.caso);
        m_db.exec("delete from ENTRADAMP; delete from PRODUCAO_ESTOQUE");
        m_db.exec("insert into CODCXCOLET (CODIGO_CX, PEDIDO_CX, ITEMPED_CX, NUMERACAO_CX, QTPARES_CX) values (" +
                  std::to_string(codigo) + ", '00001000', '001', '" + c.numeracao + "', '" + c.pares + "')");
        TRegEntradaEstoqueProd r = pedido(T::tlCxColet);
        r.CodigoCxColet = codigo++;
        m_dm.LancarEntrada(r);
        EXPECT_EQ(lancado("00001000", "001"), c.esperado);
    }
}

TEST_F(Booking, TicketBooksWhatEachOpenLineLacks) {
    itemPedido("00001000", "001", "P1", "01", {{"37", 4}, {"38", 2}}, "000123", "0001", "P");
    itemPedido("00001000", "002", "P2", "01", {{"40", 3}}, "000123", "0001", "L");
    itemPedido("00001000", "003", "P3", "01", {{"40", 3}}, "000123", "0001", "E"); // situation not open
    itemPedido("00001000", "004", "P4", "01", {{"40", 3}}, "000123", "0002", "P"); // other ticket
    itemPedido("00001000", "005", "P5", "01", {{"40", 3}}, "000123", "0001", "P");
    m_db.exec("update ITENSPV set STATUS_IT = 'C' where ITEM_IT = '005'");
    m_dm.LancarEntrada(cxUnit(1)); // nothing: no such box
    caixaUnit(7, "00001000", "001", "38");
    m_dm.LancarEntrada(cxUnit(7));

    TRegEntradaEstoqueProd r = pedido(T::tlFicha);
    r.Programacao = "000123";
    r.Ficha = "0001";
    r.Subficha = "0005"; // cleared: a ticket booking records no sub-ticket
    m_dm.LancarEntrada(r);
    EXPECT_EQ(lancado("00001000", "001"), (std::map<std::string, double>{{"37", 4}, {"38", 2}}));
    EXPECT_EQ(lancado("00001000", "002"), (std::map<std::string, double>{{"40", 3}}));
    for (const char* item : {"003", "004", "005"}) EXPECT_TRUE(lancado("00001000", item).empty()) << item;
    EXPECT_EQ(linhas("select distinct PROG_ES, FICHA_ES, SUBFICHA_ES, CODIGO_CXUNIT_ES from PRODUCAO_ESTOQUE "
                     "where CODIGO_CXUNIT_ES = 0"),
              (std::vector<std::vector<std::string>>{{"000123", "0001", "", "0"}}));
}

TEST_F(Booking, SubTicketFillsLinesOfItsSizeInSizeOrderAndDropsTheExcess) {
    itemPedido("00001000", "001", "P1", "01", {{"38", 2}, {"36", 5}}, "000123", "0001");
    itemPedido("00001000", "002", "P1", "01", {{"38", 3}}, "000123", "0001");
    m_db.exec("insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values "
              "(1, '000123', '0001', '0001', '38', 4);"
              "insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values "
              "(2, '000123', '0001', '0001', '37', 9);"
              "insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values "
              "(3, '000123', '0001', '0002', '38', 9);"
              "insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values "
              "(4, '000123', '0001', '0003', '36', 2);"
              "insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) values "
              "(5, '000123', '0001', '0003', '36', 3)");
    TRegEntradaEstoqueProd r = pedido(T::tlSubficha);
    r.Programacao = "000123";
    r.Ficha = "0001";
    r.Subficha = "0001";
    m_dm.LancarEntrada(r);
    // 4 pairs of 38: 2 fill item 001, the other 2 go to item 002; size 37 has no line.
    EXPECT_EQ(lancado("00001000", "001"), (std::map<std::string, double>{{"38", 2}}));
    EXPECT_EQ(lancado("00001000", "002"), (std::map<std::string, double>{{"38", 2}}));

    r.Subficha = "0002"; // 9 more: only the 1 item 002 still lacks is booked
    m_dm.LancarEntrada(r);
    EXPECT_EQ(lancado("00001000", "002"), (std::map<std::string, double>{{"38", 3}}));
    EXPECT_EQ(lancado("00001000", "001"), (std::map<std::string, double>{{"38", 2}}));

    r.Subficha = "0003"; // size 36 twice: the later row replaces the earlier one
    m_dm.LancarEntrada(r);
    EXPECT_EQ(lancado("00001000", "001"), (std::map<std::string, double>{{"36", 3}, {"38", 2}}));
    EXPECT_EQ(contar("from PRODUCAO_ESTOQUE where SUBFICHA_ES = '0003'"), 1);
}

TEST_F(Booking, OrderItemCappedWithQuantityFixedAndFreeQuantities) {
    itemPedido("00001000", "001", "P1", "01", {{"37", 4}, {"38", 2}});
    caixaUnit(5, "00001000", "001", "38");
    m_dm.LancarEntrada(cxUnit(5));

    TRegEntradaEstoqueProd r = pedido(T::tlPedidoItem);
    r.Pedido = "00001000";
    r.ItemPed = "001";
    r.CodigoCxUnit = 5; // cleared: the link records an order-item booking
    m_dm.LancarEntrada(r);
    EXPECT_EQ(lancado("00001000", "001"), (std::map<std::string, double>{{"37", 4}, {"38", 2}}));
    EXPECT_EQ(contar("from PRODUCAO_ESTOQUE where CODIGO_CXUNIT_ES = 5"), 1);

    r.TipoLancProducaoEstoque = T::tlPedidoItemQtde;
    r.Quantidade = 1.5;
    m_dm.LancarEntrada(r); // beyond what is ordered, on every size
    EXPECT_EQ(lancado("00001000", "001"), (std::map<std::string, double>{{"37", 5.5}, {"38", 3.5}}));

    for (T tipo : {T::tlAvulso, T::tlMovInterno}) {
        SCOPED_TRACE(static_cast<int>(tipo));
        m_db.exec("delete from ENTRADAMP; delete from PRODUCAO_ESTOQUE");
        TRegEntradaEstoqueProd a = pedido(tipo);
        a.Produto = "P9";
        a.Padronizacao = "07";
        a.Tamanho = "41";
        a.Quantidade = 2.123456789;
        a.IdMovEstInterno = 77;
        a.CodigoCxColet = 3;
        m_dm.LancarEntrada(a);
        EXPECT_EQ(linhas("select P.PEDIDO_ES, P.ITEM_PED_ES, P.CODIGO_CXCOLET_ES, P.ID_ESTOQUE_MOV_INT_ES, E.PROD_EMP, "
                         "E.PADRON_EMP, E.TAMANHO_EMP, E.PROG_EMP, E.FICHA_EMP, E.QTDE_EMP, E.ID_ESTOQUE_MOV_INT_EMP "
                         "from PRODUCAO_ESTOQUE P join ENTRADAMP E on E.ITEM_EMP = P.ITEM_EMP_ES"),
                  (std::vector<std::vector<std::string>>{
                      {"00000000", "000", "0", "77", "P9", "07", "41", "000000", "0000", "2.123457", "0"}}));
    }
}

TEST_F(Booking, EntryAndLinkRowsCarryTheKeyDateSourceAndRequestTexts) {
    itemPedido("00001000", "001", "P1", "01", {{"38", 2}}, "000123", "0001");
    caixaUnit(5, "00001000", "001", "38");
    TRegEntradaEstoqueProd r = cxUnit(5);
    r.Programacao = "000999"; // cleared for a unit box
    r.RegSpedK280 = "K280X";
    r.RegSpedK280MesAno = "05/2024";
    m_dm.LancarEntrada(r);
    r.Documento = "DOC1";
    m_dm.LancarEntrada(r);
    const auto rows = linhas(
        "select E.FILIAL_EMP, E.FORNEC_EMP, E.DOCTO_EMP, E.SERIE_EMP, E.ORDEM_EMP, E.DATA_EMP, E.TIPO_EMP, "
        "E.QTDE_EMP, E.PROD_EMP, E.PADRON_EMP, E.TAMANHO_EMP, E.USUARIO_EMP, E.PROG_EMP, E.FICHA_EMP, "
        "E.MOV_FISICA_EMP, E.ATUEST_EMP, E.REG_SPED_K280_EMP, E.REG_SPED_K280_MES_ANO_EMP, "
        "P.DATA_ES, P.USUARIO_ES, P.PEDIDO_ES, P.ITEM_PED_ES, P.CODIGO_CXUNIT_ES, P.CODIGO_CXCOLET_ES, P.PROG_ES, "
        "P.STATUS_ES, P.ID_ESTOQUE_MOV_INT_ES, "
        "case when P.ID_ES = E.ITEM_EMP and E.ID_PROD_ITEM_ESTOQUE_EMP = I.ID_PI then 'ok' end "
        "from ENTRADAMP E join PRODUCAO_ESTOQUE P on P.FILIAL_EMP_ES = E.FILIAL_EMP and P.FORNEC_EMP_ES = E.FORNEC_EMP "
        "and P.DOCTO_EMP_ES = E.DOCTO_EMP and P.SERIE_EMP_ES = E.SERIE_EMP and P.ITEM_EMP_ES = E.ITEM_EMP "
        "and P.ORDEM_EMP_ES = E.ORDEM_EMP left join PROD_ITEM_ESTOQUE I on I.CODIGO_PI = 'P1.01.38' "
        "order by E.ITEM_EMP");
    ASSERT_EQ(rows.size(), 2u);
    const std::vector<std::string> comum = {"1",
                                            "-1",
                                            "PRODES",
                                            "ES",
                                            "1",
                                            "2024-05-06 00:00:00",
                                            "EP",
                                            "1.000000",
                                            "P1",
                                            "01",
                                            "38",
                                            "QUILBAR",
                                            "000123",
                                            "0001",
                                            "S",
                                            "N",
                                            "K280X",
                                            "05/2024",
                                            "2024-05-06 00:00:00",
                                            "QUILBAR",
                                            "00001000",
                                            "001",
                                            "5",
                                            "0",
                                            "",
                                            "A",
                                            "0",
                                            "ok"};
    EXPECT_EQ(rows[0], comum);
    auto comDoc = comum;
    comDoc[2] = "DOC1";
    EXPECT_EQ(rows[1], comDoc);
}

TEST_F(Booking, BranchIsTheGivenOneTheProgrammesTheOrdersOrTheRequests) {
    m_db.exec("insert into PEDVENDA (NUM_PV, FILIAL_PV) values ('00000001', 4);"
              "insert into PEDVENDA (NUM_PV, FILIAL_PV) values ('00000002', 0);"
              "insert into PROGRAMACAO (NUM_PO, FILIAL_PO) values ('000001', 3)");
    itemPedido("00000001", "001", "P1", "01", {{"38", 100}}, "000001", "0001");
    itemPedido("00000001", "002", "P1", "01", {{"38", 100}}, "000002", "0001"); // programme without row
    itemPedido("00000002", "001", "P1", "01", {{"38", 100}}, "000001", "0001");
    itemPedido("00000003", "001", "P1", "01", {{"38", 100}}); // order without row
    const struct {
        const char* caso;
        const char* usar;
        int informada;
        const char* atuFilialProg;
        const char* ped;
        const char* item;
        int esperada;
    } casos[] = {
        {"given branch first", "S", 7, "S", "00000001", "001", 7},
        {"given 0 falls through to the programme's", "S", 0, "S", "00000001", "001", 3},
        {"lower-case s is not S", "s", 7, "S", "00000001", "001", 3},
        {"programme's only with the switch", "N", 7, "N", "00000001", "001", 4},
        {"programme without branch: the order's", "", 0, "S", "00000001", "002", 4},
        {"order's branch 0 and no programme switch: the request's", "", 0, "N", "00000002", "001", 9},
        {"order without row: the request's", "", 0, "S", "00000003", "001", 9},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.caso);
        parametro("ATU_FILIAL_PROG", c.atuFilialProg);
        TRegEntradaEstoqueProd r = pedido(T::tlPedidoItemQtde);
        r.Filial = 9;
        r.UsarFilialInformada = c.usar;
        r.FilialInformada = c.informada;
        r.Pedido = c.ped;
        r.ItemPed = c.item;
        r.Quantidade = 1;
        m_dm.LancarEntrada(r);
        EXPECT_EQ(m_dm.FilialLanc(), c.esperada);
        EXPECT_EQ(
            valor("select FILIAL_EMP from ENTRADAMP where ITEM_EMP = (select max(ITEM_EMP) from ENTRADAMP)").asInt(),
            c.esperada);
    }
}

TEST_F(Booking, JoinsTheCallersTransactionOrCommitsOrRollsBackItsOwn) {
    itemPedido("00001000", "001", "P1", "01", {{"37", 4}, {"38", 2}});
    caixaUnit(5, "00001000", "001", "38");

    // Joined: nothing is committed; the caller's rollback removes the booking and its new stock item.
    m_con->startTransaction();
    m_dm.LancarEntrada(cxUnit(5));
    EXPECT_TRUE(m_con->inTransaction());
    EXPECT_EQ(entradas(), 0); // not visible to another connection
    m_con->rollback();
    EXPECT_EQ(entradas(), 0);
    EXPECT_EQ(contar("from PROD_ITEM_ESTOQUE"), 0);

    // Own: committed. A line that cannot be written undoes the lines before it.
    m_dm.LancarEntrada(cxUnit(5));
    EXPECT_EQ(entradas(), 1);
    EXPECT_FALSE(m_con->inTransaction());
    const int proximo = valor("select gen_id(ID_PRODUCAO_ESTOQUE, 0) from rdb$database").asInt() + 2;
    m_db.exec("insert into ENTRADAMP (FILIAL_EMP, FORNEC_EMP, DOCTO_EMP, SERIE_EMP, ITEM_EMP, ORDEM_EMP) values "
              "(1, -1, 'PRODES', 'ES', " +
              std::to_string(proximo) + ", 1)");
    TRegEntradaEstoqueProd r = pedido(T::tlPedidoItem);
    r.Pedido = "00001000";
    r.ItemPed = "001";
    EXPECT_THROW(m_dm.LancarEntrada(r), db::DbError);
    EXPECT_FALSE(m_con->inTransaction());
    EXPECT_EQ(entradas(), 2);
    EXPECT_EQ(contar("from PRODUCAO_ESTOQUE"), 1);
    EXPECT_EQ(contar("from PROD_ITEM_ESTOQUE where CODIGO_PI = 'P1.01.37'"), 0);

    // A booking with nothing to write still runs (and ends) its own transaction cleanly.
    m_db.exec("delete from ENTRADAMP where ITEM_EMP = " + std::to_string(proximo));
    m_dm.LancarEntrada(r);
    m_dm.LancarEntrada(r);
    EXPECT_FALSE(m_con->inTransaction());
    EXPECT_EQ(lancado("00001000", "001"), (std::map<std::string, double>{{"37", 4}, {"38", 2}}));
}

TEST_F(Booking, ALineOfSizeStarCountsItsOwnBookings) {
    itemPedido("00001000", "001", "P1", "", {{"*", 2}});
    caixaUnit(5, "00001000", "001", "*");
    for (int i = 0; i < 4; ++i) m_dm.LancarEntrada(cxUnit(5));
    EXPECT_EQ(lancado("00001000", "001"), (std::map<std::string, double>{{"", 2}}));
    EXPECT_EQ(linhas("select TAMANHO_EMP, PROD_EMP from ENTRADAMP group by 1, 2"),
              (std::vector<std::vector<std::string>>{{"", "P1"}}));
}

// Two stations book the last pair of one order line at the same time; the first holds its
// transaction open while the second books. The first either books too, or only changes the order
// item (as a write-off does), and then commits or rolls back.
struct Concorrencia {
    bool primeiraLanca;
    bool primeiraConfirma;
};

class TwoStations : public Booking, public ::testing::WithParamInterface<Concorrencia> {};

TEST_P(TwoStations, BookTheLastPairOfALineOnce) {
    const Concorrencia c = GetParam();
    itemPedido("00001000", "001", "P1", "01", {{"38", 1}});
    caixaUnit(5, "00001000", "001", "38");
    caixaUnit(6, "00001000", "001", "38");
    auto con2 = m_db.connect();
    TdmEstoqueProducao dm2;
    dm2.DefinirConexao(*con2);

    m_con->startTransaction();
    if (c.primeiraLanca) {
        m_dm.LancarEntrada(cxUnit(5));
    } else {
        db::Query atu(*m_con);
        atu.setSql("update ITENSPV set SIT_IT = 'E' where PEDIDO_IT = '00001000' and ITEM_IT = '001'");
        atu.execSql();
    }
    std::atomic<bool> terminou{false};
    std::exception_ptr erro;
    std::thread segunda([&] {
        try {
            dm2.LancarEntrada(cxUnit(6));
        } catch (...) {
            erro = std::current_exception();
        }
        terminou = true;
    });
    // The second station is blocked on the order line's lock before the first one ends.
    {
        auto probe = m_db.connect();
        db::Query q(*probe);
        q.setSql("select count(*) as N from MON$STATEMENTS where MON$STATE = 1 and MON$ATTACHMENT_ID <> "
                 "CURRENT_CONNECTION and MON$SQL_TEXT containing 'for update with lock'");
        bool waiting = false;
        for (int i = 0; i < 1000 && !waiting && !terminou; ++i) {
            q.open();
            waiting = q.field("N").asInt() > 0;
            q.close();
            if (!waiting) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(waiting) << "the second booking never waited for the first";
    }
    EXPECT_FALSE(terminou) << "the second booking did not wait for the first";
    if (c.primeiraConfirma) {
        m_con->commit();
    } else {
        m_con->rollback();
    }
    segunda.join();
    if (erro) {
        try {
            std::rethrow_exception(erro);
        } catch (const std::exception& e) {
            FAIL() << "second station: " << e.what();
        }
    }
    EXPECT_EQ(lancado("00001000", "001"), (std::map<std::string, double>{{"38", 1}}));
    EXPECT_EQ(valor("select CODIGO_CXUNIT_ES from PRODUCAO_ESTOQUE").asInt(),
              c.primeiraLanca && c.primeiraConfirma ? 5 : 6);
    EXPECT_FALSE(con2->inTransaction());
}

INSTANTIATE_TEST_SUITE_P(FirstStation, TwoStations,
                         ::testing::Values(Concorrencia{true, true}, Concorrencia{true, false},
                                           Concorrencia{false, true}, Concorrencia{false, false}),
                         [](const auto& info) {
                             return std::string(info.param.primeiraLanca ? "Books" : "UpdatesTheItem") +
                                    (info.param.primeiraConfirma ? "AndCommits" : "AndRollsBack");
                         });

} // namespace
