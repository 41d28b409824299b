#pragma once

#include "db/Query.h"

#include <cstdint>
#include <string>

namespace vek {

class StationContext;

/// The production records of a sector: counting a ticket's boxes, the ticket record of a conveyor
/// station and the box records of a sector station.
class SectorRecords {
public:
    explicit SectorRecords(StationContext& ctx);

    /// CountDone and CountPending: the ticket's boxes written off and not, cancelled ones left out.
    void CountTicketBoxes(const std::string& prog, const std::string& ficha);
    /// The same for the boxes recorded in the sector; nothing counted for a missing value or ticket "0000".
    void CountTicketBoxesInSector(const std::string& prog, const std::string& ficha, const std::string& sector);

    /// Conveyor mode: counts the ticket and records it in its sector when complete.
    void RecordTicketCompletion(const std::string& prog, const std::string& ficha, const std::string& subTicket,
                                const std::string& product);
    /// Sector mode: records the box in the station's sector; returns the record's id.
    int RecordUnitBoxSectorUpdate(const std::string& prog, const std::string& ficha, const std::string& subTicket,
                                  std::int32_t boxCode);

private:
    void readStatusCounts(db::Query& query);

    StationContext& m_ctx;
    db::Query sqlPesqEtiqProgFicha;
    db::Query sqlPesqEtiqProgFichaSetor;
};

} // namespace vek
