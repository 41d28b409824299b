#include "platform/RecordingMessageBoxes.h"

#include <utility>

namespace vek {

void RecordingMessageBoxes::show(Icon icon, const QString& title, const QString& text) {
    m_boxes.push_back({icon, title, text});
}

std::vector<RecordingMessageBoxes::Box> RecordingMessageBoxes::take() {
    return std::exchange(m_boxes, {});
}

} // namespace vek
