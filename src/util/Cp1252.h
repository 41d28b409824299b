#pragma once

// Plain C++ with no Qt: the JSON library maps its texts with it too, and builds alone for fuzzing.

namespace vek {

/// The station's texts are 8-bit Windows-1252: the code page's characters, one table for all.

/// The character of one byte. The five bytes without a character in the code page
/// (0x81 0x8D 0x8F 0x90 0x9D) give the C1 control with the same value, so that any byte
/// string survives a round trip unchanged.
char16_t unicodeOfByte(unsigned char byte);

/// The byte of one character, or '?' when the code page cannot hold it.
char byteOfUnicode(char32_t codePoint);

} // namespace vek
