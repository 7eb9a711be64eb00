#pragma once
#include <vector>

#include "geom/symop.h"
#include "geom/vec3.h"

namespace koravel {

// The operators of `ops` without repeats (SameSymOp), first occurrence kept.
std::vector<TSymOp> DistinctSymOps(const std::vector<TSymOp>& ops);

// The order of the site symmetry of a position: how many of `ops` map it onto
// itself, modulo lattice translations, within 0.001 in every fractional
// coordinate. Pass distinct operators. At least 1 (the identity), also for a
// position that is not finite.
int SiteSymmetryOrder(const TVec3& frac, const std::vector<TSymOp>& ops);

}  // namespace koravel
