#pragma once

#include "db/Query.h"

#include <optional>
#include <string>

namespace vek {

class StationContext;
class StationModules;

namespace enquiry {

class LabelEnquiry;

/// F9 in the cancellation panel: takes back one sector update of the enquired box.
class SectorCancellation {
public:
    SectorCancellation(LabelEnquiry& enquiry, StationModules& modules);
    SectorCancellation(const SectorCancellation&) = delete;
    SectorCancellation& operator=(const SectorCancellation&) = delete;

    /// The chosen sector, or nothing when none is chosen. True when the cancellation was committed
    /// (the panel then closes); false after a warning, also when another station cancelled the same
    /// record first. Errors are rolled back and passed on.
    bool CancelSectorUpdate(const std::optional<std::string>& sector);

private:
    db::Query sqlPesqProdSetorCxUnit;
    db::Query sqlExcluirProducaoSetorCxUnit;
    db::Query sqlExcluirProducaoSetor;
    db::Query sqlCancelaCodCxUnit;

    /// The cancellation's unit of work; false when no sector record was left to delete.
    bool run(const std::string& sector);
    LabelEnquiry& m_enquiry;
    StationContext& m_ctx;
    StationModules& m_modules;
};

} // namespace enquiry
} // namespace vek
