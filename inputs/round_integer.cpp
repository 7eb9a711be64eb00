#include "inputs/round_integer.h"

#include <cmath>

namespace koravel {

namespace {

// Rounds to the nearest integer with halves going to the even neighbour,
// independent of the floating-point environment's rounding mode.
double RoundHalfEven(double value) {
  double lower = std::floor(value);
  double diff = value - lower;
  if (diff > 0.5) return lower + 1;
  if (diff < 0.5) return lower;
  return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

}  // namespace

bool RoundToInt(double value, int& out) {
  if (!std::isfinite(value)) return false;
  double r = RoundHalfEven(value);
  if (r < -2147483648.0 || r > 2147483647.0) return false;
  out = static_cast<int>(r);
  return true;
}

bool RoundToInt64(double value, long long& out) {
  if (!std::isfinite(value)) return false;
  double r = RoundHalfEven(value);
  // 2^63 itself is one past the largest long long.
  if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) return false;
  out = static_cast<long long>(r);
  return true;
}

}  // namespace koravel
