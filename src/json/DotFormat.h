#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vek::json {

/// Reals as the peers write them: a full stop as decimal separator whatever the
/// process locale says.
class DotFormat {
public:
    /// An optional sign, digits with at most one ".", an optional exponent;
    /// nothing else, blanks included. Throws std::invalid_argument for any other
    /// text and std::out_of_range for a value too large for a double (a value too
    /// small for one reads as zero).
    static double toReal(std::string_view text);

    /// toReal without the exception, for the parser's guesses.
    static std::optional<double> tryToReal(std::string_view text);

    /// The "######0.00" pattern: at least one integer digit, exactly two decimals,
    /// no grouping. Rounds the shortest decimal form of the value half away from
    /// zero, so 1.005 writes 1.01 as a person reading the number expects.
    static std::string formatTwoDecimals(double value);
};

} // namespace vek::json
