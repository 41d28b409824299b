#include "json/TJSONArray.h"

#include "json/JSONExceptions.h"
#include "json/JSONTokener.h"
#include "json/TJSONObject.h"

#include <utility>

namespace vek::json {

TJSONArray::TJSONArray(const std::string& text) {
    JSONTokener x(text);
    parse(x);
}

TJSONArray::TJSONArray(JSONTokener& x) {
    parse(x);
}

void TJSONArray::parse(JSONTokener& x) {
    if (x.nextSignificant() != '[') {
        throw x.parseError("A TJSONArray must start with \"[\"");
    }
    if (x.nextSignificant() == ']') {
        return;
    }
    x.stepBack();
    for (;;) {
        if (x.nextSignificant() == ',') {
            x.stepBack();
            m_elements.push_back(nullptr); // an empty slot
        } else {
            x.stepBack();
            m_elements.push_back(x.readValue());
        }

        const char c = x.nextSignificant();
        if (c == ',' || c == ';') {
            if (x.nextSignificant() == ']') {
                return;
            }
            x.stepBack();
        } else if (c == ']') {
            return;
        } else {
            throw x.parseError("Expected a \",\" or \"]\"");
        }
    }
}

int TJSONArray::count() const {
    return static_cast<int>(m_elements.size());
}

const TZAbstractObject* TJSONArray::elementOrNone(int index) const {
    if (index < 0 || index >= count()) {
        return nullptr;
    }
    return m_elements[static_cast<std::size_t>(index)].get();
}

TZAbstractObject* TJSONArray::elementOrNone(int index) {
    return const_cast<TZAbstractObject*>(std::as_const(*this).elementOrNone(index));
}

const TZAbstractObject& TJSONArray::element(int index) const {
    const TZAbstractObject* value = elementOrNone(index);
    if (value == nullptr) {
        throw NoSuchElementException("TJSONArray[" + std::to_string(index) + "] not found.");
    }
    return *value;
}

TZAbstractObject& TJSONArray::element(int index) {
    return const_cast<TZAbstractObject&>(std::as_const(*this).element(index));
}

const TJSONObject& TJSONArray::objectAt(int index) const {
    const TZAbstractObject& value = element(index);
    const auto* object = dynamic_cast<const TJSONObject*>(&value);
    if (object == nullptr) {
        throw NoSuchElementException("TJSONArray[" + std::to_string(index) + "] is not a TJSONObject is " +
                                     value.className());
    }
    return *object;
}

TJSONObject& TJSONArray::objectAt(int index) {
    return const_cast<TJSONObject&>(std::as_const(*this).objectAt(index));
}

std::string TJSONArray::joined(std::string_view separator) const {
    std::string out;
    for (std::size_t i = 0; i < m_elements.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        out += TJSONObject::valueText(m_elements[i].get());
    }
    return out;
}

std::string TJSONArray::toText() const {
    std::string out(1, '[');
    out += joined(",");
    out += ']';
    return out;
}

const char* TJSONArray::className() const {
    return "TJSONArray";
}

} // namespace vek::json
