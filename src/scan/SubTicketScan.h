#pragma once

#include <string>

namespace vek {

class StationContext;
class ProductionMonitor;
class StockMovement;

/// A sub-ticket label writes off the boxes of its sub-ticket in one scan.
class SubTicketScan {
public:
    SubTicketScan(StationContext& ctx, ProductionMonitor& monitor, StockMovement& stock)
        : m_ctx(ctx), m_monitor(monitor), m_stock(stock) {}

    void ProcessSubTicket(const std::string& code);

private:
    StationContext& m_ctx;
    [[maybe_unused]] ProductionMonitor& m_monitor;
    [[maybe_unused]] StockMovement& m_stock;
};

} // namespace vek
