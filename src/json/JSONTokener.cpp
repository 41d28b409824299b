#include "json/JSONTokener.h"

#include "json/Cp1252.h"
#include "json/DotFormat.h"
#include "json/JSONValues.h"
#include "json/TJSONArray.h"
#include "json/TJSONObject.h"

#include <cstring>
#include <stdexcept>

namespace vek::json {

namespace {

// Characters that end an unquoted word.
bool endsWord(char c) {
    return static_cast<unsigned char>(c) < 32 || std::strchr(",:]}/\\\"[{;=#", c) != nullptr;
}

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::uint16_t hexUnit(const std::string& digits) {
    std::uint16_t unit = 0;
    for (const char c : digits) {
        unit = static_cast<std::uint16_t>(unit << 4);
        if (c >= '0' && c <= '9') {
            unit |= static_cast<std::uint16_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            unit |= static_cast<std::uint16_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            unit |= static_cast<std::uint16_t>(c - 'a' + 10);
        } else {
            throw std::invalid_argument("'" + digits + "' is not a hexadecimal number");
        }
    }
    return unit;
}

// Counts one level of objects and arrays for as long as it is being parsed.
class NestingLevel {
public:
    explicit NestingLevel(int& nesting) : m_nesting(++nesting) {}
    ~NestingLevel() { --m_nesting; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;

private:
    int& m_nesting;
};

} // namespace

JSONTokener::JSONTokener(std::string source) : m_source(std::move(source)) {}

bool JSONTokener::hasMore() const {
    return m_position <= m_source.size() + 1;
}

char JSONTokener::nextChar() {
    if (!hasMore()) {
        return '\0';
    }
    const char c = m_position <= m_source.size() ? m_source[m_position - 1] : '\0';
    ++m_position;
    return c;
}

void JSONTokener::stepBack() {
    if (m_position > 1) {
        --m_position;
    }
}

std::string JSONTokener::nextChars(std::size_t n) {
    // position + n > length, written so that it cannot overflow.
    if (n > m_source.size() || m_position > m_source.size() - n) {
        throw parseError("Substring bounds error");
    }
    std::string result = m_source.substr(m_position - 1, n);
    m_position += n;
    return result;
}

char JSONTokener::nextSignificant() {
    const auto skipLine = [this] {
        char c = '\0';
        do {
            c = nextChar();
        } while (c != '\n' && c != '\r' && c != '\0');
    };
    for (;;) {
        const char c = nextChar();
        if (c == '/') {
            const char next = nextChar();
            if (next == '*') {
                for (;;) {
                    const char inside = nextChar();
                    if (inside == '\0') {
                        throw parseError("Unclosed comment.");
                    }
                    if (inside == '*') {
                        if (nextChar() == '/') {
                            break;
                        }
                        stepBack();
                    }
                }
                continue;
            }
            if (next == '/') {
                skipLine();
                continue;
            }
            stepBack();
            return '/';
        }
        if (c == '#') {
            skipLine();
            continue;
        }
        if (c == '\0' || !isBlank(c)) {
            return c;
        }
    }
}

std::string JSONTokener::readQuoted(char quote) {
    std::string result;
    for (;;) {
        char c = nextChar();
        switch (c) {
        case '\0':
        case '\n':
        case '\r':
            throw parseError("Unterminated string");
        case '\\':
            c = nextChar();
            switch (c) {
            case 'b':
                result += '\b';
                break;
            case 't':
                result += '\t';
                break;
            case 'n':
                result += '\n';
                break;
            case 'f':
                result += '\f';
                break;
            case 'r':
                result += '\r';
                break;
            case 'u':
                result += static_cast<char>(unicodeToCp1252(hexUnit(nextChars(4))));
                break;
            default:
                result += c;
                break;
            }
            break;
        default:
            if (c == quote) {
                return result;
            }
            result += c;
            break;
        }
    }
}

JSONValuePtr JSONTokener::readValue() {
    const char c = nextSignificant();
    if (c == '"' || c == '\'') {
        return std::make_shared<_String>(readQuoted(c));
    }
    if (c == '{' || c == '[') {
        stepBack();
        if (m_nesting >= kMaxNesting || m_keyNesting > kMaxKeyNesting) {
            throw parseError("Nesting too deep.");
        }
        const NestingLevel level(m_nesting);
        if (c == '{') {
            return std::make_shared<TJSONObject>(*this);
        }
        return std::make_shared<TJSONArray>(*this);
    }
    return readUnquoted(c);
}

std::string JSONTokener::readKey() {
    const NestingLevel level(m_keyNesting);
    return readValue()->toText();
}

JSONValuePtr JSONTokener::readUnquoted(char first) {
    // The first character is already read; when it ends the word itself the
    // token stays empty and the step back makes it the next one again.
    std::string token;
    for (char c = first; !endsWord(c); c = nextChar()) {
        token += c;
    }
    stepBack();

    std::size_t from = 0;
    std::size_t to = token.size();
    while (from < to && isBlank(token[from])) {
        ++from;
    }
    while (to > from && isBlank(token[to - 1])) {
        --to;
    }
    token = token.substr(from, to - from);
    if (token.empty()) {
        throw parseError("Missing value.");
    }

    if (sameTextIgnoringCase(token, "true")) {
        return SharedTrue();
    }
    if (sameTextIgnoringCase(token, "false")) {
        return SharedFalse();
    }
    if (sameTextIgnoringCase(token, "null")) {
        return SharedNull();
    }

    const char lead = token[0];
    if ((lead >= '0' && lead <= '9') || lead == '.' || lead == '-' || lead == '+') {
        if (lead == '0') {
            if (token.size() > 2 && (token[1] == 'x' || token[1] == 'X')) {
                try {
                    return std::make_shared<_Integer>(_Integer::parseRadix(token.substr(2), 16));
                } catch (const std::invalid_argument&) {
                    // Not a hexadecimal literal after all: try it as a real below.
                }
            } else if (token == "0") {
                // The only text that radix 8 takes; 007 and the like become reals.
                return std::make_shared<_Integer>(0);
            }
        }
        if (const auto real = DotFormat::tryToReal(token)) {
            return std::make_shared<_Double>(*real);
        }
    }
    return std::make_shared<_String>(std::move(token));
}

ParseException JSONTokener::parseError(const std::string& message) const {
    const std::string at = std::to_string(m_position);
    const std::string near = m_position - 1 < m_source.size() ? m_source.substr(m_position - 1, 10) : std::string();
    return ParseException(message + " at character " + at + " of " + m_source + " pr\xF3ximo a : " + near + "\n\r" +
                          " erro no caracter : " + at);
}

std::string JSONTokener::toText() const {
    return " at character " + std::to_string(m_position) + " of " + m_source;
}

const char* JSONTokener::className() const {
    return "JSONTokener";
}

} // namespace vek::json
