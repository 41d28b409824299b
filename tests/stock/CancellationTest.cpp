// Cancelling production-stock bookings: what each kind selects, the audit rows, the deleted entry
// lines, the marked links, the transaction, and booking again afterwards.
#include "db/DbError.h"
#include "stock/StockTestSupport.h"

using namespace vek;
using namespace vek::stock;
using namespace vek::stock::test;
using T = TTipoLancProducaoEstoque;
using Rows = std::vector<std::vector<std::string>>;

namespace {

class Cancellation : public StockDbTest {
protected:
    void SetUp() override {
        itemPedido("00001000", "001", "P1", "01", {{"37", 10}, {"38", 10}}, "000123", "0001");
        caixaUnit(5, "00001000", "001", "38");
        caixaUnit(6, "00001000", "001", "37");
    }
    static TRegEntradaEstoqueProd cancelamento(T tipo) {
        TRegEntradaEstoqueProd r;
        r.TipoLancProducaoEstoque = tipo;
        r.Usuario = "SUPERVISOR";
        return r;
    }
    // Id, status and entry line (present or not) of every link, in id order.
    Rows vinculos() const {
        return linhas("select P.ID_ES, P.STATUS_ES, case when E.ITEM_EMP is null then 'gone' else 'kept' end "
                      "from PRODUCAO_ESTOQUE P left join ENTRADAMP E on E.ITEM_EMP = P.ITEM_EMP_ES "
                      "order by P.ID_ES");
    }
};

TEST_F(Cancellation, AUnitBoxBookedTwiceLosesBothEntriesWithAnAuditRowEach) {
    m_dm.LancarEntrada(cxUnit(5));
    m_dm.LancarEntrada(cxUnit(6));
    m_dm.LancarEntrada(cxUnit(5));
    TRegEntradaEstoqueProd r = cancelamento(T::tlCxUnit);
    r.CodigoCxUnit = 5;
    m_dm.CancelarEntrada(r);
    EXPECT_FALSE(m_con->inTransaction());
    EXPECT_EQ(vinculos(), (Rows{{"1", "C", "gone"}, {"2", "A", "kept"}, {"3", "C", "gone"}}));
    EXPECT_EQ(linhas("select USUARIO_CANC_ES, case when DATA_CANC_ES > DATA_ES then 'ok' end from PRODUCAO_ESTOQUE "
                     "where STATUS_ES = 'C'"),
              (Rows{{"SUPERVISOR", "ok"}, {"SUPERVISOR", "ok"}}));
    // The key is that of the entry line, cut to its first 30 characters.
    EXPECT_EQ(linhas("select CHAVE_LG, ARQ_LG, CAMPO_LG, USUARIO_LG, VRANT_LG, VRATU_LG, "
                     "case when DATA_LG is not null then 'ok' end from LOG order by ID_LG"),
              (Rows{{"1|-1|PRODES|ES|1|P1|01|38", "ENTRADAMP", "EXCLUIDO", "SUPERVISOR",
                     "Cancelamento de Entrada de Estoque de Producao", "", "ok"},
                    {"1|-1|PRODES|ES|3|P1|01|38", "ENTRADAMP", "EXCLUIDO", "SUPERVISOR",
                     "Cancelamento de Entrada de Estoque de Producao", "", "ok"}}));

    // Cancelled links no longer count: the box books again, under a new link.
    m_dm.LancarEntrada(cxUnit(5));
    EXPECT_EQ(vinculos().back(), (std::vector<std::string>{"4", "A", "kept"}));
    m_dm.CancelarEntrada(r); // only the new link is still active
    EXPECT_EQ(contar("from LOG"), 3);
    EXPECT_EQ(contar("from PRODUCAO_ESTOQUE where STATUS_ES = 'A'"), 1);
}

TEST_F(Cancellation, LongKeysAreCutAndANullKeyColumnWritesNoAuditRow) {
    TRegEntradaEstoqueProd doc = cxUnit(5);
    doc.Documento = "DOCUMENTO12345";
    m_dm.LancarEntrada(doc);
    m_dm.LancarEntrada(cxUnit(5));
    m_db.exec("update ENTRADAMP set PADRON_EMP = null where ITEM_EMP = 2");
    TRegEntradaEstoqueProd r = cancelamento(T::tlCxUnit);
    r.CodigoCxUnit = 5;
    m_dm.CancelarEntrada(r);
    const std::string chave = "1|-1|DOCUMENTO12345|ES|1|P1|01|38";
    ASSERT_GT(chave.size(), 30u);
    EXPECT_EQ(linhas("select CHAVE_LG from LOG"), (Rows{{chave.substr(0, 30)}}));
    EXPECT_EQ(vinculos(), (Rows{{"1", "C", "gone"}, {"2", "C", "gone"}}));
}

TEST_F(Cancellation, EachKindSelectsOnlyTheLinksOfItsSource) {
    m_db.exec("insert into CODCXCOLET (CODIGO_CX, PEDIDO_CX, ITEMPED_CX, NUMERACAO_CX, QTPARES_CX) "
              "values (20, '00001000', '001', '37 ', ' 1 ')");
    m_dm.LancarEntrada(cxUnit(5)); // 1
    TRegEntradaEstoqueProd colet = pedido(T::tlCxColet);
    colet.CodigoCxColet = 20;
    m_dm.LancarEntrada(colet); // 2
    m_db.exec("insert into SUBPROD (ID_PR, PROG_PR, FICHA_PR, SUBFICHA_PR, TAMA_PR, QTDE_PR) "
              "values (1, '000123', '0001', '0001', '38', 1)");
    TRegEntradaEstoqueProd sub = pedido(T::tlSubficha);
    sub.Programacao = "000123";
    sub.Ficha = "0001";
    sub.Subficha = "0001";
    m_dm.LancarEntrada(sub); // 3
    TRegEntradaEstoqueProd ficha = sub;
    ficha.TipoLancProducaoEstoque = T::tlFicha;
    m_db.exec("update ITENSPVGRADE set QTPED_IT = QTPED_IT - 7");
    m_dm.LancarEntrada(ficha); // 4 (37) and 5 (38): what the ticket still lacks
    m_db.exec("update ITENSPVGRADE set QTPED_IT = QTPED_IT + 7");
    TRegEntradaEstoqueProd item = pedido(T::tlPedidoItemQtde);
    item.Pedido = "00001000";
    item.ItemPed = "001";
    item.Quantidade = 1;
    m_dm.LancarEntrada(item); // 6 and 7
    TRegEntradaEstoqueProd mov = pedido(T::tlMovInterno);
    mov.Produto = "P1";
    mov.IdMovEstInterno = 44;
    mov.Quantidade = 1;
    m_dm.LancarEntrada(mov); // 8
    TRegEntradaEstoqueProd avulso = pedido(T::tlAvulso);
    avulso.Produto = "P1";
    avulso.Quantidade = 1;
    m_dm.LancarEntrada(avulso); // 9
    ASSERT_EQ(contar("from PRODUCAO_ESTOQUE"), 9);

    auto c = [](T tipo, auto preencher) {
        TRegEntradaEstoqueProd r = cancelamento(tipo);
        preencher(r);
        return r;
    };
    const struct {
        const char* caso;
        TRegEntradaEstoqueProd reg;
        std::vector<std::string> cancelados;
    } casos[] = {
        {"avulso by its link id", c(T::tlAvulso, [](auto& r) { r.IdProducaoEstoque = 9; }), {"9"}},
        {"internal movement", c(T::tlMovInterno, [](auto& r) { r.IdMovEstInterno = 44; }), {"8"}},
        {"collective box", c(T::tlCxColet, [](auto& r) { r.CodigoCxColet = 20; }), {"2"}},
        {"sub-ticket",
         c(T::tlSubficha,
           [](auto& r) {
               r.Programacao = "000123";
               r.Ficha = "0001";
               r.Subficha = "0001";
           }),
         {"3"}},
        // The ticket's own links; the sub-ticket's are gone already.
        {"ticket",
         c(T::tlFicha,
           [](auto& r) {
               r.Programacao = "000123";
               r.Ficha = "0001";
           }),
         {"4", "5"}},
        // Order-item bookings only (kind 5 ones included), not the unit box of the same item.
        {"order item",
         c(T::tlPedidoItem,
           [](auto& r) {
               r.Pedido = "00001000";
               r.ItemPed = "001";
           }),
         {"6", "7"}},
        {"unit box", c(T::tlCxUnit, [](auto& r) { r.CodigoCxUnit = 5; }), {"1"}},
    };
    std::vector<std::string> esperados;
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.caso);
        m_dm.CancelarEntrada(caso.reg);
        esperados.insert(esperados.end(), caso.cancelados.begin(), caso.cancelados.end());
        std::sort(esperados.begin(), esperados.end());
        Rows cancelados;
        for (const auto& id : esperados) cancelados.push_back({id});
        EXPECT_EQ(linhas("select ID_ES from PRODUCAO_ESTOQUE where STATUS_ES = 'C' order by ID_ES"), cancelados);
    }
    EXPECT_EQ(contar("from ENTRADAMP"), 0);
}

TEST_F(Cancellation, KindsWithoutSelectionAreRefusedBeforeAnyStatement) {
    m_dm.LancarEntrada(cxUnit(5));
    for (int tipo : {5, 7, 9, 255}) {
        SCOPED_TRACE(tipo);
        TRegEntradaEstoqueProd r = cancelamento(static_cast<T>(tipo));
        r.Pedido = "00001000";
        r.ItemPed = "001";
        r.CodigoCxUnit = 5;
        try {
            m_dm.CancelarEntrada(r);
            ADD_FAILURE() << "accepted";
        } catch (const ELancProducaoEstoqueException& e) {
            EXPECT_EQ(e.what(), cp1252("Parametro TipoLancProducaoEstoque não foi informado corretamente."));
        }
    }
    EXPECT_EQ(vinculos(), (Rows{{"1", "A", "kept"}}));
}

TEST_F(Cancellation, InsideTheCallersTransactionNothingIsCommitted) {
    m_dm.LancarEntrada(cxUnit(5));
    TRegEntradaEstoqueProd r = cancelamento(T::tlCxUnit);
    r.CodigoCxUnit = 5;
    m_con->startTransaction();
    m_dm.CancelarEntrada(r);
    EXPECT_TRUE(m_con->inTransaction());
    EXPECT_EQ(vinculos(), (Rows{{"1", "A", "kept"}})); // another connection sees nothing yet
    m_con->rollback();
    EXPECT_EQ(vinculos(), (Rows{{"1", "A", "kept"}}));
    EXPECT_EQ(contar("from LOG"), 0);

    // No active link: nothing is logged or deleted, and the own transaction ends.
    r.CodigoCxUnit = 6;
    m_dm.CancelarEntrada(r);
    EXPECT_FALSE(m_con->inTransaction());
    EXPECT_EQ(contar("from LOG"), 0);

    m_con->startTransaction();
    r.CodigoCxUnit = 5;
    m_dm.CancelarEntrada(r);
    m_con->commit();
    EXPECT_EQ(vinculos(), (Rows{{"1", "C", "gone"}}));
}

TEST_F(Cancellation, ALinkWhoseEntryIsGoneIsStillCancelled) {
    m_dm.LancarEntrada(cxUnit(5));
    m_db.exec("delete from ENTRADAMP");
    TRegEntradaEstoqueProd r = cancelamento(T::tlCxUnit);
    r.CodigoCxUnit = 5;
    m_dm.CancelarEntrada(r);
    EXPECT_EQ(vinculos(), (Rows{{"1", "C", "gone"}}));
    EXPECT_EQ(contar("from LOG"), 0);
}

} // namespace
