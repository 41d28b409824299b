#pragma once

#include "json/TZAbstractObject.h"

#include <string>
#include <string_view>
#include <vector>

namespace vek::json {

class JSONTokener;
class TJSONObject;

/// Elements in order, each owned; an element may be absent ([1,,2] has three).
class TJSONArray final : public TZAbstractObject {
public:
    /// Parses the array at the start of the text; what follows it is not read.
    explicit TJSONArray(const std::string& text);
    /// Parses the array at the tokenizer's position.
    explicit TJSONArray(JSONTokener& x);

    /// Absent elements included.
    int count() const;
    /// The element, or none when the index is out of range or the element absent.
    const TZAbstractObject* elementOrNone(int index) const;
    TZAbstractObject* elementOrNone(int index);
    /// Like elementOrNone, but none throws NoSuchElementException.
    const TZAbstractObject& element(int index) const;
    TZAbstractObject& element(int index);
    /// The element as an object, or NoSuchElementException naming its class.
    const TJSONObject& objectAt(int index) const;
    TJSONObject& objectAt(int index);
    /// Every element's valueText, separated; an absent one writes null.
    std::string joined(std::string_view separator) const;

    std::string toText() const override;
    const char* className() const override;

private:
    void parse(JSONTokener& x);

    std::vector<JSONValuePtr> m_elements;
};

} // namespace vek::json
