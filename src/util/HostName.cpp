#include "util/HostName.h"

#include <arpa/inet.h>

#include <string>

namespace vek {

namespace {

bool isAddress(int family, std::string_view text) {
    unsigned char buffer[16];
    return inet_pton(family, std::string(text).c_str(), buffer) == 1;
}

bool isLabelChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

} // namespace

bool isHostName(std::string_view text) {
    if (text.empty() || text.size() > 253) {
        return false;
    }
    if (text.front() == '[') {
        return text.size() > 2 && text.back() == ']' && isAddress(AF_INET6, text.substr(1, text.size() - 2));
    }
    // All digits and dots is meant as an address, and must be a whole one ("10.0.0.300" is not).
    if (text.find_first_not_of("0123456789.") == std::string_view::npos) {
        return isAddress(AF_INET, text);
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        const std::string_view label = text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
            return false;
        }
        for (char c : label) {
            if (!isLabelChar(c)) return false;
        }
        if (dot == std::string_view::npos) {
            return true;
        }
        start = dot + 1;
    }
}

void splitHostAndPort(std::string_view text, std::string_view& host, std::string_view& port) {
    std::size_t end = std::string_view::npos;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        end = close == std::string_view::npos ? std::string_view::npos : text.find(':', close);
    } else {
        end = text.find(':');
    }
    host = text.substr(0, end);
    port = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
}

} // namespace vek
