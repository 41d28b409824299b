#include "json/DotFormat.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <system_error>

namespace vek::json {

namespace {

enum class Outcome { Converted, NotANumber, TooLarge };

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Checks the syntax itself because std::from_chars would also take "inf",
// "nan" and hexadecimal floats, and no leading "+".
Outcome convert(std::string_view text, double& result) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t numberStart = (n > 0 && text[0] == '+') ? 1 : 0;

    // Decimal magnitude of the first significant digit, for telling an
    // underflow from an overflow below.
    long magnitude = 0;
    bool significant = false;
    long digitsBeforePoint = 0;
    long digitsAfterPoint = 0;
    bool point = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            if (point) {
                ++digitsAfterPoint;
            } else {
                ++digitsBeforePoint;
            }
            if (!significant && c != '0') {
                significant = true;
                magnitude = point ? -digitsAfterPoint : 0;
            } else if (significant && !point) {
                ++magnitude;
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digitsBeforePoint + digitsAfterPoint == 0) {
        return Outcome::NotANumber;
    }
    long exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        std::size_t exponentDigits = 0;
        for (; i < n && isDigit(text[i]); ++i, ++exponentDigits) {
            if (exponent < 1000000) {
                exponent = exponent * 10 + (text[i] - '0');
            }
        }
        if (exponentDigits == 0) {
            return Outcome::NotANumber;
        }
        if (negativeExponent) {
            exponent = -exponent;
        }
    }
    if (i != n) {
        return Outcome::NotANumber;
    }

    const char* first = text.data() + numberStart;
    const char* last = text.data() + n;
    const auto [end, error] = std::from_chars(first, last, result, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        if (magnitude + exponent < 0) {
            result = negative ? -0.0 : 0.0;
            return Outcome::Converted;
        }
        return Outcome::TooLarge;
    }
    if (error != std::errc() || end != last) {
        return Outcome::NotANumber;
    }
    return Outcome::Converted;
}

// Adds one to a string of decimal digits.
void increment(std::string& digits) {
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

} // namespace

double DotFormat::toReal(std::string_view text) {
    double result = 0.0;
    switch (convert(text, result)) {
    case Outcome::Converted:
        return result;
    case Outcome::TooLarge:
        throw std::out_of_range("'" + std::string(text) + "' is too large for a real number");
    case Outcome::NotANumber:
        break;
    }
    throw std::invalid_argument("'" + std::string(text) + "' is not a real number");
}

std::optional<double> DotFormat::tryToReal(std::string_view text) {
    double result = 0.0;
    if (convert(text, result) == Outcome::Converted) {
        return result;
    }
    return std::nullopt;
}

std::string DotFormat::formatTwoDecimals(double value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }

    // The shortest form that reads back as the same double: "d.ddde±x".
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
    (void)error; // 64 characters always hold a double
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const std::size_t e = text.find('e');
    std::string digits;
    for (const char c : text.substr(0, e)) {
        if (c != '.') {
            digits += c;
        }
    }
    int exponent = 0;
    std::string_view exponentText = text.substr(e + 1);
    if (!exponentText.empty() && exponentText.front() == '+') {
        exponentText.remove_prefix(1);
    }
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    // Keep the digits down to hundredths; the first dropped digit decides.
    const long kept = static_cast<long>(exponent) + 3;
    std::string hundredths;
    bool roundUp = false;
    if (kept >= 0) {
        const auto keptDigits = static_cast<std::size_t>(kept);
        hundredths = digits.substr(0, keptDigits);
        if (hundredths.size() < keptDigits) {
            hundredths.append(keptDigits - hundredths.size(), '0');
        }
        roundUp = keptDigits < digits.size() && digits[keptDigits] >= '5';
    }
    if (hundredths.empty()) {
        hundredths.push_back('0');
    }
    if (roundUp) {
        increment(hundredths);
    }
    if (hundredths.size() < 3) {
        hundredths.insert(0, 3 - hundredths.size(), '0');
    }

    std::string result;
    result.reserve(hundredths.size() + 2);
    if (value < 0 && hundredths.find_first_not_of('0') != std::string::npos) {
        result += '-';
    }
    result.append(hundredths, 0, hundredths.size() - 2);
    result += '.';
    result.append(hundredths, hundredths.size() - 2, 2);
    return result;
}

} // namespace vek::json
