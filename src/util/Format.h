#pragma once

#include "util/DateTime.h"

#include <string>
#include <string_view>

class QLocale;

namespace vek {

/// The locale's separators, as bytes of the station's 8-bit code page.
/// The defaults are the Brazilian ones.
struct FormatSettings {
    char thousandSeparator = '.';
    char decimalSeparator = ',';
    char dateSeparator = '/';
    char timeSeparator = ':';

    bool operator==(const FormatSettings&) const = default;
};

/// '.', ',', '/', ':'.
FormatSettings brazilianFormatSettings();

/// The separators of `locale`; each one that is not a single printable character of the
/// station's code page falls back to the Brazilian one.
FormatSettings formatSettingsOf(const QLocale& locale);

/// formatSettingsOf(QLocale::system()).
FormatSettings systemFormatSettings();

/// The process-wide setting used by the overloads without explicit settings; the system's
/// until set. Safe to read and set from any thread.
FormatSettings currentFormatSettings();
void setCurrentFormatSettings(const FormatSettings& settings);

/// Formats a number with a picture pattern:
///   '0' a mandatory digit, '#' an optional digit;
///   ',' anywhere before the decimal point groups thousands with the thousand separator;
///   the first '.' is the decimal separator; the digit places after it give the number of
///   decimals (rounded half away from zero), trailing zeros are kept up to the last '0';
///   text in double or single quotes and any other character is copied: before the number
///   when it precedes the first digit place, after it otherwise.
/// Negative numbers get a leading '-', unless they round to zero. A pattern without digit
/// places gives the number in its shortest exact form. Not-a-number gives "NAN", infinities
/// "INF" and "-INF". Independent of the C and C++ locales.
std::string formatFloat(std::string_view pattern, double value);
std::string formatFloat(std::string_view pattern, double value, const FormatSettings& settings);

/// Formats a date and time with a picture pattern (letters in either case):
///   d dd day; m mm M MM month, except that a lower-case m or mm after an h or hh, with
///   only literal text between, is the minute; y yy two-digit year, yyy yyyy four-digit
///   year; h hh H HH hour (0-23); n nn minute; s ss second; z millisecond, zzz three digits;
///   '/' the date separator, ':' the time separator; text in double or single quotes is
///   copied without its quotes, any other character as it is.
/// Runs of a letter longer than the ones listed count as the longest listed form.
std::string formatDateTime(std::string_view pattern, const DateTime& value);
std::string formatDateTime(std::string_view pattern, const DateTime& value, const FormatSettings& settings);

} // namespace vek
