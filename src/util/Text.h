#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vek {

/// `text` without the blanks and control characters (every byte up to ' ') at both ends.
std::string trimmed(std::string_view text);

/// `text` without the spaces at its end; a catalogue's padded CHAR values compare as typed.
std::string withoutTrailingBlanks(std::string_view text);

/// A whole decimal number with leading blanks (spaces, tabs) and one sign allowed, nothing after
/// it, within 32 bits; 0 for anything else.
std::int32_t wholeNumberOr0(std::string_view text);

} // namespace vek
