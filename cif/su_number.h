#pragma once
#include <string_view>

namespace koravel {

// Reads a CIF number with its standard uncertainty in parentheses, in units
// of the last digit: 1.2345(12) is 1.2345 with su 0.0012, 1.5e2(3) is 150
// with su 30. False for a null value or when the number part is no number;
// an unreadable, negative or out-of-range su leaves su 0 and the value
// stands. Without parentheses su is 0.
bool ParseSu(std::string_view text, double& value, double& su);

}  // namespace koravel
