#include "platform/RecordingToneOutput.h"

#include <utility>

namespace vek {

int RecordingToneOutput::play(const std::vector<Tone>& tones, ToneKind) {
    m_tones.insert(m_tones.end(), tones.begin(), tones.end());
    return 0;
}

std::vector<Tone> RecordingToneOutput::take() {
    return std::exchange(m_tones, {});
}

} // namespace vek
