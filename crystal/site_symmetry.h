#pragma once
#include <vector>

#include "crystal/symop.h"

namespace koravel {

// The operators of `ops` that map a position onto itself, modulo lattice
// translations, within 0.001 in every fractional coordinate: its site
// symmetry. None for a position that is not finite.
std::vector<TSymOp> SiteSymmetryOps(const TVec3& frac, const std::vector<TSymOp>& ops);

// The order of the site symmetry: how many of `ops` map the position onto
// itself. Pass distinct operators (DistinctSymOps). At least 1 (the
// identity), also for a position that is not finite.
int SiteSymmetryOrder(const TVec3& frac, const std::vector<TSymOp>& ops);

// The occupancy of an atom whose SHELX site occupation factor is `sof` and
// whose site symmetry has order `order`: sof × order. SHELXL writes the factor
// to five decimals (1/48 as 0.02083), so on a special position the product is
// known only to order × 0.000005; a product that close to a multiple of 0.01
// is that multiple (0.02083 × 48 = 0.99984 is a full site).
double SiteOccupancy(double sof, int order);

}  // namespace koravel
