#include "scan/StationModules.h"

#include "auditlog/TdmLog.h"
#include "stock/TdmEstoqueProducao.h"

namespace vek {

StationModules::StationModules(db::Connection& main) : m_main(main) {}

StationModules::~StationModules() = default;

auditlog::TdmLog& StationModules::dmLog() {
    if (!m_dmLog) {
        m_dmLog = std::make_unique<auditlog::TdmLog>("QUILBAR", m_main);
    }
    return *m_dmLog;
}

stock::TdmEstoqueProducao& StationModules::dmEstoqueProducao() {
    if (!m_dmEstoqueProducao) {
        m_dmEstoqueProducao = std::make_unique<stock::TdmEstoqueProducao>();
        m_dmEstoqueProducao->DefinirConexao(m_main);
    }
    return *m_dmEstoqueProducao;
}

} // namespace vek
