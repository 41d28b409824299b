// Feeds arbitrary bytes to the recent-entries datagram parser: nothing but an accepted entry or
// none may come out, only the first 8192 bytes may count, and an accepted entry must be what its
// members say, written back and read again.
#include "monitoring/FeedDatagram.h"
#include "json/TJSONObject.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace vek;

namespace {

// A number's text is at most its digits (a double's are a few hundred), two decimals and quotes.
constexpr std::size_t kNumberText = 330;

// What the dialect can make of the bytes read: each byte once, and each number token (a run of
// the characters a number is written with) at most its full decimal text. An array of numbers
// becomes their texts, so a member may be far longer than the datagram, but never beyond this
// (for the 8192 bytes read: a number in every other byte, about 1.4 MB).
std::size_t mostTextFrom(std::string_view read) {
    std::size_t numbers = 0;
    bool inNumber = false;
    for (const char c : read) {
        const bool numeric = (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
        numbers += numeric && !inNumber;
        inNumber = numeric;
    }
    return read.size() + numbers * kNumberText;
}

[[noreturn]] void fail(const char* what, std::string_view text) {
    std::fprintf(stderr, "%s\n%.*s\n", what, static_cast<int>(text.size()), text.data());
    std::abort();
}

bool same(const std::optional<AnnouncedEntry>& a, const std::optional<AnnouncedEntry>& b) {
    return a.has_value() == b.has_value() && (!a || (a->prog == b->prog && a->ficha == b->ficha));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto entry = parseFeedDatagram(bytes);
    if (!same(entry, parseFeedDatagram(bytes))) {
        fail("parsing is not repeatable", bytes);
    }
    if (size > kMaxFeedDatagram && !same(entry, parseFeedDatagram(bytes.substr(0, kMaxFeedDatagram)))) {
        fail("bytes beyond the limit counted", bytes);
    }
    if (!entry) {
        return 0;
    }
    if (bytes.empty() || bytes.front() != '{') {
        fail("accepted without an opening brace", bytes);
    }
    if (entry->prog.empty() || entry->ficha.empty()) {
        fail("accepted an empty member", bytes);
    }
    const std::size_t most = mostTextFrom(bytes.substr(0, std::min(size, kMaxFeedDatagram)));
    if (entry->prog.size() > most || entry->ficha.size() > most) {
        fail("member text beyond what the datagram's bytes can make", bytes);
    }

    if (entry->fitsColumns() != (entry->prog.size() <= kProgLength && entry->ficha.size() <= kFichaLength)) {
        fail("column fit misjudged", bytes);
    }
    // The same texts written as JSON strings and parsed again give the same entry.
    const std::string again = "{\"prog\":" + json::TJSONObject::quoteText(entry->prog) +
                              ",\"ficha\":" + json::TJSONObject::quoteText(entry->ficha) + "}";
    if (again.size() <= kMaxFeedDatagram && !same(entry, parseFeedDatagram(again))) {
        fail("an entry written back reads differently", again);
    }
    return 0;
}
