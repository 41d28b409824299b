#pragma once

#include "db/MemTable.h"
#include "db/Provider.h"
#include "db/Query.h"
#include "util/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vek {

class StationContext;
class ProductionMonitor;
class StationModules;

namespace sql {
extern const char* const kPesqEtiqProgFicha;      // a ticket's box counts by status, PROG and FICHA
extern const char* const kPesqEtiqProgFichaSetor; // the same in one sector, SETOR, PROG and FICHA
extern const char* const kBloqContaFicha;         // the ticket's first box locked and its counts, PROG and FICHA
} // namespace sql

/// The production records of a sector: counting a ticket's boxes, the ticket record of a conveyor
/// station and the box records of a sector station.
class SectorRecords {
public:
    /// The counts go to the monitor's ticket count, which `edTotEtiq` shows.
    SectorRecords(StationContext& ctx, ProductionMonitor& monitor, StationModules& modules);
    SectorRecords(const SectorRecords&) = delete;
    SectorRecords& operator=(const SectorRecords&) = delete;

    /// The ticket count: the ticket's boxes written off and not, cancelled ones left out.
    void CountTicketBoxes(const std::string& prog, const std::string& ficha);
    /// The same for the boxes recorded in the sector; nothing counted for a missing value or ticket "0000".
    void CountTicketBoxesInSector(const std::string& prog, const std::string& ficha, const std::string& sector);

    /// Conveyor mode, inside the scan's unit of work: counts the ticket and, when it is complete and
    /// passes the sector's validation, records it once in SETOR_ATU_PRODUCAO_SETOR with its audit
    /// rows. Returns the validation's refusal for the caller to show once the unit is over.
    /// `keptAt`: a kept scan settled later is recorded at the time it was made.
    std::optional<std::string> RecordTicketCompletion(const std::string& prog, const std::string& ficha,
                                                      const std::string& subTicket, const std::string& product,
                                                      const std::optional<DateTime>& keptAt = std::nullopt);
    /// Sector mode: records the box in the station's sector (the sector row must be open); returns
    /// the PRODUCAO_SETOR_CXUNIT id, 0 when nothing was written. Joins the connection's transaction.
    int RecordUnitBoxSectorUpdate(const std::string& prog, const std::string& ficha, const std::string& subTicket,
                                  std::int32_t boxCode, const std::optional<DateTime>& keptAt = std::nullopt);

    std::int32_t NextGeneratorValue(const std::string& generator);

private:
    /// Sets the monitor's ticket count from the statement's rows.
    void readStatusCounts(db::Query& query);
    /// The time a record of this scan takes: the kept scan's, else the last clock tick's.
    DateTime recordTime(const std::optional<DateTime>& keptAt) const;
    static void emptyForAppend(db::MemTable& table);
    /// The refusal's message, or nothing when the ticket may be recorded.
    std::optional<std::string> ValidateTicketForSector(const std::string& product, const std::string& prog,
                                                       const std::string& ficha, const std::string& subTicket,
                                                       const std::string& kind);
    /// Locks the ticket's first box row (every station completing the ticket takes it first), then
    /// counts its boxes as CountTicketBoxes does: one statement, one exchange.
    void LockAndCountTicket(const std::string& prog, const std::string& ficha);
    /// The columns every sector record shares; `suffix` is the table's ("PU", "PS").
    void setCommonColumns(db::MemTable& table, const std::string& suffix, const std::string& prog,
                          const std::string& ficha, const std::string& subTicket, const std::string& sector,
                          const std::string& kind, const std::optional<DateTime>& keptAt);

    StationContext& m_ctx;
    ProductionMonitor& m_monitor;
    StationModules& m_modules;
    db::Query sqlPesqEtiqProgFicha;
    db::Query sqlPesqEtiqProgFichaSetor;
    db::Query sqlBloqContaFicha;
    db::Query sqlProdSetor;
    db::Query sqlProdSetorUnit;
    db::Query sqlProdSetorU;
    db::Provider dspProdSetor;
    db::Provider dspProdSetorUnit;
    db::Provider dspProdSetorU;
    db::MemTable cdsProdSetor{"cdsProdSetor"};
    db::MemTable cdsProdSetorUnit{"cdsProdSetorUnit"};
    db::MemTable cdsProdSetorU{"cdsProdSetorU"};
};

} // namespace vek
