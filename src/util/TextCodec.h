#pragma once

#include "util/Cp1252.h"

#include <QString>

#include <string>
#include <string_view>

namespace vek {

/// The station's texts are 8-bit Windows-1252; the UI works with QString.
/// These two functions are the only place where one is turned into the other.

/// Every byte gives one character. The five bytes without a character in the
/// code page (0x81 0x8D 0x8F 0x90 0x9D) give the C1 control with the same value,
/// so that any byte string survives a round trip through the UI unchanged.
QString toQString(std::string_view bytes);

/// Every character gives one byte; a character the code page cannot hold
/// (including a character outside the basic plane or a lone surrogate) becomes '?'.
std::string fromQString(const QString& text);

/// A UTF-8 text of the sources (messages, captions) as the station's 8-bit text.
std::string cp1252(std::string_view utf8);

} // namespace vek
