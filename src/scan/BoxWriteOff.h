#pragma once

#include <cstdint>

namespace vek {

class StationContext;

/// How often a write-off or a box's lock is tried again after an update conflict (another
/// station's write-off of the same box committed while ours waited).
inline constexpr int kLockAttempts = 5;

/// Writes the box off with `sqlQuilbar`, unless it is written off already. False when another
/// station wrote it off first: nothing was written, and the caller must neither count nor book it.
/// Outside a unit of work an update conflict is tried again (it then finds the box written off), for
/// no longer than the lock timeout in all; inside one it is passed on for the caller to run the unit
/// again.
bool WriteOffBox(StationContext& ctx, std::int32_t code);

} // namespace vek
