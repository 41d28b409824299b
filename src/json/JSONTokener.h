#pragma once

#include "json/JSONExceptions.h"
#include "json/TZAbstractObject.h"

#include <cstddef>
#include <string>

namespace vek::json {

/// Reads values from a copy of a source text. The position is 1-based: the index
/// of the next character to read. One step past the last character reads as NUL.
class JSONTokener final : public TZAbstractObject {
public:
    /// Objects and arrays nest at most this deep: the parser recurses, and a
    /// datagram of brackets must not exhaust the stack.
    static constexpr int kMaxNesting = 256;
    /// An object or array read as a key becomes text, escaped once more by every
    /// key that holds it: keys within keys nest at most this deep, so that a few
    /// dozen bytes cannot grow a key exponentially.
    static constexpr int kMaxKeyNesting = 2;

    explicit JSONTokener(std::string source);

    bool hasMore() const;
    char nextChar();
    void stepBack();
    /// The next n characters; at least one more character must follow them,
    /// otherwise "Substring bounds error".
    std::string nextChars(std::size_t n);
    /// The next character that is no blank and not inside a comment; NUL at the end.
    char nextSignificant();
    /// The rest of a string whose opening quote has been read.
    std::string readQuoted(char quote);
    /// The next value: a string, an object, an array, a shared constant, a number
    /// or an unquoted word.
    JSONValuePtr readValue();
    /// The text of the next value, read as an object's key.
    std::string readKey();
    /// The exception for the caller to throw, telling where the text went wrong.
    ParseException parseError(const std::string& message) const;

    std::size_t position() const { return m_position; }

    std::string toText() const override;
    const char* className() const override;

private:
    JSONValuePtr readUnquoted(char first);

    std::string m_source;
    std::size_t m_position = 1;
    int m_nesting = 0;
    int m_keyNesting = 0;
};

} // namespace vek::json
