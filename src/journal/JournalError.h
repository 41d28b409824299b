#pragma once

#include <stdexcept>

namespace vek::journal {

/// The scan journal's file, its place or its lock could not be had.
class JournalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace vek::journal
