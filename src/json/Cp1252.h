#pragma once

#include <string_view>

namespace vek::json {

/// The library's texts are 8-bit Windows-1252. These helpers give the character
/// of a byte, the byte of a UTF-16 code unit and the case-insensitive key match.

/// The Unicode character of one byte. The five bytes the code page leaves
/// undefined (0x81 0x8D 0x8F 0x90 0x9D) give the C1 control of the same value.
char16_t cp1252ToUnicode(unsigned char byte);

/// The byte of one UTF-16 code unit. A unit below 0x100 gives the byte of the
/// same value, so that text written with 8-bit codes reads back unchanged; the
/// code page's own characters above 0xFF (the euro sign, curly quotes...) give
/// their byte; anything else gives '?'.
unsigned char unicodeToCp1252(char16_t unit);

/// The lower-case form of a byte, for the letters of the code page.
unsigned char cp1252Lower(unsigned char byte);

/// Equality that ignores letter case, the letters with accents included.
bool sameTextIgnoringCase(std::string_view a, std::string_view b);

} // namespace vek::json
