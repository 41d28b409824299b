#include "json/Cp1252.h"

#include <array>

namespace vek::json {

namespace {

// 0x80..0x9F are the only bytes whose character differs from Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, //
};

constexpr std::array<unsigned char, 256> makeLowerTable() {
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[i] = static_cast<unsigned char>(i);
    }
    for (int c = 'A'; c <= 'Z'; ++c) {
        table[c] = static_cast<unsigned char>(c + 32);
    }
    for (int c = 0xC0; c <= 0xDE; ++c) {
        if (c != 0xD7) { // the multiplication sign is no letter
            table[c] = static_cast<unsigned char>(c + 32);
        }
    }
    table[0x8A] = 0x9A; // S with caron
    table[0x8C] = 0x9C; // OE
    table[0x8E] = 0x9E; // Z with caron
    table[0x9F] = 0xFF; // Y with diaeresis
    return table;
}

constexpr std::array<unsigned char, 256> kLower = makeLowerTable();

} // namespace

char16_t cp1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

unsigned char unicodeToCp1252(char16_t unit) {
    if (unit < 0x100) {
        return static_cast<unsigned char>(unit);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == unit) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return '?';
}

unsigned char cp1252Lower(unsigned char byte) {
    return kLower[byte];
}

bool sameTextIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (kLower[static_cast<unsigned char>(a[i])] != kLower[static_cast<unsigned char>(b[i])]) {
            return false;
        }
    }
    return true;
}

} // namespace vek::json
