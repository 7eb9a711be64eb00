#pragma once
#include <vector>

#include "base/matrix.h"
#include "crystal/symop.h"

namespace koravel {

// The order of the site symmetry of a position: how many of `ops` map it onto
// itself, modulo lattice translations, within 0.001 in every fractional
// coordinate. Pass distinct operators (DistinctSymOps). At least 1 (the
// identity), also for a position that is not finite.
int SiteSymmetryOrder(const TVec3& frac, const std::vector<TSymOp>& ops);

// The linear conditions on a displacement d of a position that keep it on its
// site: (W - I)·d = 0 for the rotation W of every operator that maps the
// position onto itself (modulo lattice translations, within 0.001), three
// rows per operator. An atom on a mirror keeps the coordinate normal to it;
// one on a three-fold axis moves along the axis, x = y = z.
TMatrix DisplacementConstraints(const TVec3& frac, const std::vector<TSymOp>& ops);

// The occupancy of an atom whose SHELX site occupation factor is `sof` and
// whose site symmetry has order `order`: sof × order. SHELXL writes the factor
// to five decimals (1/48 as 0.02083), so on a special position the product is
// known only to order × 0.000005; a product that close to a multiple of 0.01
// is that multiple (0.02083 × 48 = 0.99984 is a full site).
double SiteOccupancy(double sof, int order);

}  // namespace koravel
