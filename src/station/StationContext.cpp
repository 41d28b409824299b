#include "station/StationContext.h"

namespace vek {

namespace sql {
const char* const kCodCxUn =
    "SELECT DISTINCT C.*, PR.GRUPO_PR, PR.IMAGEM_PR,\n"
    "(SELECT DESC_PP FROM PADRONIZ_PRODUTO P WHERE C.PADRON_CX = P.PADRONIZ_PP AND C.PROD_CX = "
    "P.PROD_PP) AS DESC_PA,\n"
    "(SELECT M.COD_TA FROM TABELA M WHERE M.DESC_TA = C.MARCA_CX AND M.NUM_TA = '70') AS "
    "COD_MARCA,\n"
    "(select PV.TIPO_PV from PEDVENDA PV where PV.NUM_PV = C.PEDIDO_CX) TIPO_PEDIDO\n"
    "FROM CODCXUNIT C\n"
    "LEFT JOIN PRODUTO PR ON PR.COD_PR = C.PROD_CX\n"
    "WHERE CODIGO_CX = :COD";
// The box's look-up reads the clock with it: a scan's time costs no exchange of its own.
const std::string kCodCxUnScan = [] {
    std::string text = kCodCxUn;
    text.insert(text.find("\nFROM CODCXUNIT C"), ",\ncast('NOW' as timestamp) as DATA_SERV");
    return text;
}();
const char* const kQuilbar = "update CODCXUNIT\n"
                             "set DTBAIXA_CX=cast('now' as timestamp), ESTEIRA_CX=:ESTEIRA, SETOR_CX = :SETOR, "
                             "FUNCIONARIO_CX = :FUNCIONARIO\n"
                             "where CODIGO_CX=:COD\n"
                             // One box, one write-off: a box another station wrote off meanwhile is left alone.
                             "and DTBAIXA_CX is null\n"
                             // NULL when it was: the answer tells, with no count to ask for.
                             "returning CODIGO_CX";
const char* const kQuilbarEm = "update CODCXUNIT\n"
                               "set DTBAIXA_CX=:DTBAIXA, ESTEIRA_CX=:ESTEIRA, SETOR_CX = :SETOR, "
                               "FUNCIONARIO_CX = :FUNCIONARIO\n"
                               "where CODIGO_CX=:COD\n"
                               "and DTBAIXA_CX is null\n"
                               "returning CODIGO_CX";
const char* const kDataServ = "select cast('NOW' as timestamp) as DATA_SERV from CONFIG";
const char* const kDadosSetor = "select * from SETOR where COD_SE = :COD_SETOR";
} // namespace sql

StationContext::StationContext(OperatorDisplay& d)
    : display(d), sqlCodCxUn(sqlCon, "sqlCodCxUn"), sqlQuilbar(sqlCon, "sqlQuilbar"),
      sqlQuilbarEm(sqlCon, "sqlQuilbarEm"), sqlDataServ(sqlCon, "sqlDataServ"), sqlDadosSetor(sqlCon, "sqlDadosSetor") {
    sqlCodCxUn.setSql(sql::kCodCxUnScan);
    sqlQuilbar.setSql(sql::kQuilbar);
    sqlQuilbarEm.setSql(sql::kQuilbarEm);
    sqlDataServ.setSql(sql::kDataServ);
    sqlDadosSetor.setSql(sql::kDadosSetor);
    display.setOutputs(display.platform(), &params);
}

StationContext::~StationContext() = default;

DateTime StationContext::ReadServerTime() {
    sqlDataServ.close();
    sqlDataServ.open();
    const DateTime t = sqlDataServ.field("DATA_SERV").asDateTime();
    sqlDataServ.close();
    return NoteServerTime(t);
}

DateTime StationContext::NoteServerTime(const DateTime& t) {
    m_serverTimeRead = t;
    m_serverTimeReadAt = std::chrono::steady_clock::now();
    m_readOffset = t.ticksSince(DateTime::localNow());
    m_serverAnswered = std::chrono::system_clock::now();
    return t;
}

std::optional<DateTime> StationContext::serverTimeEstimate() const {
    if (!m_serverTimeRead) {
        if (m_assumedOffset) {
            return DateTime::localNow().addTicks(*m_assumedOffset);
        }
        return std::nullopt;
    }
    const auto since = std::chrono::steady_clock::now() - m_serverTimeReadAt;
    const auto ticks = std::chrono::duration_cast<std::chrono::microseconds>(since).count() / 100;
    return m_serverTimeRead->addTicks(ticks);
}

std::optional<std::int64_t> StationContext::serverClockOffset() const {
    if (m_serverTimeRead) {
        return m_readOffset;
    }
    return m_assumedOffset;
}

void StationContext::OpenSectorData(const std::string& sector) {
    sqlDadosSetor.close();
    sqlDadosSetor.param("COD_SETOR").setString(sector);
    sqlDadosSetor.open();
}

} // namespace vek
