#pragma once

#include "util/DateTime.h"

#include <cstdint>
#include <string>
#include <variant>

namespace vek::db {

/// An exact decimal as NUMERIC/DECIMAL columns hold it: mantissa × 10^-scale.
struct Decimal {
    std::int64_t mantissa = 0;
    int scale = 0; // digits after the decimal point

    double toDouble() const;
    std::string toText() const; // "12.345", always with a full stop
    bool operator==(const Decimal&) const = default;
};

/// Bytes of a blob, distinct from text so that binding picks the right type.
struct Blob {
    std::string bytes;
    bool operator==(const Blob&) const = default;
};

struct Null {
    bool operator==(const Null&) const = default;
};

/// One typed value of a parameter, a result column or an in-memory field. Texts are 8-bit.
class Value {
public:
    using Storage = std::variant<Null, std::string, std::int32_t, std::int64_t, double, Decimal, DateTime, Blob, bool>;

    Value() = default;
    Value(Null) {}
    Value(std::string s) : m_v(std::move(s)) {}
    Value(const char* s) : m_v(std::string(s)) {}
    Value(std::int32_t i) : m_v(i) {}
    Value(std::int64_t i) : m_v(i) {}
    Value(double d) : m_v(d) {}
    Value(Decimal d) : m_v(d) {}
    Value(DateTime t) : m_v(t) {}
    Value(Blob b) : m_v(std::move(b)) {}
    Value(bool b) : m_v(b) {}

    bool isNull() const { return std::holds_alternative<Null>(m_v); }
    const Storage& storage() const { return m_v; }

    /// Conversions in the way the station reads columns: a null reads as 0, the empty text or day 0.
    std::string asString() const;
    std::int32_t asInt() const;
    std::int64_t asInt64() const;
    double asDouble() const;
    DateTime asDateTime() const;
    std::string asBlob() const;
    bool asBool() const;

    bool operator==(const Value&) const = default;

private:
    Storage m_v;
};

} // namespace vek::db
