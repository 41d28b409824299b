#pragma once

#include "util/DateTime.h"

#include <QString>

#include <optional>
#include <string>

namespace vek {

/// A 15-character code beginning with "2" is a production sub-ticket label.
bool isSubTicketCode(const std::string& code);

/// The scanned text as a number in the locale's decimal notation (blanks around it, a sign, one
/// decimal separator, an exponent); no thousands separators. Empty or anything else: no number.
std::optional<double> parseScanCode(const std::string& text, char decimalSeparator);

/// The state of a box row as the refusal checks read it.
struct BoxDates {
    std::optional<DateTime> emission;   // DTEMISSAO_CX
    std::optional<DateTime> cancelled;  // DATA_CANC_CX
    std::optional<DateTime> writtenOff; // DTBAIXA_CX
};

/// The first refusal of a looked-up box, in the station's order (age, cancellation, write-off), or
/// nothing when the box may be written off.
std::optional<QString> boxRefusal(const BoxDates& box, const DateTime& serverTime, int maxAgeDays, double code);

} // namespace vek
