#include "crystal/sym_code.h"

#include "base/numbers.h"
#include "base/text.h"

namespace koravel {

std::string SymCode(const TStructure& s, const TSiteRef& site) {
  std::string code = std::to_string(s.SymOps[site.Op].Number) + "_";
  for (int t : site.Cell) code += std::to_string(5 + static_cast<long long>(t));
  return code;
}

std::string NormalizeSymCode(std::string_view value) {
  const std::string_view v = Trim(value);
  if (v.empty() || v == "." || v == "?") return "1_555";
  if (v.find('_') != std::string_view::npos) return std::string(v);
  return std::string(v) + "_555";
}

std::optional<TSiteRef> ResolveSymCode(const TStructure& s, int atom, std::string_view code) {
  const size_t underscore = code.find('_');
  if (underscore == std::string_view::npos || underscore < 1) return std::nullopt;
  long long n = 0;
  if (!ParseInteger(code.substr(0, underscore), n)) return std::nullopt;
  const std::string_view cell = code.substr(underscore + 1);
  if (cell.size() != 3 || !IsDigit(cell[0]) || !IsDigit(cell[1]) || !IsDigit(cell[2]))
    return std::nullopt;
  for (size_t op = 0; op < s.SymOps.size(); ++op)
    if (s.SymOps[op].Number == n)
      return TSiteRef{atom, static_cast<int>(op), {cell[0] - '5', cell[1] - '5', cell[2] - '5'}};
  return std::nullopt;
}

}  // namespace koravel
