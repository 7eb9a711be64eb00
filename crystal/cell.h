#pragma once
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

// The orthogonalisation matrix M (Cartesian = M · fractional) in the usual
// crystallographic convention: a along x, b in the xy plane, z along c*
// (Rollett, Computing Methods in Crystallography, 1965).
TMat3 OrthoMatrix(const TCell& cell);

// The metric tensor G = MᵀM: G(i, j) is the dot product of cell edges i and j.
TMat3 MetricTensor(const TCell& cell);

// Distance (ångström) between neighbouring lattice planes perpendicular to
// reciprocal axis `axis` (0, 1, 2).
double PlaneSpacing(const TCell& cell, int axis);

}  // namespace koravel
