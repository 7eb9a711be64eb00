#pragma once
#include <string>
#include <string_view>

namespace koravel {

// Reads a decimal number with "." as the point, whatever the locale: optional
// sign, digits with an optional point (at least one digit), optional exponent.
// "nan", "inf", hexadecimal, blanks and values that overflow are not numbers;
// a value too small to hold reads as 0.
bool ParseNumber(std::string_view text, double& value);

// Reads a decimal integer (optional sign, digits only) that fits in `long long`.
bool ParseInteger(std::string_view text, long long& value);

// Reads a number with its standard uncertainty in parentheses, in units of
// the last digit: 1.2345(12) is 1.2345 with su 0.0012, 1.5e2(3) is 150 with
// su 30. False when the number part is no number (a CIF null value "?" or "."
// included); an unreadable, negative or out-of-range su leaves su 0 and the
// value stands. Without parentheses su is 0.
bool ParseSu(std::string_view text, double& value, double& su);

// Numbers read from a file that stand for integers (a lattice type, a
// scattering-factor number, a parameter index, a count) are rounded to the
// nearest integer, halves to even. A value that is not finite or lies outside
// the target's range is no integer at all: false, `out` unchanged.
bool RoundToInt(double value, int& out);
bool RoundToInt64(double value, long long& out);

// The value rounded to `decimals` places, no grouping, "." as the point; with
// 0 decimals no point is written. A value that rounds to zero has no sign.
std::string FormatFixed(double value, int decimals);

// The value with its su in parentheses in units of the last digit, e.g.
// 1.2346(12); without a usable su, FormatFixed with `defaultDecimals`.
std::string FormatValueSu(double value, double su, int defaultDecimals);

// A count with a comma between groups of three digits: 3,211.
std::string GroupedDigits(unsigned long long n);

// The number of decimals FormatValueSu gives a value with this su.
int SuDecimals(double su);

}  // namespace koravel
