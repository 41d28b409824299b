#include "monitoring/FeedDatagram.h"

#include "json/JSONExceptions.h"
#include "json/TJSONObject.h"

#include <stdexcept>

namespace vek {

std::optional<AnnouncedEntry> parseFeedDatagram(std::string_view bytes) {
    if (bytes.size() > kMaxFeedDatagram) {
        bytes = bytes.substr(0, kMaxFeedDatagram);
    }
    if (bytes.empty() || bytes.front() != '{') {
        return std::nullopt;
    }
    try {
        const json::TJSONObject object{std::string(bytes)};
        AnnouncedEntry entry{object.requireText("prog"), object.requireText("ficha")};
        if (entry.prog.empty() || entry.ficha.empty()) {
            return std::nullopt;
        }
        return entry;
    } catch (const json::JSONException&) {
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {}
    return std::nullopt;
}

} // namespace vek
