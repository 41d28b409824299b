#include "scan/StockMovement.h"

#include "auditlog/TdmLog.h"
#include "db/UnitOfWork.h"
#include "monitoring/ProductionMonitor.h"
#include "scan/StationModules.h"
#include "station/StationContext.h"
#include "stock/TdmEstoqueProducao.h"
#include "util/DateTime.h"
#include "util/Format.h"
#include "util/ListText.h"
#include "util/TextCodec.h"

#include <algorithm>

namespace vek {

bool listHolds(const std::string& list, const std::string& value) {
    const std::vector<std::string> items = splitList(list, ",\r\n");
    return std::find(items.begin(), items.end(), value) != items.end();
}

std::string stockMovementObs(const StockMovementArgs& a) {
    if (a.boxCode > 0) {
        return cp1252("Entrada pelo programa Quilbar Cód. Cx Unit \"") + formatFloat("###,###,##0", a.boxCode) + "\".";
    }
    return "Entrada pelo programa Quilbar Baixa de SubFicha Prog/Ficha/SubFicha \"" + a.programme + "/" + a.ticket +
           "/" + a.subTicket + "\".";
}

StockMovement::StockMovement(StationContext& ctx, ProductionMonitor& monitor, StationModules& modules)
    : m_ctx(ctx), m_monitor(monitor), m_modules(modules), sqlAtuEst(ctx.sqlCon, "sqlAtuEst"),
      sqlBloqItemPed(ctx.sqlCon, "sqlBloqItemPed"), sqlAtuPend(ctx.sqlCon, "sqlAtuPend"),
      sqlAtuPed(ctx.sqlCon, "sqlAtuPed") {
    sqlAtuEst.setSql(
        "insert into PROD_ESTOQUE_MOV (CODIGO_MV, DOCTO_MV, DATA_MV, ENTSAI_MV, PROD_MV, PADRON_MV, MARCA_MV, "
        "FILIAL_MV, NUMERACAO_MV, GRADE_MV, QTDE_MV, OBS_MV, USUARIO_MV, QTPEND_MV, PEDIDO_ENTRADA_MV, "
        "ITEMPED_ENTRADA_MV, TIPOMOV_MV, MULTIPLICADOR_MV, CODIGO_CXUNIT_MV, PROG_MV, FICHA_MV)\n"
        "                      values (0, :DOCTO, :DATA, 'E', :PROD, :PADRON, :MARCA, :FILIAL, :TAMANHO, '**', 1, "
        ":OBS, :USUARIO, 1, :PEDIDO, :ITEM_PEDIDO, :TIPOMOV, 1, :COD_CXUNIT, :PROG, :FICHA);");
    sqlBloqItemPed.setSql("select PEDIDO_IT from ITENSPV\n"
                          "where PEDIDO_IT = :PED\n"
                          "and ITEM_IT = :ITEM\n"
                          "for update with lock");
    sqlBloqItemPed.setSingleRow(true);
    sqlAtuPend.setSql("select count(*) as QTDE\n"
                      "from CODCXUNIT C\n"
                      "where C.PEDIDO_CX = :PED and\n"
                      "      C.ITEM_CX = :ITEM and\n"
                      "      C.DTBAIXA_CX is null  ");
    sqlAtuPed.setSql("update itenspv i set i.sit_it = :sit\n"
                     "where i.pedido_it = :ped and i.item_it = :item");
}

bool StockMovement::ProductGroupSelected(const std::string& group) const {
    return listHolds(m_ctx.params.GRUPO_PROD_ATUALIZAR_ESTOQUE, group);
}

bool StockMovement::OrderTypeSelected(const std::string& orderType) const {
    return listHolds(m_ctx.params.TIPO_PEDIDO_ATUALIZAR_ESTOQUE, orderType);
}

StockMovementArgs StockMovement::argsOfBoxRow(const BoxRow& box, const DateTime& date) const {
    StockMovementArgs a;
    a.order = box.order;
    a.item = box.orderItem;
    a.document = a.order;
    a.product = box.product;
    a.pattern = box.pattern;
    a.brand = box.brandCode;
    a.size = box.size;
    a.user = "ESTEIRA " + m_ctx.settings.CODESTEIRA;
    a.movementType = m_ctx.params.TIPO_MOVTO_ESTOQUE;
    a.date = date;
    a.branch = m_ctx.params.FILIAL_ESTOQUE;
    a.productGroup = box.productGroup;
    a.orderType = box.orderType;
    return a;
}

void StockMovement::PostStockMovement(const BoxRow& box, const DateTime& serverTime) {
    StockMovementArgs a = argsOfBoxRow(box, serverTime);
    if (a.document.empty()) {
        a.document = "ETAVULSA";
    }
    a.programme = box.programme;
    a.ticket = box.ticket;
    a.boxCode = box.code;
    PostStockMovement(a);
}

void StockMovement::PostStockMovement(const StockMovementArgs& a) {
    const RuntimeParameters& p = m_ctx.params;
    if (!p.TIPO_PEDIDO_ATUALIZAR_ESTOQUE.empty() && !OrderTypeSelected(a.orderType)) {
        return;
    }
    if (!p.GRUPO_PROD_ATUALIZAR_ESTOQUE.empty() && !ProductGroupSelected(a.productGroup)) {
        return;
    }

    db::UnitOfWork work(m_ctx.sqlCon);
    {
        sqlAtuEst.param("DOCTO").setString(a.document);
        sqlAtuEst.param("DATA").setDateTime(a.date);
        sqlAtuEst.param("PROD").setString(a.product);
        sqlAtuEst.param("PADRON").setString(a.pattern);
        sqlAtuEst.param("MARCA").setString(a.brand);
        sqlAtuEst.param("FILIAL").setInt(a.branch);
        sqlAtuEst.param("TAMANHO").setString(a.size);
        sqlAtuEst.param("USUARIO").setString(a.user);
        sqlAtuEst.param("TIPOMOV").setString(a.movementType);
        sqlAtuEst.param("PEDIDO").setString(a.order);
        sqlAtuEst.param("ITEM_PEDIDO").setString(a.item);
        sqlAtuEst.param("COD_CXUNIT").setInt(a.boxCode);
        sqlAtuEst.param("PROG").setString(a.programme);
        sqlAtuEst.param("FICHA").setString(a.ticket);
        sqlAtuEst.param("OBS").setString(stockMovementObs(a));
        sqlAtuEst.execute();
    }
    // A box without a sales order has no order item to complete.
    if (!a.order.empty()) {
        CompleteOrderItem(a);
    }
    work.commit();
}

void StockMovement::CompleteOrderItem(const StockMovementArgs& a) {
    // Locked before the count: two stations writing off the item's last boxes would each count the
    // other's box as pending, and neither would complete the item.
    sqlBloqItemPed.close();
    sqlBloqItemPed.param("PED").setString(a.order);
    sqlBloqItemPed.param("ITEM").setString(a.item);
    sqlBloqItemPed.open();
    sqlBloqItemPed.close();
    sqlAtuPend.close();
    sqlAtuPend.param("PED").setString(a.order);
    sqlAtuPend.param("ITEM").setString(a.item);
    sqlAtuPend.open();
    const std::int64_t pending = sqlAtuPend.field("QTDE").asInt64();
    sqlAtuPend.close();
    if (pending != 0) {
        return;
    }
    sqlAtuPed.param("SIT").setString("E");
    sqlAtuPed.param("PED").setString(a.order);
    sqlAtuPed.param("ITEM").setString(a.item);
    sqlAtuPed.execute();

    // The movement's user and time, not the log module's.
    m_modules.dmLog().WriteRow({a.order + "|" + a.item, "ITENSPV", "SIT_IT", a.user, a.date,
                                cp1252("ESTOQUE AUTOMÁTICO PELA ATUALIZAÇÃO CX UNITÁRIA"), "E"});
}

void StockMovement::PostProductionStockEntry(std::int32_t code, const std::optional<DateTime>& keptAt) {
    if (m_ctx.params.FILIAL_ESTOQUE_PRODUCAO <= 0) {
        return;
    }
    stock::TRegEntradaEstoqueProd reg;
    reg.Filial = m_ctx.params.FILIAL_ESTOQUE_PRODUCAO;
    reg.Usuario = "QUILBAR";
    // A kept scan settled after midnight or the month's end is entered on its own day, as its write-off.
    reg.DataLanc = SqlTimeStampAt(keptAt.value_or(m_monitor.lastClockTime()), 0, 0, 0);
    reg.TipoLancProducaoEstoque = stock::TTipoLancProducaoEstoque::tlCxUnit;
    reg.CodigoCxUnit = code;
    m_modules.dmEstoqueProducao().LancarEntrada(reg);
}

} // namespace vek
