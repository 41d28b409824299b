#include "util/Text.h"

#include <limits>

namespace vek {

namespace {

bool isBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

std::string trimmed(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && isBlankOrControl(text[b])) ++b;
    while (e > b && isBlankOrControl(text[e - 1])) --e;
    return std::string(text.substr(b, e - b));
}

std::string withoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

std::int32_t wholeNumberOr0(std::string_view text) {
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string_view::npos) return 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) return 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) return 0;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min()) return 0;
    return static_cast<std::int32_t>(value);
}

} // namespace vek
