#include "db/Value.h"

#include "db/DbError.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace vek::db {

namespace {
constexpr std::int64_t kPow10[] = {1,
                                   10,
                                   100,
                                   1000,
                                   10000,
                                   100000,
                                   1000000,
                                   10000000,
                                   100000000,
                                   1000000000,
                                   10000000000,
                                   100000000000,
                                   1000000000000,
                                   10000000000000,
                                   100000000000000,
                                   1000000000000000,
                                   10000000000000000,
                                   100000000000000000,
                                   1000000000000000000};

std::string doubleText(double d) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, r.ptr);
}

[[noreturn]] void conversionError(const std::string& text, const char* type) {
    throw DbError("'" + text + "' is not a valid " + type);
}

std::int64_t textToInt64(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    std::int64_t v = 0;
    const char* first = s.data() + b;
    if (b < e && *first == '+') ++first;
    auto r = std::from_chars(first, s.data() + e, v);
    if (r.ec != std::errc() || r.ptr != s.data() + e || b == e) {
        conversionError(s, "integer value");
    }
    return v;
}

double textToDouble(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    double v = 0;
    const char* first = s.data() + b;
    if (b < e && *first == '+') ++first;
    auto r = std::from_chars(first, s.data() + e, v);
    if (r.ec != std::errc() || r.ptr != s.data() + e || b == e) {
        conversionError(s, "floating point value");
    }
    return v;
}
} // namespace

double Decimal::toDouble() const {
    return static_cast<double>(mantissa) / static_cast<double>(kPow10[scale < 0 || scale > 18 ? 0 : scale]);
}

std::string Decimal::toText() const {
    if (scale <= 0) {
        return std::to_string(mantissa);
    }
    const bool neg = mantissa < 0;
    // Work on the magnitude as unsigned so INT64_MIN does not overflow.
    std::uint64_t mag = neg ? 0 - static_cast<std::uint64_t>(mantissa) : static_cast<std::uint64_t>(mantissa);
    std::string digits = std::to_string(mag);
    if (digits.size() <= static_cast<std::size_t>(scale)) {
        digits.insert(0, static_cast<std::size_t>(scale) - digits.size() + 1, '0');
    }
    digits.insert(digits.size() - static_cast<std::size_t>(scale), 1, '.');
    return neg ? "-" + digits : digits;
}

std::string Value::asString() const {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Null>) {
                return {};
            } else if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t>) {
                return std::to_string(v);
            } else if constexpr (std::is_same_v<T, double>) {
                return doubleText(v);
            } else if constexpr (std::is_same_v<T, Decimal>) {
                return v.toText();
            } else if constexpr (std::is_same_v<T, DateTime>) {
                char buf[32];
                return v.isoText(buf);
            } else if constexpr (std::is_same_v<T, Blob>) {
                return v.bytes;
            } else {
                return v ? "True" : "False";
            }
        },
        m_v);
}

std::int64_t Value::asInt64() const {
    return std::visit(
        [](const auto& v) -> std::int64_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Null>) {
                return 0;
            } else if constexpr (std::is_same_v<T, std::string>) {
                return textToInt64(v);
            } else if constexpr (std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t>) {
                return v;
            } else if constexpr (std::is_same_v<T, double>) {
                return static_cast<std::int64_t>(std::llround(v));
            } else if constexpr (std::is_same_v<T, Decimal>) {
                // In integers, rounding half away from zero: a double would lose digits past 2^53.
                if (v.scale <= 0 || v.scale > 18) {
                    return v.mantissa;
                }
                const std::int64_t p = kPow10[v.scale];
                const std::int64_t whole = v.mantissa / p;
                const std::int64_t rest = v.mantissa % p;
                if (rest >= (p + 1) / 2) return whole + 1;
                if (-rest >= (p + 1) / 2) return whole - 1;
                return whole;
            } else if constexpr (std::is_same_v<T, DateTime>) {
                return static_cast<std::int64_t>(v.toSerial());
            } else if constexpr (std::is_same_v<T, Blob>) {
                return textToInt64(v.bytes);
            } else {
                return v ? 1 : 0;
            }
        },
        m_v);
}

std::int32_t Value::asInt() const {
    const std::int64_t v = asInt64();
    if (v < INT32_MIN || v > INT32_MAX) {
        throw DbError(std::to_string(v) + " is not a valid integer value");
    }
    return static_cast<std::int32_t>(v);
}

double Value::asDouble() const {
    return std::visit(
        [](const auto& v) -> double {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Null>) {
                return 0.0;
            } else if constexpr (std::is_same_v<T, std::string>) {
                return textToDouble(v);
            } else if constexpr (std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t>) {
                return static_cast<double>(v);
            } else if constexpr (std::is_same_v<T, double>) {
                return v;
            } else if constexpr (std::is_same_v<T, Decimal>) {
                return v.toDouble();
            } else if constexpr (std::is_same_v<T, DateTime>) {
                return v.toSerial();
            } else if constexpr (std::is_same_v<T, Blob>) {
                return textToDouble(v.bytes);
            } else {
                return v ? 1.0 : 0.0;
            }
        },
        m_v);
}

DateTime Value::asDateTime() const {
    return std::visit(
        [](const auto& v) -> DateTime {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Null>) {
                return DateTime::fromSerial(0);
            } else if constexpr (std::is_same_v<T, DateTime>) {
                return v;
            } else if constexpr (std::is_same_v<T, double>) {
                return DateTime::fromSerial(v);
            } else if constexpr (std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t>) {
                return DateTime::fromSerial(static_cast<double>(v));
            } else if constexpr (std::is_same_v<T, Decimal>) {
                return DateTime::fromSerial(v.toDouble());
            } else if constexpr (std::is_same_v<T, std::string>) {
                conversionError(v, "date and time");
            } else {
                throw DbError("value is not a date and time");
            }
        },
        m_v);
}

std::string Value::asBlob() const {
    if (const auto* b = std::get_if<Blob>(&m_v)) {
        return b->bytes;
    }
    return asString();
}

bool Value::asBool() const {
    if (const auto* b = std::get_if<bool>(&m_v)) {
        return *b;
    }
    if (const auto* s = std::get_if<std::string>(&m_v)) {
        return *s == "True" || *s == "true" || *s == "1" || *s == "S";
    }
    return asInt64() != 0;
}

} // namespace vek::db
