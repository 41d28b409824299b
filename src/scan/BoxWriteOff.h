#pragma once

#include "util/DateTime.h"

#include <cstdint>
#include <optional>

namespace vek {

class StationContext;

namespace sql {
extern const char* const kBloqCxUnit; // sqlBloqCxUnit: locks the box's row for its unit of work, COD
} // namespace sql

/// Writes the box off with `sqlQuilbar`, unless it is written off already. False when another
/// station wrote it off first: nothing was written, and the caller must neither count nor book it.
/// Runs in the caller's unit of work; an update conflict is passed on for the unit to run again.
/// `keptAt`: a kept scan settled later is written off at the time it was made.
bool WriteOffBox(StationContext& ctx, std::int32_t code, const std::optional<DateTime>& keptAt);

} // namespace vek
