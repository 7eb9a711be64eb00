#pragma once
#include <string>
#include <string_view>

namespace koravel {

// Reads a decimal number with "." as the point, whatever the locale: optional
// sign, digits with an optional point (at least one digit), optional exponent.
// "nan", "inf", hexadecimal, blanks and values that overflow are not numbers.
bool ParseNumber(std::string_view text, double& value);

// Reads a decimal integer (optional sign, digits only) that fits in `long long`.
bool ParseInteger(std::string_view text, long long& value);

// The value rounded to `decimals` places, no grouping, "." as the point; with
// 0 decimals no point is written. A value that rounds to zero has no sign.
std::string FormatFixed(double value, int decimals);

// The value with its su in parentheses in units of the last digit, e.g.
// 1.2346(12); without a usable su, FormatFixed with `defaultDecimals`.
std::string FormatValueSu(double value, double su, int defaultDecimals);

}  // namespace koravel
