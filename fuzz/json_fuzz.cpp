// Feeds arbitrary bytes to the object and array parsers, reads every member
// through the typed lookups, and checks that whatever the writer gives parses
// again and settles after one more round.
#include "json/uJSON.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>

using namespace vek::json;

namespace {

// Every character may become a six-character escape, once when a key is read
// from an object or array and once more for each level of such keys and for writing.
constexpr std::size_t kMaxGrowth = 6 * 6 * 6 * 6;

// The ways a parse or a lookup may fail; anything else reaching the fuzzer is a fault.
template <typename Action>
void allowingFailures(Action action) {
    try {
        action();
    } catch (const JSONException&) {
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {}
}

void readMembers(const TJSONObject& object) {
    for (const std::string& key : object.keyList()) {
        if (key.empty()) {
            continue; // lookups refuse an empty key, as they should
        }
        allowingFailures([&] { (void)object.requireText(key); });
        allowingFailures([&] { (void)object.requireBoolean(key); });
        allowingFailures([&] { (void)object.requireReal(key); });
        allowingFailures([&] { (void)object.requireInteger(key); });
        allowingFailures([&] { (void)object.requireArray(key).count(); });
    }
}

void readElements(const TJSONArray& array) {
    for (int i = 0; i <= array.count(); ++i) {
        allowingFailures([&] { readMembers(array.objectAt(i)); });
    }
}

[[noreturn]] void fail(const char* what, const std::string& text) {
    std::fprintf(stderr, "%s\n%s\n", what, text.c_str());
    std::abort();
}

// The writer's text must parse (no exception is allowed here), and a second
// write must settle: the first round only turns numbers into their text form.
template <typename Container>
void checkRoundTrip(const std::string& written) {
    const Container once(written);
    const std::string again = once.toText();
    const Container twice(again);
    if (twice.toText() != again) {
        fail("writing did not settle", again);
    }
}

template <typename Container>
void exercise(const std::string& text) {
    std::optional<std::string> written;
    allowingFailures([&] {
        const Container parsed(text);
        if constexpr (std::is_same_v<Container, TJSONObject>) {
            readMembers(parsed);
            (void)parsed.duplicate();
        } else {
            readElements(parsed);
        }
        written = parsed.toText();
    });
    if (written) {
        // Escaping may multiply a text a few times over, never without bound.
        if (written->size() > kMaxGrowth * text.size() + 64) {
            fail("written text out of proportion to its source", text);
        }
        checkRoundTrip<Container>(*written);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    exercise<TJSONObject>(text);
    exercise<TJSONArray>(text);
    return 0;
}
