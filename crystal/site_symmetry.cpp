#include "crystal/site_symmetry.h"

#include <algorithm>
#include <cmath>

namespace koravel {

namespace {

// Whether the operator maps the position onto itself, modulo lattice
// translations, within 0.001 in every fractional coordinate.
bool MapsOntoItself(const TSymOp& op, const TVec3& frac) {
  const TVec3 image = ApplySymOp(op, frac);
  for (int i = 0; i < 3; ++i) {
    const double d = image[i] - frac[i];
    if (!(std::fabs(d - std::round(d)) <= 0.001)) return false;
  }
  return true;
}

}  // namespace

int SiteSymmetryOrder(const TVec3& frac, const std::vector<TSymOp>& ops) {
  const int order = static_cast<int>(
      std::count_if(ops.begin(), ops.end(), [&](const TSymOp& op) { return MapsOntoItself(op, frac); }));
  return order > 0 ? order : 1;
}

TMatrix DisplacementConstraints(const TVec3& frac, const std::vector<TSymOp>& ops) {
  std::vector<TIntMat3> rotations;
  for (const TSymOp& op : ops)
    if (op.Rot != IdentitySymOp().Rot && MapsOntoItself(op, frac))
      rotations.push_back(op.Rot);
  TMatrix m(3 * rotations.size(), 3);
  for (size_t k = 0; k < rotations.size(); ++k)
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) m(3 * k + i, j) = rotations[k][i][j] - (i == j ? 1 : 0);
  return m;
}

double SiteOccupancy(double sof, int order) {
  const double occ = sof * order;
  if (order <= 1) return occ;
  const double nearest = std::round(occ * 100) / 100;
  return std::fabs(occ - nearest) <= order * 0.5e-5 ? nearest : occ;
}

}  // namespace koravel
