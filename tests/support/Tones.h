#pragma once

#include "station/Platform.h"

#include <vector>

namespace vek::test {

/// The station's alarm and success tones, as the operator hears them.
inline const std::vector<Tone> kAlarm = {{1800, 100}, {1450, 100}, {1800, 100}, {1450, 250}};
inline const std::vector<Tone> kSuccess = {{2450, 120}, {2800, 140}};

} // namespace vek::test
