#include "json/JSONValues.h"

#include "json/DotFormat.h"
#include "json/JSONExceptions.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <system_error>

namespace vek::json {

_Integer::_Integer(std::int32_t value) : m_value(value) {}

double _Integer::asReal() const {
    return m_value;
}

std::int32_t _Integer::asInteger() const {
    return m_value;
}

JSONValuePtr _Integer::duplicate() const {
    return std::make_shared<_Integer>(m_value);
}

std::string _Integer::toText() const {
    return std::to_string(m_value);
}

const char* _Integer::className() const {
    return "_Integer";
}

std::int32_t _Integer::parseRadix(const std::string& text, int radix) {
    switch (radix) {
    case 16: {
        std::string_view digits = text;
        if (!digits.empty() && digits.front() == '$') {
            digits.remove_prefix(1);
        }
        if (digits.size() >= 2 && (digits[1] == 'X' || digits[1] == 'x')) {
            digits.remove_prefix(2);
        }
        // Unsigned so that the wrap-around of long literals is defined; the power
        // of 16 itself wraps to 0 past the eighth digit.
        std::uint32_t sum = 0;
        std::uint32_t power = 1;
        for (std::size_t i = digits.size(); i-- > 0; power *= 16U) {
            const char c = digits[i];
            std::uint32_t digit = 0;
            if (c >= '0' && c <= '9') {
                digit = static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<std::uint32_t>(c - 'A' + 10);
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<std::uint32_t>(c - 'a' + 10);
            } else {
                throw std::invalid_argument("'" + text + "' is not a hexadecimal number");
            }
            sum += digit * power;
        }
        return static_cast<std::int32_t>(sum);
    }
    case 8:
        if (text == "0") {
            return 0;
        }
        throw NotImplmentedFeature(kNotImplementedMessage);
    case 10: {
        const char* first = text.data();
        const char* last = first + text.size();
        if (first != last && *first == '+' && last - first > 1 && first[1] != '-') {
            ++first;
        }
        std::int32_t value = 0;
        const auto [end, error] = std::from_chars(first, last, value);
        if (error == std::errc::result_out_of_range) {
            throw std::out_of_range("'" + text + "' is out of the integer range");
        }
        if (error != std::errc() || end != last) {
            throw std::invalid_argument("'" + text + "' is not an integer number");
        }
        return value;
    }
    default:
        return 0;
    }
}

_Double::_Double(double value) : m_value(value) {}

double _Double::asReal() const {
    return m_value;
}

std::int32_t _Double::asInteger() const {
    const double truncated = std::trunc(m_value);
    // NaN fails both comparisons too.
    if (!(truncated >= -2147483648.0 && truncated <= 2147483647.0)) {
        throw std::out_of_range(DotFormat::formatTwoDecimals(m_value) + " is out of the integer range");
    }
    return static_cast<std::int32_t>(truncated);
}

JSONValuePtr _Double::duplicate() const {
    return std::make_shared<_Double>(m_value);
}

std::string _Double::toText() const {
    return '"' + DotFormat::formatTwoDecimals(m_value) + '"';
}

const char* _Double::className() const {
    return "_Double";
}

_Boolean::_Boolean(bool value) : m_value(value) {}

JSONValuePtr _Boolean::duplicate() const {
    return std::make_shared<_Boolean>(m_value);
}

std::string _Boolean::toText() const {
    return m_value ? "true" : "false";
}

const char* _Boolean::className() const {
    return "_Boolean";
}

_String::_String(std::string text) : m_text(std::move(text)) {}

bool _String::sameAs(const TZAbstractObject* other) const {
    const auto* text = dynamic_cast<const _String*>(other);
    return text != nullptr && text->m_text == m_text;
}

JSONValuePtr _String::duplicate() const {
    return std::make_shared<_String>(m_text);
}

std::string _String::toText() const {
    return m_text;
}

const char* _String::className() const {
    return "_String";
}

bool _NULL::sameAs(const TZAbstractObject* other) const {
    return other == nullptr || dynamic_cast<const _NULL*>(other) != nullptr;
}

std::string _NULL::toText() const {
    return "null";
}

const char* _NULL::className() const {
    return "NULL";
}

// Function-local statics: built on first use, before any value can refer to
// them, and held by their own reference until the process ends.
const JSONValuePtr& SharedFalse() {
    static const JSONValuePtr kFalse = std::make_shared<_Boolean>(false);
    return kFalse;
}

const JSONValuePtr& SharedTrue() {
    static const JSONValuePtr kTrue = std::make_shared<_Boolean>(true);
    return kTrue;
}

const JSONValuePtr& SharedNull() {
    static const JSONValuePtr kNull = std::make_shared<_NULL>();
    return kNull;
}

} // namespace vek::json
