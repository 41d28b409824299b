#include "json/Cp1252.h"

#include "util/Cp1252.h"

#include <array>
#include <cstddef>

namespace vek::json {

namespace {

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
    return unicodeOfByte(byte);
}

unsigned char unicodeToCp1252(char16_t unit) {
    if (unit < 0x100) {
        return static_cast<unsigned char>(unit); // the C1 controls too, which byteOfUnicode makes '?'
    }
    return static_cast<unsigned char>(byteOfUnicode(unit));
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
