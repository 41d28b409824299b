#pragma once

#include <memory>

namespace vek {

namespace auditlog {
class TdmLog;
}
namespace db {
class Connection;
}
namespace stock {
class TdmEstoqueProducao;
}

/// The modules on the main connection that the scans and the cancellation share, each made on first
/// use and kept for the station's life.
class StationModules {
public:
    explicit StationModules(db::Connection& main);
    ~StationModules();
    StationModules(const StationModules&) = delete;
    StationModules& operator=(const StationModules&) = delete;

    /// The audit-log module (user "QUILBAR").
    auditlog::TdmLog& dmLog();
    /// The production stock module.
    stock::TdmEstoqueProducao& dmEstoqueProducao();
    /// The stock module when a booking or cancellation made it; null before.
    const stock::TdmEstoqueProducao* dmEstoqueProducaoIfMade() const { return m_dmEstoqueProducao.get(); }

private:
    db::Connection& m_main;
    std::unique_ptr<auditlog::TdmLog> m_dmLog;
    std::unique_ptr<stock::TdmEstoqueProducao> m_dmEstoqueProducao;
};

} // namespace vek
