#include "enquiry/SectorCancellation.h"

#include "auditlog/TdmLog.h"
#include "enquiry/LabelEnquiry.h"
#include "station/StationContext.h"
#include "stock/TdmEstoqueProducao.h"
#include "util/TextCodec.h"

namespace vek::enquiry {

SectorCancellation::SectorCancellation(LabelEnquiry& enquiry)
    : sqlPesqProdSetorCxUnit(enquiry.context().sqlCon, "sqlPesqProdSetorCxUnit"),
      sqlExcluirProducaoSetorCxUnit(enquiry.context().sqlCon, "sqlExcluirProducaoSetorCxUnit"),
      sqlExcluirProducaoSetor(enquiry.context().sqlCon, "sqlExcluirProducaoSetor"),
      sqlCancelaCodCxUnit(enquiry.context().sqlCon, "sqlCancelaCodCxUnit"), m_enquiry(enquiry),
      m_ctx(enquiry.context()) {
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
    if (found <= 0) {
        m_ctx.display.ShowWarningBox(cp1252("Não existe atualização para essa Etiqueta nesse Setor."));
        return false;
    }
    run(*sector);
    m_ctx.display.SuccessBeep();
    return true;
}

void SectorCancellation::run(const std::string& sector) {
    db::Connection& con = m_ctx.sqlCon;
    db::MemTable& sectors = m_enquiry.cdsSetoresConsulta;
    const std::int32_t code = m_enquiry.EnquiredCode;
    // The counts as they were, to put back when the cancellation does not reach the database.
    struct Counts {
        int row = -1;
        db::Value updated, pending;
    } before;
    con.startTransaction();
    try {
        sqlExcluirProducaoSetorCxUnit.param("COD_CXUNIT").setInt(code);
        sqlExcluirProducaoSetorCxUnit.param("SETOR").setString(sector);
        sqlExcluirProducaoSetorCxUnit.execSql();
        sqlExcluirProducaoSetor.param("COD_CXUNIT").setInt(code);
        sqlExcluirProducaoSetor.param("SETOR").setString(sector);
        sqlExcluirProducaoSetor.execSql();
        sqlCancelaCodCxUnit.param("CODIGO").setInt(code);
        sqlCancelaCodCxUnit.execSql();

        auto& stock = m_ctx.dmEstoqueProducao;
        if (!stock) {
            stock = std::make_unique<stock::TdmEstoqueProducao>();
            stock->DefinirConexao(con);
        }
        stock::TRegEntradaEstoqueProd reg;
        reg.TipoLancProducaoEstoque = stock::TTipoLancProducaoEstoque::tlCxUnit;
        reg.CodigoCxUnit = code;
        reg.Usuario = m_enquiry.AuthorisingUser;
        stock->CancelarEntrada(reg);

        // Who consented, also when the box had no stock booking to take back.
        auditlog::TdmLog log(m_enquiry.AuthorisingUser, con);
        std::string key = std::to_string(code);
        key.append("|").append(sector);
        log.WriteLogRow(key, "PRODUCAO_SETOR_CXUNIT", "EXCLUIDO", cp1252("Cancelamento da Atualização da Etiqueta"),
                        "");

        // The chosen sector's row is the current one; found again by its code in case the list moved.
        if (sectors.isActive() && sectors.locate("SETOR", {db::Value(sector)})) {
            before.row = sectors.currentRow();
            before.updated = sectors.value("QTDE_ATUALIZADA");
            before.pending = sectors.value("QTDE_PENDENTE");
            sectors.edit();
            sectors.setValue("QTDE_ATUALIZADA", db::Value(before.updated.asInt() - 1));
            sectors.setValue("QTDE_PENDENTE", db::Value(before.pending.asInt() + 1));
            sectors.post();
        }
        con.commit();
    } catch (...) {
        try {
            if (con.inTransaction()) con.rollback();
        } catch (...) {
            // The first error is the one the operator must see.
        }
        if (before.row >= 0) {
            try {
                if (sectors.state() != db::MemTable::State::Browse) sectors.cancel();
                sectors.moveToRow(before.row);
                sectors.edit();
                sectors.setValue("QTDE_ATUALIZADA", before.updated);
                sectors.setValue("QTDE_PENDENTE", before.pending);
                sectors.post();
            } catch (...) {}
        }
        throw;
    }
}

} // namespace vek::enquiry
