#pragma once
#include <array>

namespace koravel {

// Three doubles x, y, z: fractional coordinates, their su, or Cartesian
// coordinates in ångström, depending on where the vector is used.
using TVec3 = std::array<double, 3>;

// A 3x3 matrix stored as three rows: entry (i, j) multiplies component j of
// the input into component i of the output.
using TMat3 = std::array<TVec3, 3>;

// M·V, each component summed as M(i,0)·V0 + M(i,1)·V1 + M(i,2)·V2.
TVec3 MatVec(const TMat3& m, const TVec3& v);

}  // namespace koravel
