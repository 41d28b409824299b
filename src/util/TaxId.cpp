#include "util/TaxId.h"

namespace vek {

namespace {
constexpr std::size_t kCpfBase = 9;
constexpr std::size_t kCpfLength = 11;
constexpr std::size_t kCnpjBase = 12;
constexpr std::size_t kCnpjLength = 14;

int digitAt(std::string_view digits, std::size_t i) {
    return digits[i] - '0';
}

bool startsWithDigits(std::string_view text, std::size_t count) {
    if (text.size() < count) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

// Weights from the rightmost digit leftwards: 2, 3, ... 9, then 2 again.
int cnpjCheckDigit(std::string_view digits) {
    int sum = 0;
    int weight = 2;
    for (std::size_t i = digits.size(); i-- > 0;) {
        sum += digitAt(digits, i) * weight;
        weight = weight == 9 ? 2 : weight + 1;
    }
    const int check = 11 - sum % 11;
    return check >= 10 ? 0 : check;
}
} // namespace

std::string taxIdDigits(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digits.push_back(c);
        }
    }
    return digits;
}

std::string formatTaxId(std::string_view text) {
    std::string d = taxIdDigits(text);
    const std::string_view v = d;
    std::string out;
    if (d.size() == kCpfLength) {
        out.append(v.substr(0, 3)).append(".").append(v.substr(3, 3)).append(".");
        out.append(v.substr(6, 3)).append("-").append(v.substr(9, 2));
        return out;
    }
    if (d.size() == kCnpjLength) {
        out.append(v.substr(0, 2)).append(".").append(v.substr(2, 3)).append(".");
        out.append(v.substr(5, 3)).append("/").append(v.substr(8, 4)).append("-");
        out.append(v.substr(12, 2));
        return out;
    }
    return d;
}

std::string cpfCheckDigits(std::string_view digits) {
    if (!startsWithDigits(digits, kCpfBase)) {
        return {};
    }
    int s1 = 0;
    int s2 = 0;
    for (std::size_t i = 1; i <= kCpfBase; ++i) {
        const int d = digitAt(digits, i - 1);
        s1 += static_cast<int>(i) * d;
        s2 += static_cast<int>(10 - i) * d;
    }
    const int r1 = s1 % 11;
    if (r1 == 10) {
        s2 += 9;
    }
    const int r2 = s2 % 11;
    std::string check;
    check.push_back(static_cast<char>('0' + (r1 == 10 ? 0 : r1)));
    check.push_back(static_cast<char>('0' + (r2 == 10 ? 0 : r2)));
    return check;
}

std::string cnpjCheckDigits(std::string_view digits) {
    if (!startsWithDigits(digits, kCnpjBase)) {
        return {};
    }
    std::string base(digits.substr(0, kCnpjBase));
    base.push_back(static_cast<char>('0' + cnpjCheckDigit(base)));
    base.push_back(static_cast<char>('0' + cnpjCheckDigit(base)));
    return base.substr(kCnpjBase);
}

bool isTaxIdValid(std::string_view text) {
    std::string d = taxIdDigits(text);
    const std::string_view v = d;
    if (d.size() < kCpfBase) {
        return false;
    }
    if (d.size() <= kCpfLength) {
        // Fewer than eleven digits can never equal the nine followed by two.
        return d.size() == kCpfLength && v.substr(kCpfBase) == cpfCheckDigits(v);
    }
    return d.size() == kCnpjLength && v.substr(kCnpjBase) == cnpjCheckDigits(v);
}

} // namespace vek
