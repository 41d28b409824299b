#pragma once

#include "station/Platform.h"

#include <QString>

#include <vector>

namespace vek {

/// Records the boxes instead of showing them; each counts as closed with OK at once.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Box {
        Icon icon = Icon::Information;
        QString title;
        QString text;
        bool operator==(const Box&) const = default;
    };

    void show(Icon icon, const QString& title, const QString& text) override;

    /// The boxes shown since the last call, oldest first; clears the record.
    std::vector<Box> take();

private:
    std::vector<Box> m_boxes;
};

} // namespace vek
