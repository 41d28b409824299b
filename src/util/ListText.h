#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vek {

/// The items of a list kept in one text (a parameter such as "A, B,C"): split at every character of
/// `separators`, blanks and tabs trimmed from each item, items empty after trimming dropped.
std::vector<std::string> splitList(std::string_view text, std::string_view separators);

} // namespace vek
