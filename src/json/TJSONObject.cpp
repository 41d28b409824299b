#include "json/TJSONObject.h"

#include "json/Cp1252.h"
#include "json/DotFormat.h"
#include "json/JSONExceptions.h"
#include "json/JSONTokener.h"
#include "json/JSONValues.h"
#include "json/TJSONArray.h"

#include <array>
#include <cmath>
#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace vek::json {

namespace {

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// Past this many members the writer indexes the keys instead of scanning
// them again for every member; the text written is the same.
constexpr std::size_t kIndexedWriteFrom = 32;

constexpr std::array<bool, 256> makeSafeTable() {
    std::array<bool, 256> table{};
    for (int c = 'A'; c <= 'Z'; ++c) {
        table[c] = true;
    }
    for (int c = 'a'; c <= 'z'; ++c) {
        table[c] = true;
    }
    for (int c = '0'; c <= '9'; ++c) {
        table[c] = true;
    }
    for (const char c : std::string_view("@!$'()*-._")) {
        table[static_cast<unsigned char>(c)] = true;
    }
    return table;
}

constexpr std::array<bool, 256> kWrittenUnchanged = makeSafeTable();

std::string member(const std::string& key) {
    return "TJSONObject[" + TJSONObject::quoteText(key) + "]";
}

std::int32_t roundHalfToEven(double value) {
    double rounded = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5) {
        rounded = 2.0 * std::round(value / 2.0);
    }
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
        throw std::out_of_range(DotFormat::formatTwoDecimals(value) + " is out of the integer range");
    }
    return static_cast<std::int32_t>(rounded);
}

bool writtenBare(const TZAbstractObject& value) {
    return dynamic_cast<const _Number*>(&value) != nullptr || dynamic_cast<const _Boolean*>(&value) != nullptr ||
           dynamic_cast<const TJSONObject*>(&value) != nullptr || dynamic_cast<const TJSONArray*>(&value) != nullptr;
}

std::string foldedKey(const std::string& key) {
    std::string folded = key;
    for (char& c : folded) {
        c = static_cast<char>(cp1252Lower(static_cast<unsigned char>(c)));
    }
    return folded;
}

} // namespace

TJSONObject::TJSONObject() = default;

TJSONObject::TJSONObject(const std::string& text) {
    JSONTokener x(text);
    parse(x);
}

TJSONObject::TJSONObject(JSONTokener& x) {
    parse(x);
}

void TJSONObject::parse(JSONTokener& x) {
    if (x.nextSignificant() != '{') {
        throw x.parseError("A TJSONObject must begin with \"{\"");
    }
    for (;;) {
        char c = x.nextSignificant();
        if (c == '\0') {
            throw x.parseError("A TJSONObject must end with \"}\"");
        }
        if (c == '}') {
            return;
        }
        x.stepBack();
        // Any value serves as a key: its text is taken, the value dropped.
        std::string key = x.readKey();

        c = x.nextSignificant();
        if (c == '=') {
            if (x.nextChar() != '>') {
                x.stepBack();
            }
        } else if (c != ':') {
            throw x.parseError("Expected a \":\" after a key");
        }
        // Appended without looking for the key: a repeated key stays twice.
        m_members.push_back(Member{std::move(key), x.readValue()});

        c = x.nextSignificant();
        if (c == ',' || c == ';') {
            if (x.nextSignificant() == '}') {
                return;
            }
            x.stepBack();
        } else if (c == '}') {
            return;
        } else {
            throw x.parseError("Expected a \",\" or \"}\"");
        }
    }
}

std::size_t TJSONObject::find(const std::string& key) const {
    for (std::size_t i = 0; i < m_members.size(); ++i) {
        if (sameTextIgnoringCase(m_members[i].key, key)) {
            return i;
        }
    }
    return kNotFound;
}

const TZAbstractObject* TJSONObject::lookup(const std::string& key) const {
    if (key.empty()) {
        throw NullPointerException("Null key");
    }
    const std::size_t i = find(key);
    return i == kNotFound ? nullptr : m_members[i].value.get();
}

TZAbstractObject* TJSONObject::lookup(const std::string& key) {
    return const_cast<TZAbstractObject*>(std::as_const(*this).lookup(key));
}

const TZAbstractObject& TJSONObject::require(const std::string& key) const {
    const TZAbstractObject* value = lookup(key);
    if (value == nullptr) {
        throw NoSuchElementException(member(key) + " not found.");
    }
    return *value;
}

TZAbstractObject& TJSONObject::require(const std::string& key) {
    return const_cast<TZAbstractObject&>(std::as_const(*this).require(key));
}

bool TJSONObject::requireBoolean(const std::string& key) const {
    const TZAbstractObject& value = require(key);
    // Any _Boolean, not only the shared constants: a copied one is a Boolean too.
    if (const auto* flag = dynamic_cast<const _Boolean*>(&value)) {
        return flag->value();
    }
    if (const auto* text = dynamic_cast<const _String*>(&value)) {
        if (sameTextIgnoringCase(text->text(), "false")) {
            return false;
        }
        if (sameTextIgnoringCase(text->text(), "true")) {
            return true;
        }
    }
    throw ClassCastException(member(key) + " is not a Boolean.");
}

double TJSONObject::requireReal(const std::string& key) const {
    const TZAbstractObject& value = require(key);
    if (const auto* number = dynamic_cast<const _Number*>(&value)) {
        return number->asReal();
    }
    if (const auto* text = dynamic_cast<const _String*>(&value)) {
        return DotFormat::toReal(text->text());
    }
    throw NumberFormatException(member(key) + " is not a number.");
}

std::int32_t TJSONObject::requireInteger(const std::string& key) const {
    if (const auto* number = dynamic_cast<const _Number*>(&require(key))) {
        return number->asInteger();
    }
    return roundHalfToEven(requireReal(key));
}

const TJSONArray& TJSONObject::requireArray(const std::string& key) const {
    const auto* array = dynamic_cast<const TJSONArray*>(lookup(key));
    if (array == nullptr) {
        throw NoSuchElementException(member(key) + " is not a TJSONArray.");
    }
    return *array;
}

TJSONArray& TJSONObject::requireArray(const std::string& key) {
    return const_cast<TJSONArray&>(std::as_const(*this).requireArray(key));
}

std::string TJSONObject::requireText(const std::string& key) const {
    return require(key).toText();
}

TJSONObject& TJSONObject::putValue(const std::string& key, JSONValuePtr value) {
    if (key.empty()) {
        throw NullPointerException("Null key.");
    }
    if (!value) {
        removeKey(key);
        return *this;
    }
    const std::size_t i = find(key);
    if (i == kNotFound) {
        m_members.push_back(Member{key, std::move(value)});
    } else {
        // Putting the member's own value again keeps it: the new reference is
        // taken before the old one is let go.
        m_members[i].value = std::move(value);
    }
    return *this;
}

TJSONObject& TJSONObject::putInteger(const std::string& key, std::int32_t value) {
    return putValue(key, std::make_shared<_Integer>(value));
}

TJSONObject& TJSONObject::putText(const std::string& key, std::string text) {
    return putValue(key, std::make_shared<_String>(std::move(text)));
}

JSONValuePtr TJSONObject::removeKey(const std::string& key) {
    const std::size_t i = find(key);
    if (i == kNotFound) {
        return nullptr;
    }
    JSONValuePtr value = std::move(m_members[i].value);
    m_members.erase(m_members.begin() + static_cast<std::ptrdiff_t>(i));
    return value;
}

std::vector<std::string> TJSONObject::keyList() const {
    std::vector<std::string> keys;
    keys.reserve(m_members.size());
    for (const Member& m : m_members) {
        keys.push_back(m.key);
    }
    return keys;
}

std::string TJSONObject::quoteText(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '\b':
            out += "\\b";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\r':
            out += "\\r";
            break;
        case '"':
        case '\\':
            out += '\\';
            out += static_cast<char>(c);
            break;
        case '/':
            // "</" would end an HTML script block.
            out += (i > 0 && text[i - 1] == '<') ? "\\/" : "/";
            break;
        default:
            if (kWrittenUnchanged[c]) {
                out += static_cast<char>(c);
            } else {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            }
            break;
        }
    }
    out += '"';
    return out;
}

std::string TJSONObject::valueText(const TZAbstractObject* value) {
    if (value == nullptr || value->sameAs(SharedNull().get())) {
        return "null";
    }
    if (writtenBare(*value)) {
        return value->toText();
    }
    return quoteText(value->toText());
}

JSONValuePtr TJSONObject::duplicate() const {
    return std::make_shared<TJSONObject>(toText());
}

std::string TJSONObject::toText() const {
    // Every key writes the value of its first match, so a repeated key
    // writes the first member's value twice.
    std::vector<const TZAbstractObject*> written(m_members.size());
    if (m_members.size() < kIndexedWriteFrom) {
        for (std::size_t i = 0; i < m_members.size(); ++i) {
            written[i] = m_members[find(m_members[i].key)].value.get();
        }
    } else {
        std::unordered_map<std::string, const TZAbstractObject*> firstMatch;
        firstMatch.reserve(m_members.size());
        for (std::size_t i = 0; i < m_members.size(); ++i) {
            written[i] = firstMatch.try_emplace(foldedKey(m_members[i].key), m_members[i].value.get()).first->second;
        }
    }

    std::string out = "{";
    for (std::size_t i = 0; i < m_members.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        out += quoteText(m_members[i].key);
        out += ':';
        out += valueText(written[i]);
    }
    out += '}';
    return out;
}

const char* TJSONObject::className() const {
    return "TJSONObject";
}

} // namespace vek::json
