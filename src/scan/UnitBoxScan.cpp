#include "scan/UnitBoxScan.h"

#include "util/Format.h"
#include "util/TextCodec.h"

#include <cmath>
#include <cstdlib>

namespace vek {

bool isSubTicketCode(const std::string& code) {
    return code.size() == 15 && code[0] == '2';
}

std::optional<double> parseScanCode(const std::string& text, char decimalSeparator) {
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    if (b == e) {
        return std::nullopt;
    }
    // Rewrite into the C notation, rejecting anything a decimal number cannot hold.
    std::string c;
    std::size_t i = b;
    if (text[i] == '+' || text[i] == '-') c.push_back(text[i++]);
    bool digits = false, point = false;
    for (; i < e; ++i) {
        const char ch = text[i];
        if (ch >= '0' && ch <= '9') {
            c.push_back(ch);
            digits = true;
        } else if (ch == decimalSeparator && !point) {
            c.push_back('.');
            point = true;
        } else {
            break;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    if (i < e && (text[i] == 'e' || text[i] == 'E')) {
        c.push_back('e');
        ++i;
        if (i < e && (text[i] == '+' || text[i] == '-')) c.push_back(text[i++]);
        bool expDigits = false;
        for (; i < e && text[i] >= '0' && text[i] <= '9'; ++i) {
            c.push_back(text[i]);
            expDigits = true;
        }
        if (!expDigits) {
            return std::nullopt;
        }
    }
    if (i != e) {
        return std::nullopt;
    }
    // The text holds only digits, a sign, '.' and an exponent, so strtod's locale cannot differ.
    char* end = nullptr;
    const double v = std::strtod(c.c_str(), &end);
    if (end != c.c_str() + c.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::optional<QString> boxRefusal(const BoxDates& box, const DateTime& serverTime, int maxAgeDays, double code) {
    // A box without an emission date counts as older than any limit.
    const bool tooOld = !box.emission || static_cast<double>(maxAgeDays) < serverTime.daysSince(*box.emission);
    if (tooOld) {
        const std::string emission = box.emission ? formatDateTime("dd/MM/YY", *box.emission)
                                                  : formatDateTime("dd/MM/YY", DateTime::fromSerial(0));
        return QString::fromUtf8("Código com data Emissão ") + toQString(emission) + QString::fromUtf8(" maior que ") +
               toQString(formatFloat("#,###", maxAgeDays)) + QString::fromUtf8(" dias.");
    }
    if (box.cancelled) {
        return QString::fromUtf8("Código CANCELADO em ") + toQString(formatDateTime("dd/MM HH:mm", *box.cancelled));
    }
    if (box.writtenOff) {
        return QString::fromUtf8("Código \"") + toQString(formatFloat("###,###,##0", code)) +
               QString::fromUtf8("\" já baixado em ") + toQString(formatDateTime("dd/MM/yyyy HH:mm", *box.writtenOff));
    }
    return std::nullopt;
}

} // namespace vek
