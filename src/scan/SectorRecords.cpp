#include "scan/SectorRecords.h"

#include "auditlog/TdmLog.h"
#include "db/DataSetHelpers.h"
#include "monitoring/ProductionMonitor.h"
#include "scan/StationModules.h"
#include "station/StationContext.h"
#include "util/Format.h"
#include "util/TextCodec.h"
#include "validation/TdmProducaoValidacao.h"

namespace vek {

namespace sql {
const char* const kPesqEtiqProgFicha =
    "select STATUS, count(*) as QTDE\n"
    "from (select case when (DTBAIXA_CX is null) then 'P' else 'B' end as STATUS from CODCXUNIT where PROG_CX = "
    ":PROG and FICHA_CX = :FICHA and DATA_CANC_CX is null)\n"
    "group by 1";
// The ticket's first box (by code) locked, then its boxes counted by status as kPesqEtiqProgFicha
// counts them; the types follow the installation's columns.
const char* const kBloqContaFicha =
    "execute block (PROG type of column CODCXUNIT.PROG_CX = :PROG, FICHA type of column CODCXUNIT.FICHA_CX = "
    ":FICHA)\n"
    "returns (DONE integer, PENDING integer)\n"
    "as\n"
    "declare FIRST_CX type of column CODCXUNIT.CODIGO_CX;\n"
    "declare LOCKED type of column CODCXUNIT.DTBAIXA_CX;\n"
    "declare STATUS char(1);\n"
    "declare QTDE integer;\n"
    "begin\n"
    "  DONE = 0;\n"
    "  PENDING = 0;\n"
    "  select min(CODIGO_CX) from CODCXUNIT where PROG_CX = :PROG and FICHA_CX = :FICHA into :FIRST_CX;\n"
    "  if (FIRST_CX is not null) then\n"
    "    select DTBAIXA_CX from CODCXUNIT where CODIGO_CX = :FIRST_CX for update with lock into :LOCKED;\n"
    "  for select STATUS, count(*) as QTDE\n"
    "      from (select case when (DTBAIXA_CX is null) then 'P' else 'B' end as STATUS from CODCXUNIT where "
    "PROG_CX = :PROG and FICHA_CX = :FICHA and DATA_CANC_CX is null)\n"
    "      group by 1 into :STATUS, :QTDE do\n"
    "  begin\n"
    "    if (STATUS = 'B') then DONE = QTDE;\n"
    "    else if (STATUS = 'P') then PENDING = QTDE;\n"
    "  end\n"
    "  suspend;\n"
    "end";
const char* const kPesqEtiqProgFichaSetor =
    "select STATUS, count(*) as QTDE\n"
    "from (select case when (DTSAIDA_PU is null) then 'P' else 'B' end as STATUS FROM CODCXUNIT CX LEFT JOIN "
    "PRODUCAO_SETOR_CXUNIT PS ON PS.CODCXUNIT_PU = CX.CODIGO_CX AND SETOR_PU = :SETOR WHERE CX.PROG_CX = :PROG "
    "AND CX.FICHA_CX = :FICHA AND CX.DATA_CANC_CX IS NULL)\n"
    "group by 1";
} // namespace sql

SectorRecords::SectorRecords(StationContext& ctx, ProductionMonitor& monitor, StationModules& modules)
    : m_ctx(ctx), m_monitor(monitor), m_modules(modules), sqlPesqEtiqProgFicha(ctx.sqlCon, "sqlPesqEtiqProgFicha"),
      sqlPesqEtiqProgFichaSetor(ctx.sqlCon, "sqlPesqEtiqProgFichaSetor"),
      sqlBloqContaFicha(ctx.sqlCon, "sqlBloqContaFicha"), sqlProdSetor(ctx.sqlCon, "sqlProdSetor"),
      sqlProdSetorUnit(ctx.sqlCon, "sqlProdSetorUnit"), sqlProdSetorU(ctx.sqlCon, "sqlProdSetorU"),
      dspProdSetor(sqlProdSetor, "dspProdSetor"), dspProdSetorUnit(sqlProdSetorUnit, "dspProdSetorUnit"),
      dspProdSetorU(sqlProdSetorU, "dspProdSetorU") {
    sqlPesqEtiqProgFicha.setSql(sql::kPesqEtiqProgFicha);
    sqlPesqEtiqProgFichaSetor.setSql(sql::kPesqEtiqProgFichaSetor);
    sqlBloqContaFicha.setSql(sql::kBloqContaFicha);
    sqlBloqContaFicha.setSingleRow(true);
    sqlProdSetor.setSql("select * \n"
                        "from PRODUCAO_SETOR\n"
                        "WHERE\n"
                        "PROG_PS=:PROG and\n"
                        "FICHA_PS=:FICHA and\n"
                        "SUBFICHA_PS=:SUBFICHA and\n"
                        "SETOR_PS=:SETOR");
    sqlProdSetorUnit.setSql("select * \n"
                            "from PRODUCAO_SETOR_CXUNIT\n"
                            "WHERE\n"
                            "ID_PU = 0");
    sqlProdSetorU.setSql("select * \n"
                         "from PRODUCAO_SETOR\n"
                         "WHERE\n"
                         "ID_PS = 0");
    cdsProdSetor.setProvider(&dspProdSetor);
    cdsProdSetorUnit.setProvider(&dspProdSetorUnit);
    cdsProdSetorU.setProvider(&dspProdSetorU);
}

void SectorRecords::CountTicketBoxes(const std::string& prog, const std::string& ficha) {
    m_monitor.setTicketCount(0, 0);
    sqlPesqEtiqProgFicha.param("PROG").setString(prog);
    sqlPesqEtiqProgFicha.param("FICHA").setString(ficha);
    readStatusCounts(sqlPesqEtiqProgFicha);
}

void SectorRecords::readStatusCounts(db::Query& query) {
    int done = 0;
    int pending = 0;
    query.open();
    for (; !query.eof(); query.next()) {
        const std::string status = query.field("STATUS").asString();
        if (status == "B") {
            done = query.field("QTDE").asInt();
        } else if (status == "P") {
            pending = query.field("QTDE").asInt();
        }
    }
    query.close();
    m_monitor.setTicketCount(done, pending);
}

void SectorRecords::CountTicketBoxesInSector(const std::string& prog, const std::string& ficha,
                                             const std::string& sector) {
    m_monitor.setTicketCount(0, 0);
    if (sector.empty() || prog.empty() || ficha.empty() || ficha == "0000") {
        return;
    }
    db::Query& q = sqlPesqEtiqProgFichaSetor;
    q.param("SETOR").setString(sector);
    q.param("PROG").setString(prog);
    q.param("FICHA").setString(ficha);
    readStatusCounts(q);
}

DateTime SectorRecords::recordTime(const std::optional<DateTime>& keptAt) const {
    return keptAt ? *keptAt : m_monitor.lastClockTime();
}

std::optional<std::string> SectorRecords::ValidateTicketForSector(const std::string& product, const std::string& prog,
                                                                  const std::string& ficha,
                                                                  const std::string& subTicket,
                                                                  const std::string& kind) {
    const validation::TDadosValidacao dados(product, m_ctx.settings.SETOR_ATU_PRODUCAO_SETOR, prog, ficha, subTicket,
                                            m_ctx.sqlDadosSetor.field("SETORANT_SE").asString(), kind, 0, m_ctx.sqlCon);
    const validation::TRetorno r = validation::TdmProducaoValidacao(dados).ValidarFicha();
    if (!r.Valido) {
        return cp1252("Erro Atu.Produção Setor: ") + r.Mensagem;
    }
    return std::nullopt;
}

void SectorRecords::LockAndCountTicket(const std::string& prog, const std::string& ficha) {
    m_monitor.setTicketCount(0, 0);
    db::Query& q = sqlBloqContaFicha;
    q.param("PROG").setString(prog);
    q.param("FICHA").setString(ficha);
    q.open();
    const int done = q.field("DONE").asInt();
    const int pending = q.field("PENDING").asInt();
    q.close();
    m_monitor.setTicketCount(done, pending);
}

void SectorRecords::setCommonColumns(db::MemTable& t, const std::string& sfx, const std::string& prog,
                                     const std::string& ficha, const std::string& subTicket, const std::string& sector,
                                     const std::string& kind, const std::optional<DateTime>& keptAt) {
    t.setValue("PROG_" + sfx, prog);
    t.setValue("FICHA_" + sfx, ficha);
    t.setValue("SUBFICHA_" + sfx, subTicket);
    t.setValue("SETOR_" + sfx, sector);
    t.setValue("TIPO_OPERACAO_SETOR_" + sfx, m_ctx.sqlDadosSetor.field("TIPO_OPERACAO_SE").asString());
    t.setValue("TIPO_ATUALIZACAO_" + sfx, kind);
    // The time of the last clock tick, not of the scan: records of one minute share it. A kept scan
    // settled later is recorded at the time it was made.
    t.setValue("DTSAIDA_" + sfx, recordTime(keptAt));
    t.setValue("HORASAIDA_" + sfx, keptAt ? formatDateTime("hh:nn:ss", *keptAt) : m_monitor.lastClockTimeText());
}

std::optional<std::string> SectorRecords::RecordTicketCompletion(const std::string& prog, const std::string& ficha,
                                                                 const std::string& subTicket,
                                                                 const std::string& product,
                                                                 const std::optional<DateTime>& keptAt) {
    const std::string& sector = m_ctx.settings.SETOR_ATU_PRODUCAO_SETOR;
    const bool recordable = !sector.empty() && !prog.empty() && !ficha.empty() && ficha != "0000";
    // Locked before the count: two conveyors writing off a ticket's last two boxes would each count
    // the other's box as pending (no completion at all), or both find no completion row yet (two).
    // The one that waited runs its scan again and then sees what the first committed.
    if (recordable) {
        LockAndCountTicket(prog, ficha);
    } else {
        CountTicketBoxes(prog, ficha);
    }
    if (!recordable || m_monitor.countPending() != 0) {
        return std::nullopt;
    }
    m_ctx.OpenSectorData(sector);
    const std::string kind = subTicket == "0000" ? "F" : "S";
    if (auto refusal = ValidateTicketForSector(product, prog, ficha, subTicket, kind)) {
        return refusal;
    }
    cdsProdSetor.close();
    sqlProdSetor.param("PROG").setString(prog);
    sqlProdSetor.param("FICHA").setString(ficha);
    sqlProdSetor.param("SUBFICHA").setString(subTicket);
    sqlProdSetor.param("SETOR").setString(sector);
    cdsProdSetor.open();
    if (!cdsProdSetor.isEmpty()) {
        return std::nullopt; // a ticket is recorded once per sector and sub-ticket
    }
    cdsProdSetor.append();
    cdsProdSetor.setValue("ID_PS", std::int32_t{0});
    setCommonColumns(cdsProdSetor, "PS", prog, ficha, subTicket, sector, kind, keptAt);
    cdsProdSetor.setValue("QTDE_PS", std::int32_t{m_monitor.countDone()});
    cdsProdSetor.post();
    m_modules.dmLog().LogChanges("PRODUCAO_SETOR", cdsProdSetor);
    // A refused row raises: the scan reports it as an update error.
    cdsProdSetor.applyChanges();
    return std::nullopt;
}

int SectorRecords::RecordUnitBoxSectorUpdate(const std::string& prog, const std::string& ficha,
                                             const std::string& subTicket, std::int32_t boxCode,
                                             const std::optional<DateTime>& keptAt) {
    const std::string& sector = m_ctx.settings.SETOR;
    if (sector.empty() || prog.empty() || ficha.empty() || ficha == "0000") {
        return 0;
    }
    const std::string& employee = m_ctx.settings.FUNCIONARIO;
    emptyForAppend(cdsProdSetorUnit);
    const std::int32_t id = NextGeneratorValue("ID_PRODUCAO_SETOR_CXUNIT");
    cdsProdSetorUnit.append();
    cdsProdSetorUnit.setValue("ID_PU", id);
    setCommonColumns(cdsProdSetorUnit, "PU", prog, ficha, subTicket, sector, "U", keptAt);
    if (!employee.empty()) cdsProdSetorUnit.setValue("FUNCIONAR_PU", employee);
    cdsProdSetorUnit.setValue("CODCXUNIT_PU", boxCode);
    cdsProdSetorUnit.setValue("QTDE_PU", std::int32_t{1});
    cdsProdSetorUnit.post();
    cdsProdSetorUnit.applyChanges();

    emptyForAppend(cdsProdSetorU);
    cdsProdSetorU.append();
    cdsProdSetorU.setValue("ID_PS", std::int32_t{0});
    setCommonColumns(cdsProdSetorU, "PS", prog, ficha, subTicket, sector, "U", keptAt);
    if (!employee.empty()) cdsProdSetorU.setValue("FUNCIONAR_PS", employee);
    cdsProdSetorU.setValue("CODCXUNIT_PS", boxCode);
    cdsProdSetorU.setValue("QTDE_PS", std::int32_t{1});
    cdsProdSetorU.post();
    cdsProdSetorU.applyChanges();

    CountTicketBoxesInSector(prog, ficha, sector);
    return id;
}

void SectorRecords::emptyForAppend(db::MemTable& table) {
    // The table only supplies the columns: read once, then emptied in memory for every box. A row
    // a failed apply left pending goes with it.
    if (!table.isActive()) {
        table.open();
        return;
    }
    table.setLogChanges(false);
    ClearDataSet(table);
    table.setLogChanges(true);
}

std::int32_t SectorRecords::NextGeneratorValue(const std::string& generator) {
    return m_ctx.sqlCon.nextId(generator);
}

} // namespace vek
