#include "scan/BoxWriteOff.h"

#include "db/DbError.h"
#include "station/StationContext.h"

namespace vek {

bool WriteOffBox(StationContext& ctx, std::int32_t code) {
    db::Query& q = ctx.sqlQuilbar;
    q.param("COD").setInt(code);
    q.param("ESTEIRA").setString(ctx.settings.CODESTEIRA);
    q.param("SETOR").setString(ctx.settings.SETOR);
    q.param("FUNCIONARIO").setString(ctx.settings.FUNCIONARIO);
    db::ConflictRetry retry(ctx.sqlCon, kLockAttempts);
    for (;;) {
        try {
            return q.execSql() == 1;
        } catch (const db::DbError& e) {
            if (ctx.sqlCon.inTransaction() || !retry.again(e.isUpdateConflict())) {
                throw;
            }
        }
    }
}

} // namespace vek
