#pragma once

namespace vek {

class StationContext;

/// Tells the production dashboard about a box recorded in a sector.
class DashboardNotifier {
public:
    explicit DashboardNotifier(StationContext& ctx) : m_ctx(ctx) {}

    void NotifyDashboard(int id);

private:
    [[maybe_unused]] StationContext& m_ctx;
};

} // namespace vek
