#include "base/numbers.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "base/text.h"

namespace koravel {

namespace {

// Checks the decimal grammar and reports where the mantissa's first nonzero
// digit stands (its power of ten, exponent included), so that an out-of-range
// conversion can be told apart as underflow (a tiny value, read as 0) or
// overflow (not a number).
bool CheckDecimalGrammar(std::string_view s, bool& allZero, long long& magnitude) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  long long intDigits = 0, fracDigits = 0;
  long long firstNonZero = 0;  // power of ten of the first nonzero digit
  allZero = true;
  while (i < s.size() && IsDigit(s[i])) {
    if (allZero && s[i] != '0') {
      allZero = false;
      firstNonZero = intDigits;  // index within the integer part, fixed below
    }
    ++intDigits;
    ++i;
  }
  if (!allZero) firstNonZero = intDigits - 1 - firstNonZero;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) {
      ++fracDigits;
      if (allZero && s[i] != '0') {
        allZero = false;
        firstNonZero = -fracDigits;
      }
      ++i;
    }
  }
  if (intDigits + fracDigits == 0) return false;
  long long exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i >= s.size() || !IsDigit(s[i])) return false;
    while (i < s.size() && IsDigit(s[i])) {
      if (exponent < 100000000) exponent = exponent * 10 + (s[i] - '0');
      ++i;
    }
    if (negative) exponent = -exponent;
  }
  magnitude = firstNonZero + exponent;
  return i == s.size();
}

// Exponent of an already validated number's "e" part, saturated far beyond
// any double's range so that no digit string can overflow it.
long long DecimalExponent(std::string_view exponentText) {
  bool negative = false;
  std::size_t i = 0;
  if (i < exponentText.size() && (exponentText[i] == '+' || exponentText[i] == '-'))
    negative = exponentText[i++] == '-';
  long long e = 0;
  for (; i < exponentText.size() && exponentText[i] >= '0' && exponentText[i] <= '9'; ++i)
    if (e < 1000000) e = e * 10 + (exponentText[i] - '0');
  return negative ? -e : e;
}

// The su digits count in units of the number part's last digit:
// su = digits · 10^(exponent − decimals).
double ScaledSu(std::string_view numberPart, double digits) {
  std::size_t ePos = numberPart.find_first_of("eE");
  long long exponent = 0;
  std::string_view mantissa = numberPart;
  if (ePos != std::string_view::npos) {
    exponent = DecimalExponent(numberPart.substr(ePos + 1));
    mantissa = numberPart.substr(0, ePos);
  }
  std::size_t point = mantissa.find('.');
  long long decimals =
      point == std::string_view::npos ? 0 : static_cast<long long>(mantissa.size() - point - 1);
  long long power = exponent - decimals;
  // Dividing by an exact power of ten keeps 12 · 10^-4 at 0.0012 exactly.
  double su = power >= 0 ? digits * std::pow(10.0, static_cast<double>(power))
                         : digits / std::pow(10.0, static_cast<double>(-power));
  return std::isfinite(su) && su >= 0 ? su : 0.0;
}

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

bool ParseNumber(std::string_view text, double& value) {
  bool allZero = true;
  long long magnitude = 0;
  if (!CheckDecimalGrammar(text, allZero, magnitude)) return false;
  bool negative = !text.empty() && text.front() == '-';
  std::string_view body = text;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
  double parsed = 0;
  auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), parsed,
                                   std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    if (allZero || magnitude >= 0) return false;  // overflow to infinity
    parsed = 0;                                   // underflow: too small to hold
  } else if (ec != std::errc() || ptr != body.data() + body.size()) {
    return false;
  }
  if (!std::isfinite(parsed)) return false;
  value = negative ? -parsed : parsed;
  return true;
}

bool ParseInteger(std::string_view text, long long& value) {
  std::string_view body = text;
  bool negative = false;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  if (body.empty()) return false;
  for (char c : body)
    if (!IsDigit(c)) return false;
  unsigned long long magnitude = 0;
  auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), magnitude);
  if (ec != std::errc() || ptr != body.data() + body.size()) return false;
  const unsigned long long limit = negative ? 9223372036854775808ULL : 9223372036854775807ULL;
  if (magnitude > limit) return false;
  value = negative ? static_cast<long long>(0 - magnitude) : static_cast<long long>(magnitude);
  return true;
}

std::string FormatFixed(double value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char buffer[400];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                 std::chars_format::fixed, decimals);
  if (ec != std::errc()) {
    auto [p2, e2] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                  std::chars_format::scientific, decimals);
    ptr = e2 == std::errc() ? p2 : buffer;
  }
  std::string out(buffer, ptr);
  // A value that rounds to zero is written without a sign: -0.00 reads as a
  // negative deviation that is not there.
  if (!out.empty() && out.front() == '-' &&
      out.find_first_not_of("-0.") == std::string::npos)
    out.erase(0, 1);
  return out;
}

// The su is written with two digits when they make 10 to 19 in units of the
// last digit and with one digit otherwise (the "rule of 19" of the IUCr's
// Notes for Authors), and the value is rounded to the su's last digit.
std::string FormatValueSu(double value, double su, int defaultDecimals) {
  if (!(su > 0) || !std::isfinite(su)) return FormatFixed(value, defaultDecimals);
  int e = static_cast<int>(std::floor(std::log10(su)));
  int d = (su / std::pow(10.0, e) < 2) ? -e + 1 : -e;
  if (d < 0) d = 0;
  if (d > 8) d = 8;
  double n = std::nearbyint(su * std::pow(10.0, d));
  if (n >= 20 && d > 0) {
    --d;
    n = std::nearbyint(su * std::pow(10.0, d));
  }
  if (n < 1) n = 1;
  return FormatFixed(value, d) + "(" + FormatFixed(n, 0) + ")";
}


bool ParseSu(std::string_view text, double& value, double& su) {
  value = 0;
  su = 0;
  const std::string_view t = Trim(text);
  std::string_view numberPart = t;
  std::string_view suPart;
  const std::size_t open = t.find('(');
  if (open != std::string_view::npos) {
    numberPart = t.substr(0, open);
    const std::size_t close = t.find(')', open + 1);
    suPart = close == std::string_view::npos ? t.substr(open + 1)
                                             : t.substr(open + 1, close - open - 1);
  }
  double number = 0;
  if (!ParseNumber(numberPart, number)) return false;
  value = number;
  double digits = 0;
  if (!suPart.empty() && ParseNumber(suPart, digits)) su = ScaledSu(numberPart, digits);
  return true;
}


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

int SuDecimals(double su) {
  const std::string text = FormatValueSu(0, su, 2);
  const size_t point = text.find('.');
  const size_t paren = text.find('(');
  if (point == std::string::npos || paren == std::string::npos || paren < point) return 0;
  return static_cast<int>(paren - point - 1);
}

std::string GroupedDigits(unsigned long long n) {
  const std::string digits = std::to_string(n);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

}  // namespace koravel
