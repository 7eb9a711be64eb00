#include "geom/sym_code.h"

#include "geom/number_text.h"

namespace koravel {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ResolveSymCode(const std::vector<TSymOp>& symOps, std::string_view code, TSymOp& op) {
  const size_t underscore = code.find('_');
  if (underscore == std::string_view::npos || underscore < 1) return false;
  long long n = 0;
  if (!ParseInteger(code.substr(0, underscore), n)) return false;
  if (n < 1 || n > static_cast<long long>(symOps.size())) return false;
  // Exactly one digit per axis, so translations run from -5 to +4.
  const std::string_view cell = code.substr(underscore + 1);
  if (cell.size() != 3 || !IsDigit(cell[0]) || !IsDigit(cell[1]) || !IsDigit(cell[2]))
    return false;
  op = TranslatedSymOp(symOps[static_cast<size_t>(n - 1)], cell[0] - '5', cell[1] - '5',
                       cell[2] - '5');
  return true;
}

}  // namespace koravel
