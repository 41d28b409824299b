#pragma once

// Plain C++ over the JSON library only: the fuzz build compiles it without Qt.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vek {

/// The longest datagram the feed receives; the bytes beyond it are never read.
inline constexpr std::size_t kMaxFeedDatagram = 8192;
/// The columns an announced entry is looked up in: programme and ticket.
inline constexpr std::size_t kProgLength = 6;
inline constexpr std::size_t kFichaLength = 4;

/// A production entry as another system announced it.
struct AnnouncedEntry {
    std::string prog;
    std::string ficha;

    /// A text longer than its column can equal no value of it: the look-up would find nothing.
    bool fitsColumns() const { return prog.size() <= kProgLength && ficha.size() <= kFichaLength; }
};

/// The entry a datagram announces: the text of its members "prog" and "ficha" (a JSON number reads
/// as its two-decimal text between double quotes), both non-empty. Nothing for a datagram that is
/// empty, does not begin with "{", is no JSON object or lacks either member. The library's own
/// failures and conversion failures end here; only an allocation failure is passed on.
std::optional<AnnouncedEntry> parseFeedDatagram(std::string_view bytes);

} // namespace vek
