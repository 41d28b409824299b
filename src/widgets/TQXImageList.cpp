#include "widgets/TQXImageList.h"

namespace vek::widgets {

int TQXImageList::indexOfAction(const QString& upperAction) const {
    for (std::size_t i = 0; i < Images.size(); ++i) {
        if (Images[i].Action() == upperAction) return static_cast<int>(i);
    }
    return -1;
}

} // namespace vek::widgets
