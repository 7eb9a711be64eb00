#include "crystal/sym_code.h"

#include <algorithm>

#include "base/numbers.h"
#include "base/text.h"

namespace koravel {

namespace {

// The largest lattice translation a written-out code may name: far beyond
// any image a search reaches, and far inside int.
constexpr long long kMaxCellPart = 1000000;

}  // namespace

std::string SymCode(const TStructure& s, const TSiteRef& site) {
  std::string code = std::to_string(s.SymOps[site.Op].Number) + "_";
  const bool digits = std::all_of(site.Cell.begin(), site.Cell.end(), [](int t) { return t >= -5 && t <= 4; });
  for (size_t k = 0; k < 3; ++k) {
    if (!digits && k > 0) code += '_';
    code += std::to_string(5 + static_cast<long long>(site.Cell[k]));
  }
  return code;
}

std::string SymCodeOperator(const TStructure& s, const TSiteRef& site) {
  TSymOp op = s.SymOps[static_cast<size_t>(site.Op)];
  for (size_t k = 0; k < 3; ++k) op.Trans[k] += kTransDen * site.Cell[k];
  return SymOpText(op);
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
  TIntVec3 t{};
  if (cell.find('_') == std::string_view::npos) {
    if (cell.size() != 3 || !IsDigit(cell[0]) || !IsDigit(cell[1]) || !IsDigit(cell[2]))
      return std::nullopt;
    t = {cell[0] - '5', cell[1] - '5', cell[2] - '5'};
  } else {
    // n_k_l_m, each 5 + the translation written out.
    const std::vector<std::string_view> parts = SplitFields(cell, [](char c) { return c == '_'; });
    if (parts.size() != 3 || cell.front() == '_' || cell.back() == '_' ||
        cell.find("__") != std::string_view::npos)
      return std::nullopt;
    for (size_t k = 0; k < 3; ++k) {
      long long v = 0;
      if (!ParseInteger(parts[k], v) || v < -kMaxCellPart || v > kMaxCellPart) return std::nullopt;
      t[k] = static_cast<int>(v - 5);
    }
  }
  for (size_t op = 0; op < s.SymOps.size(); ++op)
    if (s.SymOps[op].Number == n) return TSiteRef{atom, static_cast<int>(op), t};
  return std::nullopt;
}

}  // namespace koravel
