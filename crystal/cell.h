#pragma once
#include <array>
#include <cmath>
#include <vector>

#include "base/matrix.h"
#include "base/vec3.h"

namespace koravel {

// The unit cell: lengths in ångström, angles in degrees, and the su of each
// (0 means that no su is given).
struct TCell {
  double A = 0, B = 0, C = 0;
  double Alpha = 90, Beta = 90, Gamma = 90;
  double SuA = 0, SuB = 0, SuC = 0;
  double SuAlpha = 0, SuBeta = 0, SuGamma = 0;
};

// (V / abc)² = 1 - cos²α - cos²β - cos²γ + 2 cosα cosβ cosγ: zero or negative
// when the three angles cannot meet at a corner.
double MetricTerm(const TCell& cell);

// Positive finite lengths, angles strictly between 0 and 180 degrees, and
// angles that can close a cell (a metric term above 1e-6; 10, 10, 170 cannot).
// Anything else would collapse every coordinate onto a plane or worse.
bool IsUsable(const TCell& cell);

// The six cell parameters a, b, c (Å), alpha, beta, gamma (degrees) in this
// order, and their su.
std::array<double, 6> CellParameters(const TCell& cell);
std::array<double, 6> CellParameterSu(const TCell& cell);

// The orthogonalisation matrix M (Cartesian = M · fractional) in the usual
// crystallographic convention: a along x, b in the xy plane, z along c*
// (Rollett, Computing Methods in Crystallography, 1965). Written for any
// scalar type, so that its derivatives with respect to the cell parameters
// come out exactly.
template <typename S>
std::array<std::array<S, 3>, 3> OrthoMatrixOf(const std::array<S, 6>& p) {
  using std::cos;
  using std::sin;
  using std::sqrt;
  const S toRad(kRadPerDeg);
  const S ca = cos(p[3] * toRad), cb = cos(p[4] * toRad), cg = cos(p[5] * toRad);
  const S sg = sin(p[5] * toRad);
  // Rounding can push the metric term of a flat cell slightly below zero,
  // which must not give a NaN.
  S g = S(2) * ca * cb * cg + (S(1) - ca * ca - cb * cb - cg * cg);
  if (ValueOf(g) < 0) g = S(0);
  return {std::array<S, 3>{p[0], p[1] * cg, p[2] * cb},
          std::array<S, 3>{S(0), p[1] * sg, p[2] * (ca - cb * cg) / sg},
          std::array<S, 3>{S(0), S(0), p[2] * sqrt(g) / sg}};
}
TMat3 OrthoMatrix(const TCell& cell);

// The metric tensor G = MᵀM: G(i, j) is the dot product of cell edges i and j.
TMat3 MetricTensor(const TCell& cell);

// Distance (ångström) between neighbouring lattice planes perpendicular to
// reciprocal axis `axis` (0, 1, 2).
double PlaneSpacing(const TCell& cell, int axis);

// The linear conditions on changes dp of the six cell parameters that keep
// the metric tensor invariant under every rotation R of the space group,
// Rᵀ G R = G (rows of a matrix with six columns): the lattice symmetry ties
// a = b = c in a cubic cell, a = b in a tetragonal or hexagonal one, and
// keeps the angles that it fixes at their values.
TMatrix CellConstraints(const TCell& cell, const std::vector<TMat3>& rotations);

}  // namespace koravel
