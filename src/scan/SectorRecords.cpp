#include "scan/SectorRecords.h"

#include "station/StationContext.h"

namespace vek {

SectorRecords::SectorRecords(StationContext& ctx)
    : m_ctx(ctx), sqlPesqEtiqProgFicha(ctx.sqlCon, "sqlPesqEtiqProgFicha"),
      sqlPesqEtiqProgFichaSetor(ctx.sqlCon, "sqlPesqEtiqProgFichaSetor") {
    sqlPesqEtiqProgFicha.setSql(
        "select STATUS, count(*) as QTDE\n"
        "from (select case when (DTBAIXA_CX is null) then 'P' else 'B' end as STATUS from CODCXUNIT where PROG_CX = "
        ":PROG and FICHA_CX = :FICHA and DATA_CANC_CX is null)\n"
        "group by 1");
    sqlPesqEtiqProgFichaSetor.setSql(
        "select STATUS, count(*) as QTDE\n"
        "from (select case when (DTSAIDA_PU is null) then 'P' else 'B' end as STATUS FROM CODCXUNIT CX LEFT JOIN "
        "PRODUCAO_SETOR_CXUNIT PS ON PS.CODCXUNIT_PU = CX.CODIGO_CX AND SETOR_PU = :SETOR WHERE CX.PROG_CX = :PROG "
        "AND CX.FICHA_CX = :FICHA AND CX.DATA_CANC_CX IS NULL)\n"
        "group by 1");
}

void SectorRecords::CountTicketBoxes(const std::string& prog, const std::string& ficha) {
    m_ctx.CountDone = 0;
    m_ctx.CountPending = 0;
    sqlPesqEtiqProgFicha.param("PROG").setString(prog);
    sqlPesqEtiqProgFicha.param("FICHA").setString(ficha);
    readStatusCounts(sqlPesqEtiqProgFicha);
}

void SectorRecords::readStatusCounts(db::Query& query) {
    query.open();
    for (; !query.eof(); query.next()) {
        const std::string status = query.field("STATUS").asString();
        if (status == "B") {
            m_ctx.CountDone = query.field("QTDE").asInt();
        } else if (status == "P") {
            m_ctx.CountPending = query.field("QTDE").asInt();
        }
    }
    query.close();
}

void SectorRecords::CountTicketBoxesInSector(const std::string& prog, const std::string& ficha,
                                             const std::string& sector) {
    m_ctx.CountDone = 0;
    m_ctx.CountPending = 0;
    if (sector.empty() || prog.empty() || ficha.empty() || ficha == "0000") {
        return;
    }
    db::Query& q = sqlPesqEtiqProgFichaSetor;
    q.param("SETOR").setString(sector);
    q.param("PROG").setString(prog);
    q.param("FICHA").setString(ficha);
    readStatusCounts(q);
}

void SectorRecords::RecordTicketCompletion(const std::string& prog, const std::string& ficha, const std::string&,
                                           const std::string&) {
    CountTicketBoxes(prog, ficha);
    // The ticket's sector record (with its validation and audit rows) is not part of this build yet.
}

int SectorRecords::RecordUnitBoxSectorUpdate(const std::string&, const std::string&, const std::string&, std::int32_t) {
    // Sector records are not part of this station build yet; nothing is written.
    return 0;
}

} // namespace vek
