#include "app/RecordingToneOutput.h"

#include <utility>

namespace vek {

void RecordingToneOutput::play(const std::vector<Tone>& tones) {
    m_tones.insert(m_tones.end(), tones.begin(), tones.end());
}

std::vector<Tone> RecordingToneOutput::take() {
    return std::exchange(m_tones, {});
}

} // namespace vek
