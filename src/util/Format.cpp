#include "util/Format.h"

#include "util/TextCodec.h"

#include <QLocale>
#include <QString>

#include <atomic>
#include <charconv>
#include <cmath>
#include <limits>

namespace vek {

namespace {

// ---- settings -------------------------------------------------------------

char singleByte(const QString& text, char fallback) {
    if (text.size() != 1) {
        return fallback;
    }
    const char16_t c = text.at(0).unicode();
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) {
        return fallback;
    }
    const char b = byteOfUnicode(c);
    if (b == '?' && c != u'?') {
        // Narrow and thin spaces have no byte of their own: the no-break space keeps the grouping readable.
        return text.at(0).category() == QChar::Separator_Space ? '\xA0' : fallback;
    }
    return b;
}

// The first character of a date or time format that is neither a field letter,
// a blank nor quoted text.
QString separatorIn(const QString& format) {
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
        } else if (!quoted && !c.isLetter() && !c.isSpace()) {
            return QString(c);
        }
    }
    return {};
}

std::atomic<FormatSettings>& currentSetting() {
    static std::atomic<FormatSettings> setting{systemFormatSettings()};
    return setting;
}

// ---- numbers --------------------------------------------------------------

struct NumberPattern {
    std::string prefix;
    std::string suffix;
    int intPlaces = 0;
    int minIntDigits = 0;
    int maxDecimals = 0;
    int minDecimals = 0;
    bool grouping = false;
};

NumberPattern parseNumberPattern(std::string_view pattern) {
    enum class Phase { Prefix, Integer, Fraction };
    NumberPattern p;
    Phase phase = Phase::Prefix;
    int firstZero = -1;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        std::string& literal = phase == Phase::Prefix ? p.prefix : p.suffix;
        if (c == '"' || c == '\'') {
            const std::size_t end = pattern.find(c, i + 1);
            const std::size_t stop = end == std::string_view::npos ? pattern.size() : end;
            literal.append(pattern.substr(i + 1, stop - i - 1));
            i = stop;
        } else if (c == '0' || c == '#') {
            if (phase == Phase::Fraction) {
                ++p.maxDecimals;
                if (c == '0') {
                    p.minDecimals = p.maxDecimals;
                }
            } else {
                phase = Phase::Integer;
                if (c == '0' && firstZero < 0) {
                    firstZero = p.intPlaces;
                }
                ++p.intPlaces;
            }
        } else if (c == ',' && phase != Phase::Fraction) {
            p.grouping = true;
        } else if (c == '.' && phase != Phase::Fraction) {
            phase = Phase::Fraction;
        } else if (c != ',' && c != '.') {
            literal.push_back(c);
        }
    }
    p.minIntDigits = firstZero < 0 ? 0 : p.intPlaces - firstZero;
    if (p.intPlaces == 0 && p.maxDecimals == 0 && phase != Phase::Fraction) {
        // No digit places at all: the shortest exact form.
        p.minIntDigits = 1;
        p.maxDecimals = std::numeric_limits<int>::max() / 2;
    }
    return p;
}

// Significant digits and the position of the decimal point within them:
// value = 0.D * 10^point.
struct Decimal {
    std::string digits;
    int point = 0;
};

Decimal decimalOf(double magnitude) {
    // The shortest text that reads back as the same double: 2.675 is taken as 2.675,
    // which is what the operator sees and expects to be rounded.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific);
    const std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    const std::size_t e = text.find('e');
    Decimal d;
    for (const char c : text.substr(0, e)) {
        if (c != '.') {
            d.digits.push_back(c);
        }
    }
    int exponent = 0;
    const std::string_view exp = text.substr(e + 1);
    std::from_chars(exp.data() + (exp.front() == '+' ? 1 : 0), exp.data() + exp.size(), exponent);
    d.point = exponent + 1;
    return d;
}

// Rounds half away from zero (on the magnitude) to `decimals` places.
void roundTo(Decimal& d, int decimals) {
    const long long keep = static_cast<long long>(d.point) + decimals;
    if (keep >= static_cast<long long>(d.digits.size())) {
        return;
    }
    if (keep < 0) {
        d.digits.clear();
        d.point = 0;
        return;
    }
    const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (!up) {
        return;
    }
    std::size_t i = d.digits.size();
    while (i > 0 && d.digits[i - 1] == '9') {
        d.digits[--i] = '0';
    }
    if (i == 0) {
        d.digits.insert(d.digits.begin(), '1');
        ++d.point;
    } else {
        ++d.digits[i - 1];
    }
}

std::string grouped(const std::string& digits, char separator) {
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out.push_back(separator);
        }
        out.push_back(digits[i]);
    }
    return out;
}

// ---- dates ----------------------------------------------------------------

void appendNumber(std::string& out, long long value, int width) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value < 0 ? -value : value);
    const int len = static_cast<int>(res.ptr - buf);
    if (value < 0) {
        out.push_back('-');
    }
    out.append(static_cast<std::size_t>(width > len ? width - len : 0), '0');
    out.append(buf, res.ptr);
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

FormatSettings brazilianFormatSettings() {
    return FormatSettings{'.', ',', '/', ':'};
}

FormatSettings formatSettingsOf(const QLocale& locale) {
    const FormatSettings fallback = brazilianFormatSettings();
    FormatSettings s;
    s.thousandSeparator = singleByte(locale.groupSeparator(), fallback.thousandSeparator);
    s.decimalSeparator = singleByte(locale.decimalPoint(), fallback.decimalSeparator);
    s.dateSeparator = singleByte(separatorIn(locale.dateFormat(QLocale::ShortFormat)), fallback.dateSeparator);
    s.timeSeparator = singleByte(separatorIn(locale.timeFormat(QLocale::ShortFormat)), fallback.timeSeparator);
    return s;
}

FormatSettings systemFormatSettings() {
    return formatSettingsOf(QLocale::system());
}

FormatSettings currentFormatSettings() {
    return currentSetting().load();
}

void setCurrentFormatSettings(const FormatSettings& settings) {
    currentSetting().store(settings);
}

std::string formatFloat(std::string_view pattern, double value) {
    return formatFloat(pattern, value, currentFormatSettings());
}

std::string formatFloat(std::string_view pattern, double value, const FormatSettings& settings) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    const NumberPattern p = parseNumberPattern(pattern);
    Decimal d = decimalOf(std::fabs(value));
    roundTo(d, p.maxDecimals);

    std::string intDigits;
    std::string fracDigits;
    const int n = static_cast<int>(d.digits.size());
    for (int i = 0; i < d.point; ++i) {
        intDigits.push_back(i < n ? d.digits[static_cast<std::size_t>(i)] : '0');
    }
    for (int i = d.point; i < n; ++i) {
        fracDigits.push_back(i < 0 ? '0' : d.digits[static_cast<std::size_t>(i)]);
    }
    const bool isZero =
        intDigits.find_first_not_of('0') == std::string::npos && fracDigits.find_first_not_of('0') == std::string::npos;

    intDigits.erase(0, intDigits.find_first_not_of('0'));
    if (static_cast<int>(intDigits.size()) < p.minIntDigits) {
        intDigits.insert(0, static_cast<std::size_t>(p.minIntDigits) - intDigits.size(), '0');
    }
    if (static_cast<int>(fracDigits.size()) < p.minDecimals) {
        fracDigits.append(static_cast<std::size_t>(p.minDecimals) - fracDigits.size(), '0');
    }
    while (static_cast<int>(fracDigits.size()) > p.minDecimals && fracDigits.back() == '0') {
        fracDigits.pop_back();
    }

    std::string out;
    if (value < 0 && !isZero) {
        out.push_back('-');
    }
    out += p.prefix;
    out += p.grouping ? grouped(intDigits, settings.thousandSeparator) : intDigits;
    if (!fracDigits.empty()) {
        out.push_back(settings.decimalSeparator);
        out += fracDigits;
    }
    out += p.suffix;
    return out;
}

std::string formatDateTime(std::string_view pattern, const DateTime& value) {
    return formatDateTime(pattern, value, currentFormatSettings());
}

std::string formatDateTime(std::string_view pattern, const DateTime& value, const FormatSettings& settings) {
    int year = 0;
    int month = 0;
    int day = 0;
    civilFromDayNumber(value.dayNumber(), year, month, day);

    std::string out;
    bool afterHour = false;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        const char letter = lowerAscii(c);
        if (c == '"' || c == '\'') {
            const std::size_t end = pattern.find(c, i + 1);
            const std::size_t stop = end == std::string_view::npos ? pattern.size() : end;
            out.append(pattern.substr(i + 1, stop - i - 1));
            i = stop + 1;
            continue;
        }
        if (std::string_view("dmyhnsz").find(letter) == std::string_view::npos) {
            out.push_back(c == '/' ? settings.dateSeparator : c == ':' ? settings.timeSeparator : c);
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < pattern.size() && lowerAscii(pattern[i + run]) == letter) {
            ++run;
        }
        const int width = run >= 2 ? 2 : 1;
        switch (letter) {
        case 'd':
            appendNumber(out, day, width);
            break;
        case 'm':
            appendNumber(out, c == 'm' && afterHour ? value.minute() : month, width);
            break;
        case 'y':
            if (run >= 3) {
                appendNumber(out, year, 4);
            } else {
                appendNumber(out, (year % 100 + 100) % 100, 2);
            }
            break;
        case 'h':
            appendNumber(out, value.hour(), width);
            break;
        case 'n':
            appendNumber(out, value.minute(), width);
            break;
        case 's':
            appendNumber(out, value.second(), width);
            break;
        case 'z':
            appendNumber(out, value.msec(), run >= 2 ? 3 : 1);
            break;
        }
        afterHour = letter == 'h';
        i += run;
    }
    return out;
}

} // namespace vek
