#include "monitoring/FeedDatagram.h"

#include "json/JSONExceptions.h"
#include "json/TJSONArray.h"
#include "json/TJSONObject.h"

#include <stdexcept>

namespace vek {

namespace {

// A programme or ticket is a string or a number. The text of an object or array is no
// announcement, and the dialect writes a repeated key with its first value each time, so 8 KB of
// them could make a text of hundreds of megabytes.
std::optional<std::string> memberText(const json::TJSONObject& object, const std::string& key) {
    const json::TZAbstractObject& value = object.require(key);
    if (dynamic_cast<const json::TJSONObject*>(&value) || dynamic_cast<const json::TJSONArray*>(&value)) {
        return std::nullopt;
    }
    return value.toText();
}

} // namespace

std::optional<AnnouncedEntry> parseFeedDatagram(std::string_view bytes) {
    if (bytes.size() > kMaxFeedDatagram) {
        bytes = bytes.substr(0, kMaxFeedDatagram);
    }
    if (bytes.empty() || bytes.front() != '{') {
        return std::nullopt;
    }
    try {
        const json::TJSONObject object{std::string(bytes)};
        std::optional<std::string> prog = memberText(object, "prog");
        std::optional<std::string> ficha = prog ? memberText(object, "ficha") : std::nullopt;
        if (!prog || !ficha || prog->empty() || ficha->empty()) {
            return std::nullopt;
        }
        return AnnouncedEntry{std::move(*prog), std::move(*ficha)};
    } catch (const json::JSONException&) {
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {}
    return std::nullopt;
}

} // namespace vek
