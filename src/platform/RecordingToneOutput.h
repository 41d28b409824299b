#pragma once

#include "station/Platform.h"

#include <vector>

namespace vek {

/// Records the tones instead of playing them; returns at once (tests and script mode).
class RecordingToneOutput final : public ToneOutput {
public:
    /// Nothing sounds, so nothing is waited for: returns 0.
    int play(const std::vector<Tone>& tones, ToneKind kind) override;

    /// The tones played since the last call, oldest first; clears the record.
    std::vector<Tone> take();

private:
    std::vector<Tone> m_tones;
};

} // namespace vek
