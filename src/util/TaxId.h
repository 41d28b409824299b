#pragma once

#include <string>
#include <string_view>

namespace vek {

/// Brazilian tax identifiers: CPF (11 digits, a person) and CNPJ (14 digits, a company).
/// Only the digits of a text count; every other character is ignored.

/// The characters '0'..'9' of the text, in order.
std::string taxIdDigits(std::string_view text);

/// The digits with the display mask: 999.999.999-99 for 11 digits,
/// 99.999.999/9999-99 for 14 digits, the bare digits for any other count.
std::string formatTaxId(std::string_view text);

/// True when the digits are a CPF or CNPJ with the right check digits.
/// No other test is made: a CPF of eleven equal digits passes when its check digits fit.
bool isTaxIdValid(std::string_view text);

/// The two check digits of a CPF from the first nine characters of `digits`;
/// empty when those are fewer than nine or not all digits.
std::string cpfCheckDigits(std::string_view digits);

/// The two check digits of a CNPJ from the first twelve characters of `digits`;
/// empty when those are fewer than twelve or not all digits.
std::string cnpjCheckDigits(std::string_view digits);

} // namespace vek
