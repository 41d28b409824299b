#include "scan/StockMovement.h"

namespace vek {

void StockMovement::PostStockMovement(std::int32_t, const DateTime&) {
    // Stock movements are not part of this station build yet.
}

void StockMovement::PostProductionStockEntry(std::int64_t) {
    // The production stock module is not part of this station build yet.
}

} // namespace vek
