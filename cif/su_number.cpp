#include "cif/su_number.h"

#include <cmath>

#include "cif/cif_file.h"
#include "geom/number_text.h"
#include "geom/text.h"

namespace koravel {

namespace {

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

}  // namespace

bool ParseSu(std::string_view text, double& value, double& su) {
  value = 0;
  su = 0;
  const std::string_view t = Trim(text);
  if (IsNullValue(t)) return false;
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

}  // namespace koravel
