#include "crystal/site_symmetry.h"

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

std::vector<TSymOp> SiteSymmetryOps(const TVec3& frac, const std::vector<TSymOp>& ops) {
  std::vector<TSymOp> site;
  for (const TSymOp& op : ops)
    if (MapsOntoItself(op, frac)) site.push_back(op);
  return site;
}

int SiteSymmetryOrder(const TVec3& frac, const std::vector<TSymOp>& ops) {
  const int order = static_cast<int>(SiteSymmetryOps(frac, ops).size());
  return order > 0 ? order : 1;
}

double SiteOccupancy(double sof, int order) {
  const double occ = sof * order;
  if (order <= 1) return occ;
  const double nearest = std::round(occ * 100) / 100;
  return std::fabs(occ - nearest) <= order * 0.5e-5 ? nearest : occ;
}

}  // namespace koravel
