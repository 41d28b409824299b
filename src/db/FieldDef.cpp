#include "db/FieldDef.h"

#include "db/DbError.h"
#include "util/Format.h"
#include "util/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vek::db {

namespace {

constexpr int kMaxScale = 18;
using Wide = __int128;

Wide pow10(int n) {
    Wide p = 1;
    for (int i = 0; i < n; ++i) {
        p *= 10;
    }
    return p;
}

std::int64_t narrow(Wide w, const std::string& field) {
    if (w > INT64_MAX || w < INT64_MIN) {
        throw DbError("Value out of range for field '" + field + "'");
    }
    return static_cast<std::int64_t>(w);
}

// Divides, rounding half away from zero.
Wide divRound(Wide m, Wide d) {
    Wide q = m / d;
    Wide r = m % d;
    if (2 * (r < 0 ? -r : r) >= d) {
        q += m < 0 ? -1 : 1;
    }
    return q;
}

Decimal rescale(const Decimal& d, int scale, const std::string& field) {
    if (d.scale == scale) {
        return d;
    }
    Wide m = d.mantissa;
    m = scale > d.scale ? m * pow10(scale - d.scale) : divRound(m, pow10(d.scale - scale));
    return Decimal{narrow(m, field), scale};
}

Decimal decimalFromDouble(double x, int scale, const std::string& field) {
    const double scaled = std::round(x * static_cast<double>(pow10(scale)));
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2e18) {
        throw DbError("Value out of range for field '" + field + "'");
    }
    return Decimal{static_cast<std::int64_t>(scaled), scale};
}

// Plain decimal text ("-12.345") read exactly; anything else goes through the double reading.
Decimal decimalFromText(const std::string& s, int scale, const std::string& field) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    std::size_t i = b;
    const bool neg = i < e && s[i] == '-';
    if (i < e && (s[i] == '-' || s[i] == '+')) ++i;
    Wide m = 0;
    int digits = 0, frac = 0;
    bool point = false;
    for (; i < e; ++i) {
        const char c = s[i];
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9' && digits < 36) {
            m = m * 10 + (c - '0');
            ++digits;
            frac += point ? 1 : 0;
        } else {
            break;
        }
    }
    if (i != e || digits == 0 || frac > kMaxScale) {
        return decimalFromDouble(Value(s).asDouble(), scale, field);
    }
    return rescale(Decimal{narrow(neg ? -m : m, field), frac}, scale, field);
}

Decimal toDecimal(const Value& v, int scale, const std::string& field) {
    if (const auto* d = std::get_if<Decimal>(&v.storage())) {
        return rescale(*d, scale, field);
    }
    if (const auto* i = std::get_if<std::int32_t>(&v.storage())) {
        return Decimal{narrow(Wide(*i) * pow10(scale), field), scale};
    }
    if (const auto* i = std::get_if<std::int64_t>(&v.storage())) {
        return Decimal{narrow(Wide(*i) * pow10(scale), field), scale};
    }
    if (const auto* s = std::get_if<std::string>(&v.storage())) {
        return decimalFromText(*s, scale, field);
    }
    return decimalFromDouble(v.asDouble(), scale, field);
}

// Exact value of an integral or decimal number at the given scale.
Wide scaledOf(const Value& v, int scale) {
    if (const auto* d = std::get_if<Decimal>(&v.storage())) {
        return Wide(d->mantissa) * pow10(scale - d->scale);
    }
    return Wide(v.asInt64()) * pow10(scale);
}

int scaleOf(const Value& v) {
    const auto* d = std::get_if<Decimal>(&v.storage());
    return d ? d->scale : 0;
}

bool isNumber(const Value& v) {
    const auto& s = v.storage();
    return std::holds_alternative<std::int32_t>(s) || std::holds_alternative<std::int64_t>(s) ||
           std::holds_alternative<double>(s) || std::holds_alternative<Decimal>(s);
}

template <class T>
int threeWay(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

namespace {
FieldDef fieldOf(std::string name, FieldType type) {
    FieldDef f;
    f.name = std::move(name);
    f.type = type;
    return f;
}
} // namespace

FieldDef FieldDef::text(std::string name, int size) {
    FieldDef f = fieldOf(std::move(name), FieldType::String);
    f.size = size;
    return f;
}

FieldDef FieldDef::integer(std::string name) {
    return fieldOf(std::move(name), FieldType::Integer);
}

FieldDef FieldDef::largeInt(std::string name) {
    return fieldOf(std::move(name), FieldType::LargeInt);
}

FieldDef FieldDef::real(std::string name) {
    return fieldOf(std::move(name), FieldType::Float);
}

FieldDef FieldDef::decimal(std::string name, int scale) {
    if (scale < 0 || scale > kMaxScale) {
        throw DbError("Invalid scale for field '" + name + "'");
    }
    FieldDef f = fieldOf(std::move(name), FieldType::Decimal);
    f.scale = scale;
    return f;
}

FieldDef FieldDef::dateTime(std::string name) {
    return fieldOf(std::move(name), FieldType::DateTime);
}

FieldDef FieldDef::blob(std::string name) {
    return fieldOf(std::move(name), FieldType::Blob);
}

FieldDef FieldDef::nested(std::string name, std::vector<FieldDef> fields) {
    FieldDef f = fieldOf(std::move(name), FieldType::Nested);
    f.nestedFields = std::move(fields);
    return f;
}

FieldDef FieldDef::withLabel(std::string text) const {
    FieldDef f = *this;
    f.label = std::move(text);
    return f;
}

FieldDef FieldDef::withFormat(std::string pattern) const {
    FieldDef f = *this;
    f.displayFormat = std::move(pattern);
    return f;
}

FieldDef FieldDef::withAlignment(FieldAlign align) const {
    FieldDef f = *this;
    f.alignment = align;
    return f;
}

bool FieldDef::isNumeric() const {
    return type == FieldType::Integer || type == FieldType::LargeInt || type == FieldType::Float ||
           type == FieldType::Decimal;
}

Value coerceToField(const FieldDef& field, const Value& v) {
    if (v.isNull()) {
        return v;
    }
    switch (field.type) {
    case FieldType::String: {
        std::string s = v.asString();
        if (field.size > 0 && s.size() > static_cast<std::size_t>(field.size)) {
            s.resize(static_cast<std::size_t>(field.size));
        }
        return Value(std::move(s));
    }
    case FieldType::Integer:
        return Value(v.asInt());
    case FieldType::LargeInt:
        return Value(v.asInt64());
    case FieldType::Float:
        return Value(v.asDouble());
    case FieldType::Decimal:
        return Value(toDecimal(v, field.scale, field.name));
    case FieldType::DateTime:
        return Value(v.asDateTime());
    case FieldType::Blob:
        return Value(Blob{v.asBlob()});
    case FieldType::Nested:
        break;
    }
    throw DbError("Field '" + field.name + "' holds a table, not a value");
}

int compareValues(const Value& a, const Value& b) {
    if (a.isNull() || b.isNull()) {
        return threeWay(!a.isNull(), !b.isNull());
    }
    const auto& x = a.storage();
    const auto& y = b.storage();
    if (isNumber(a) && isNumber(b)) {
        if (std::holds_alternative<double>(x) || std::holds_alternative<double>(y)) {
            return threeWay(a.asDouble(), b.asDouble());
        }
        const int scale = std::max(scaleOf(a), scaleOf(b));
        return threeWay(scaledOf(a, scale), scaledOf(b, scale));
    }
    if (x.index() != y.index()) {
        return threeWay(x.index(), y.index());
    }
    if (const auto* s = std::get_if<std::string>(&x)) {
        const int c = s->compare(std::get<std::string>(y)); // byte order, as unsigned chars
        return threeWay(c, 0);
    }
    if (const auto* t = std::get_if<DateTime>(&x)) {
        return threeWay(*t, std::get<DateTime>(y));
    }
    if (const auto* bl = std::get_if<Blob>(&x)) {
        return threeWay(bl->bytes.compare(std::get<Blob>(y).bytes), 0);
    }
    return threeWay(std::get<bool>(x), std::get<bool>(y));
}

std::string displayTextOf(const FieldDef& field, const Value& v) {
    if (field.displayText) {
        return field.displayText(v);
    }
    if (v.isNull()) {
        return {};
    }
    switch (field.type) {
    case FieldType::Integer:
    case FieldType::LargeInt:
        return field.displayFormat.empty() ? std::to_string(v.asInt64())
                                           : formatFloat(field.displayFormat, v.asDouble());
    case FieldType::Float:
    case FieldType::Decimal:
        return formatFloat(field.displayFormat, v.asDouble());
    case FieldType::DateTime: {
        const DateTime t = v.asDateTime();
        if (!field.displayFormat.empty()) {
            return formatDateTime(field.displayFormat, t);
        }
        return formatDateTime(t.ticks() == 0 ? "dd/mm/yyyy" : "dd/mm/yyyy hh:nn:ss", t);
    }
    case FieldType::String:
        return v.asString();
    case FieldType::Blob:
    case FieldType::Nested:
        break;
    }
    return {};
}

std::vector<std::string> splitFieldNames(std::string_view names) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= names.size()) {
        std::size_t end = names.find(';', start);
        if (end == std::string_view::npos) {
            end = names.size();
        }
        std::string n = trimmed(names.substr(start, end - start));
        if (!n.empty()) {
            out.push_back(std::move(n));
        }
        start = end + 1;
    }
    return out;
}

} // namespace vek::db
