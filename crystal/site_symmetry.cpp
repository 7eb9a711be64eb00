#include "crystal/site_symmetry.h"

#include <algorithm>
#include <cmath>

namespace koravel {

std::vector<TSymOp> DistinctSymOps(const std::vector<TSymOp>& ops) {
  std::vector<TSymOp> distinct;
  for (const TSymOp& op : ops) {
    const bool seen = std::any_of(distinct.begin(), distinct.end(),
                                  [&](const TSymOp& kept) { return SameModLattice(kept, op); });
    if (!seen) distinct.push_back(op);
  }
  return distinct;
}

int SiteSymmetryOrder(const TVec3& frac, const std::vector<TSymOp>& ops) {
  int order = 0;
  for (const TSymOp& op : ops) {
    const TVec3 image = ApplySymOp(op, frac);
    bool same = true;
    for (int i = 0; i < 3 && same; ++i) {
      const double d = image[i] - frac[i];
      same = std::fabs(d - std::round(d)) <= 0.001;
    }
    if (same) ++order;
  }
  return order > 0 ? order : 1;
}

double SiteOccupancy(double sof, int order) {
  const double occ = sof * order;
  if (order <= 1) return occ;
  const double nearest = std::round(occ * 100) / 100;
  return std::fabs(occ - nearest) <= order * 0.5e-5 ? nearest : occ;
}

}  // namespace koravel
