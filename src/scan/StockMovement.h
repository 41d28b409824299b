#pragma once

#include "util/DateTime.h"

#include <cstdint>

namespace vek {

class StationContext;

/// Stock booking of a written-off box: the station's own movement row, or the production stock module.
class StockMovement {
public:
    explicit StockMovement(StationContext& ctx) : m_ctx(ctx) {}

    void PostStockMovement(std::int32_t code, const DateTime& serverTime);
    void PostProductionStockEntry(std::int64_t code);

private:
    [[maybe_unused]] StationContext& m_ctx;
};

} // namespace vek
