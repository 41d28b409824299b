#include "scan/BoxRow.h"

#include "db/Query.h"

namespace vek {

namespace {

std::optional<DateTime> optionalTime(const db::Value& v) {
    if (v.isNull()) {
        return std::nullopt;
    }
    return v.asDateTime();
}

} // namespace

BoxRow BoxRow::of(const db::Query& q) {
    BoxRow r;
    // Whatever the column's type, a box code is a whole 32-bit number; anything else raises.
    r.code = q.field("CODIGO_CX").asInt();
    r.product = q.field("PROD_CX").asString();
    r.pattern = q.field("PADRON_CX").asString();
    r.patternDescription = q.field("DESC_PA").asString();
    r.size = q.field("TAM_CX").asString();
    r.programme = q.field("PROG_CX").asString();
    r.ticket = q.field("FICHA_CX").asString();
    r.emission = optionalTime(q.field("DTEMISSAO_CX"));
    r.cancelled = optionalTime(q.field("DATA_CANC_CX"));
    r.writtenOff = optionalTime(q.field("DTBAIXA_CX"));
    r.order = q.field("PEDIDO_CX").asString();
    r.orderItem = q.field("ITEM_CX").asString();
    r.brandCode = q.field("COD_MARCA").asString();
    r.productGroup = q.field("GRUPO_PR").asString();
    r.orderType = q.field("TIPO_PEDIDO").asString();
    if (q.hasField("DATA_SERV")) {
        r.serverTime = q.field("DATA_SERV").asDateTime();
    }
    return r;
}

} // namespace vek
