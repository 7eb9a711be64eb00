#include "crystal/structure.h"

#include <algorithm>
#include <cmath>

#include "base/text.h"

namespace koravel {

namespace {

std::string WithQuotesForApostrophePairs(std::string_view typed) {
  std::string quoted;
  for (size_t i = 0; i < typed.size(); ++i) {
    if (typed[i] == '\'' && i + 1 < typed.size() && typed[i + 1] == '\'') {
      quoted += '"';
      ++i;
    } else {
      quoted += typed[i];
    }
  }
  return quoted;
}

int FindLabel(const TStructure& s, std::string_view name) {
  for (size_t i = 0; i < s.Atoms.size(); ++i)
    if (SameText(s.Atoms[i].Label, name)) return static_cast<int>(i);
  return -1;
}

}  // namespace

namespace {
bool IsIdentityModLattice(const TSymOp& op) { return SameModLattice(op, IdentitySymOp()); }
}  // namespace

std::vector<TSymOp> WithIdentity(std::vector<TSymOp> ops) {
  if (std::any_of(ops.begin(), ops.end(), IsIdentityModLattice)) return ops;
  int largest = 0;
  for (const TSymOp& op : ops) largest = std::max(largest, op.Number);
  TSymOp identity = IdentitySymOp();
  identity.Number = largest + 1;
  ops.push_back(identity);
  return ops;
}

TSiteRef AtomSite(const TStructure& s, int atom) {
  const auto identity = std::find_if(s.SymOps.begin(), s.SymOps.end(), IsIdentityModLattice);
  TSiteRef site{atom, static_cast<int>(identity - s.SymOps.begin()), {}};
  for (int k = 0; k < 3; ++k) site.Cell[k] = -identity->Trans[k] / kTransDen;
  return site;
}

TVec3 SitePosition(const TStructure& s, const TSiteRef& site) {
  return ApplySymOp(s.SymOps[site.Op], s.Atoms[site.Atom].Frac, site.Cell);
}

std::vector<size_t> OperatorsAgainstCell(const TStructure& s) {
  const TMat3 g = MetricTensor(s.Cell);
  const std::array<double, 6> p = CellParameters(s.Cell), su = CellParameterSu(s.Cell);
  std::vector<size_t> against;
  for (size_t k = 0; k < s.SymOps.size(); ++k) {
    const TMat3 r = RotationMatrix(s.SymOps[k]);
    TMat3 h{};  // Rᵀ G R
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j)
        for (int m = 0; m < 3; ++m)
          for (int n = 0; n < 3; ++n) h[i][j] += r[m][i] * g[m][n] * r[n][j];
    const double a = std::sqrt(h[0][0]), b = std::sqrt(h[1][1]), c = std::sqrt(h[2][2]);
    auto angle = [](double cosine) { return std::acos(std::clamp(cosine, -1.0, 1.0)) * kDegPerRad; };
    const std::array<double, 6> q{a, b, c, angle(h[1][2] / (b * c)), angle(h[0][2] / (a * c)), angle(h[0][1] / (a * b))};
    for (size_t i = 0; i < 6; ++i) {
      const double tolerance = 3 * su[i] + (i < 3 ? 1e-4 * p[i] : 0.005);
      if (std::fabs(q[i] - p[i]) > tolerance) {
        against.push_back(k);
        break;
      }
    }
  }
  return against;
}

bool IsAtomItself(const TStructure& s, const TSiteRef& site) {
  const TSiteRef own = AtomSite(s, site.Atom);
  return site.Op == own.Op && site.Cell == own.Cell;
}

TVec3 SiteCartesian(const TStructure& s, const TSiteRef& site, const TMat3& ortho) {
  return MatVec(ortho, SitePosition(s, site));
}

TVec3 MeanCartesian(const TStructure& s, const std::vector<TSiteRef>& sites, const TMat3& ortho) {
  TVec3 sum{0, 0, 0};
  for (const TSiteRef& site : sites) sum = Plus(sum, SiteCartesian(s, site, ortho));
  return sites.empty() ? sum : Scaled(sum, 1.0 / static_cast<double>(sites.size()));
}

bool SameSite(const TStructure& s, const TSiteRef& a, const TSiteRef& b) {
  if (a.Atom != b.Atom) return false;
  if (a.Op == b.Op && a.Cell == b.Cell) return true;
  const TVec3 pa = SitePosition(s, a);
  const TVec3 pb = SitePosition(s, b);
  for (int i = 0; i < 3; ++i)
    if (!(std::fabs(pa[i] - pb[i]) <= kSiteTolerance)) return false;
  return true;
}

bool LabelMatches(std::string_view label, std::string_view typed) {
  if (SameText(label, typed)) return true;
  return typed.find("''") != std::string_view::npos &&
         SameText(label, WithQuotesForApostrophePairs(typed));
}

int NumberedSite(const TStructure& s, std::string_view typed) {
  const size_t at = typed.rfind('@');
  if (at == std::string_view::npos || at == 0 || at + 1 == typed.size()) return -1;
  int k = 0;
  for (const char c : typed.substr(at + 1)) {
    if (c < '0' || c > '9' || k > 100000) return -1;
    k = 10 * k + (c - '0');
  }
  const std::string_view label = typed.substr(0, at);
  for (size_t i = 0; i < s.Atoms.size(); ++i)
    if (SameText(s.Atoms[i].Label, label) && --k == 0) return static_cast<int>(i);
  return -1;
}

int FindAtom(const TStructure& s, std::string_view typed) {
  int index = FindLabel(s, typed);
  if (index < 0 && typed.find("''") != std::string_view::npos)
    index = FindLabel(s, WithQuotesForApostrophePairs(typed));
  return index >= 0 ? index : NumberedSite(s, typed);
}

}  // namespace koravel
