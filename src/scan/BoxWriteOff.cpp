#include "scan/BoxWriteOff.h"

#include "station/StationContext.h"

namespace vek {

namespace sql {
const char* const kBloqCxUnit = "select DTBAIXA_CX from CODCXUNIT\n"
                                "where CODIGO_CX = :COD\n"
                                "for update with lock";
} // namespace sql

bool WriteOffBox(StationContext& ctx, std::int32_t code, const std::optional<DateTime>& keptAt) {
    // A kept scan is written off at the time it was made, so the ERP's times stay true.
    db::Query& q = keptAt ? ctx.sqlQuilbarEm : ctx.sqlQuilbar;
    if (keptAt) {
        q.param("DTBAIXA").setDateTime(*keptAt);
    }
    q.param("COD").setInt(code);
    q.param("ESTEIRA").setString(ctx.settings.CODESTEIRA);
    q.param("SETOR").setString(ctx.settings.SETOR);
    q.param("FUNCIONARIO").setString(ctx.settings.FUNCIONARIO);
    q.execute();
    return !q.field("CODIGO_CX").isNull();
}

} // namespace vek
