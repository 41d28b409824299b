#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vek::access {

/// An answer of the access server that does not decode.
class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The longest plain text an answer may carry. A company list is a few kilobytes; the bound keeps a
/// forged length or a small stream that inflates without end from taking the memory.
inline constexpr std::int32_t kMaxPlainLength = 4 * 1024 * 1024;

/// The text of an encoded answer: start offset and plain length (32-bit little-endian each), then a
/// zlib stream whose inflated bytes are XORed with ResponseKeyTable from the offset on, wrapping at
/// the table's end. Throws DecodeError for an offset outside the table, a negative or oversized
/// length, a stream that is damaged, cut short or shorter than the length.
std::string DecodeResponse(std::string_view body);

/// The encoded answer of a text, starting at `offset` in the table (0 to 4095); for the server.
std::string EncodeResponse(std::string_view text, std::int32_t offset);

} // namespace vek::access
