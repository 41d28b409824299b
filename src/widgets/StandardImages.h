#pragma once

#include "widgets/TQXImageList.h"

namespace vek::widgets {

/// The number of pictures in the suite's standard image list.
inline constexpr int kStandardImageCount = 64;

/// Fills `list` with the suite's standard action pictures (16 x 16): one entry per action, in a
/// fixed order, and a last entry without action. Entries already in the list are replaced.
void FillStandardImages(TQXImageList& list);

} // namespace vek::widgets
