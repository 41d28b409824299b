#pragma once

#include "db/Query.h"
#include "scan/BoxRow.h"
#include "util/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vek {

class StationContext;
class ProductionMonitor;
class StationModules;

/// What one stock movement row books. Texts are 8-bit.
struct StockMovementArgs {
    std::string order;
    std::string item;
    std::string document;
    std::string product;
    std::string pattern;
    std::string brand;
    std::string size;
    std::string user;
    std::string movementType;
    DateTime date;
    std::int32_t branch = 0;
    std::string productGroup;
    std::string programme;
    std::string ticket;
    std::string subTicket;
    std::int32_t boxCode = 0; // 0: a sub-ticket booking
    std::string orderType;
};

/// Whether `value` is one of the items of a list split at commas and line breaks, blanks trimmed
/// from each item; the comparison is exact.
bool listHolds(const std::string& list, const std::string& value);

/// The observation text of a movement row (8-bit).
std::string stockMovementObs(const StockMovementArgs& a);

/// Stock booking of a written-off box: the station's own movement row, or the production stock module.
class StockMovement {
public:
    /// The monitor's clock dates the production stock's bookings.
    StockMovement(StationContext& ctx, ProductionMonitor& monitor, StationModules& modules);
    StockMovement(const StockMovement&) = delete;
    StockMovement& operator=(const StockMovement&) = delete;

    /// The movement of a unit box the scan wrote off.
    void PostStockMovement(const BoxRow& box, const DateTime& serverTime);
    /// The movement row, then the order item's completion, in the caller's unit of work or one of
    /// their own. Errors are passed on.
    void PostStockMovement(const StockMovementArgs& a);
    /// A unit-box booking of the production stock module, with the same transaction rule; nothing
    /// without a production-stock branch. Dated by the clock's day, a kept scan by its own.
    void PostProductionStockEntry(std::int32_t code, const std::optional<DateTime>& keptAt = std::nullopt);

    bool ProductGroupSelected(const std::string& group) const;
    bool OrderTypeSelected(const std::string& orderType) const;

    /// The movement values both scans take from a box row: order, item, product, pattern, brand,
    /// size, group, order type, and the station's user, movement type and branch.
    StockMovementArgs argsOfBoxRow(const BoxRow& box, const DateTime& date) const;

private:
    void CompleteOrderItem(const StockMovementArgs& a);

    StationContext& m_ctx;
    ProductionMonitor& m_monitor;
    StationModules& m_modules;
    db::Query sqlAtuEst;
    db::Query sqlBloqItemPed;
    db::Query sqlAtuPend;
    db::Query sqlAtuPed;
};

} // namespace vek
