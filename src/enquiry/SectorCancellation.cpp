#include "enquiry/SectorCancellation.h"

#include "auditlog/TdmLog.h"
#include "db/UnitOfWork.h"
#include "enquiry/LabelEnquiry.h"
#include "scan/StationModules.h"
#include "station/StationContext.h"
#include "stock/TdmEstoqueProducao.h"
#include "util/TextCodec.h"

namespace vek::enquiry {

SectorCancellation::SectorCancellation(LabelEnquiry& enquiry, StationModules& modules)
    : sqlPesqProdSetorCxUnit(enquiry.context().sqlCon, "sqlPesqProdSetorCxUnit"),
      sqlExcluirProducaoSetorCxUnit(enquiry.context().sqlCon, "sqlExcluirProducaoSetorCxUnit"),
      sqlExcluirProducaoSetor(enquiry.context().sqlCon, "sqlExcluirProducaoSetor"),
      sqlCancelaCodCxUnit(enquiry.context().sqlCon, "sqlCancelaCodCxUnit"), m_enquiry(enquiry),
      m_ctx(enquiry.context()), m_modules(modules) {
    sqlPesqProdSetorCxUnit.setSql("SELECT COUNT(*) QTDE_REG \n"
                                  "FROM PRODUCAO_SETOR_CXUNIT\n"
                                  "WHERE CODCXUNIT_PU = :COD_CXUNIT\n"
                                  "AND SETOR_PU = :SETOR");
    sqlExcluirProducaoSetorCxUnit.setSql(
        "DELETE FROM PRODUCAO_SETOR_CXUNIT WHERE CODCXUNIT_PU = :COD_CXUNIT AND SETOR_PU = :SETOR");
    sqlExcluirProducaoSetor.setSql("DELETE FROM PRODUCAO_SETOR WHERE CODCXUNIT_PS = :COD_CXUNIT AND SETOR_PS = :SETOR");
    sqlCancelaCodCxUnit.setSql("update CODCXUNIT C\n"
                               "set C.DTBAIXA_CX = null,\n"
                               "    C.ESTEIRA_CX = null\n"
                               "where C.CODIGO_CX = :CODIGO");
}

bool SectorCancellation::CancelSectorUpdate(const std::optional<std::string>& sector) {
    if (!sector || sector->empty()) {
        m_ctx.display.ShowWarningBox("Informe o Setor.");
        return false;
    }
    sqlPesqProdSetorCxUnit.close();
    sqlPesqProdSetorCxUnit.param("COD_CXUNIT").setInt(m_enquiry.EnquiredCode);
    sqlPesqProdSetorCxUnit.param("SETOR").setString(*sector);
    sqlPesqProdSetorCxUnit.open();
    const int found = sqlPesqProdSetorCxUnit.field("QTDE_REG").asInt();
    sqlPesqProdSetorCxUnit.close();
    if (found <= 0 || !run(*sector)) {
        m_ctx.display.ShowWarningBox(cp1252("Não existe atualização para essa Etiqueta nesse Setor."));
        return false;
    }
    // The listed counts follow the database only once the cancellation is committed.
    db::MemTable& sectors = m_enquiry.cdsSetoresConsulta;
    if (sectors.isActive() && sectors.locate("SETOR", {db::Value(*sector)})) {
        sectors.edit();
        sectors.setValue("QTDE_ATUALIZADA", db::Value(sectors.value("QTDE_ATUALIZADA").asInt() - 1));
        sectors.setValue("QTDE_PENDENTE", db::Value(sectors.value("QTDE_PENDENTE").asInt() + 1));
        sectors.post();
    }
    m_ctx.display.SuccessBeep();
    return true;
}

bool SectorCancellation::run(const std::string& sector) {
    db::Connection& con = m_ctx.sqlCon;
    const std::int32_t code = m_enquiry.EnquiredCode;
    // The delete is the claim: a station that waited for another's cancellation of the same box and
    // sector runs again and finds nothing left to delete.
    return db::runInTransaction(con, [&](db::Transaction& t) {
        sqlExcluirProducaoSetorCxUnit.param("COD_CXUNIT").setInt(code);
        sqlExcluirProducaoSetorCxUnit.param("SETOR").setString(sector);
        if (sqlExcluirProducaoSetorCxUnit.execSql() == 0) {
            t.rollback();
            return false;
        }
        sqlExcluirProducaoSetor.param("COD_CXUNIT").setInt(code);
        sqlExcluirProducaoSetor.param("SETOR").setString(sector);
        sqlExcluirProducaoSetor.execSql();
        sqlCancelaCodCxUnit.param("CODIGO").setInt(code);
        sqlCancelaCodCxUnit.execSql();

        stock::TRegEntradaEstoqueProd reg;
        reg.TipoLancProducaoEstoque = stock::TTipoLancProducaoEstoque::tlCxUnit;
        reg.CodigoCxUnit = code;
        reg.Usuario = m_enquiry.AuthorisingUser;
        m_modules.dmEstoqueProducao().CancelarEntrada(reg);

        // Who consented, also when the box had no stock booking to take back.
        auditlog::TdmLog log(m_enquiry.AuthorisingUser, con);
        std::string key = std::to_string(code);
        key.append("|").append(sector);
        log.WriteLogRow(key, "PRODUCAO_SETOR_CXUNIT", "EXCLUIDO", cp1252("Cancelamento da Atualização da Etiqueta"),
                        "");
        t.commit();
        return true;
    });
}

} // namespace vek::enquiry
