#pragma once

#include "db/Query.h"
#include "scan/BoxRow.h"
#include "scan/ScanOutcome.h"
#include "util/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vek {

class StationContext;
class ProductionMonitor;
class StockMovement;

/// Programme, ticket and sub-ticket of a sub-ticket label, leading zeros kept.
struct SubTicketCode {
    std::string prog;
    std::string ficha;
    std::string subficha;

    /// The label's parts; the code is a 15-character sub-ticket label.
    static SubTicketCode of(const std::string& code);
    /// "prog/ficha/subficha", as the messages name the sub-ticket.
    std::string text() const { return prog + "/" + ficha + "/" + subficha; }
};

/// A sub-ticket label writes off the boxes of its sub-ticket in one scan.
class SubTicketScan {
public:
    SubTicketScan(StationContext& ctx, ProductionMonitor& monitor, StockMovement& stock);
    SubTicketScan(const SubTicketScan&) = delete;
    SubTicketScan& operator=(const SubTicketScan&) = delete;

    /// Refusals are shown; a write-off error is shown in the update-error box and passed on, later
    /// errors are passed on. `keptAt`: a kept scan settled later, claimed and written off at the time
    /// it was made.
    ScanOutcome ProcessSubTicket(const std::string& code, const std::optional<DateTime>& keptAt = std::nullopt);

private:
    /// Writes off up to `quantity` of the boxes from `from` on, in one statement: how many it wrote
    /// and the code of the last one.
    std::pair<int, std::int32_t> writeOffBoxes(const std::vector<BoxRow>& rows, std::size_t from, int quantity,
                                               const std::optional<DateTime>& keptAt);
    StationContext& m_ctx;
    ProductionMonitor& m_monitor;
    StockMovement& m_stock;
    db::Query sqlSubFicha;
    db::Query sqlCodCxUnSubProd;
    db::Query sqlAtuSubFicha;
    db::Query sqlAtuSubFichaEm;     // the same claim at a kept scan's time, DTBAIXA
    db::Query sqlBaixaCxSubFicha;   // the listed boxes written off, up to the sub-ticket's quantity
    db::Query sqlBaixaCxSubFichaEm; // the same at a kept scan's time, DTBAIXA
};

} // namespace vek
