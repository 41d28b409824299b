#pragma once

#include <stdexcept>

namespace vek {

/// A scan's unit of work lost its connection: its commit may have reached the server or not, so
/// only the database can tell what became of the scan. Nothing was shown for it yet.
class OutcomeInDoubt : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace vek
