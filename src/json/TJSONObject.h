#pragma once

#include "json/TZAbstractObject.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vek::json {

class JSONTokener;
class TJSONArray;

/// Members in insertion order, each a key text and an owned value. Keys are
/// matched without regard to letter case and the first match wins; a parsed
/// text may hold the same key twice.
class TJSONObject final : public TZAbstractObject {
public:
    TJSONObject();
    /// Parses the object at the start of the text; what follows it is not read.
    explicit TJSONObject(const std::string& text);
    /// Parses the object at the tokenizer's position.
    explicit TJSONObject(JSONTokener& x);

    /// The first matching member's value, or none. An empty key throws
    /// NullPointerException.
    const TZAbstractObject* lookup(const std::string& key) const;
    TZAbstractObject* lookup(const std::string& key);
    /// Like lookup, but a missing member throws NoSuchElementException.
    const TZAbstractObject& require(const std::string& key) const;
    TZAbstractObject& require(const std::string& key);

    /// true/false, also from the texts "true" and "false" in any case.
    bool requireBoolean(const std::string& key) const;
    /// A number, or a text in the dot format.
    double requireReal(const std::string& key) const;
    /// A number truncated toward zero; a text rounded to the nearest, halves to even.
    std::int32_t requireInteger(const std::string& key) const;
    const TJSONArray& requireArray(const std::string& key) const;
    TJSONArray& requireArray(const std::string& key);
    /// The member's toText(): a real keeps its double quotes, a text has none.
    std::string requireText(const std::string& key) const;

    /// Sets or replaces the first matching member (keeping its place), or appends
    /// one; no value removes the member.
    TJSONObject& putValue(const std::string& key, JSONValuePtr value);
    TJSONObject& putInteger(const std::string& key, std::int32_t value);
    TJSONObject& putText(const std::string& key, std::string text);
    /// Takes out the first matching member and hands its value over, or none.
    JSONValuePtr removeKey(const std::string& key);
    std::vector<std::string> keyList() const;

    /// The text between double quotes, with every character outside a small safe
    /// set escaped, the blank included.
    static std::string quoteText(std::string_view text);
    /// How a value is written as a member or element: null, bare or quoted.
    static std::string valueText(const TZAbstractObject* value);

    /// Parsed back from its own text: reals come back as texts.
    JSONValuePtr duplicate() const override;
    std::string toText() const override;
    const char* className() const override;

private:
    struct Member {
        std::string key;
        JSONValuePtr value;
    };

    void parse(JSONTokener& x);
    std::size_t find(const std::string& key) const;

    std::vector<Member> m_members;
};

} // namespace vek::json
