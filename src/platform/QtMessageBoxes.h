#pragma once

#include "station/Platform.h"

namespace vek {

/// Modal QMessageBox with an OK button, parented to the active window.
class QtMessageBoxes final : public MessageBoxes {
public:
    void show(Icon icon, const QString& title, const QString& text) override;
};

} // namespace vek
