#pragma once
#include "geom/vec3.h"

namespace koravel {

// The unit cell: lengths in ångström, angles in degrees, and the su of each
// (0 means that no su is given).
struct TCell {
  double A = 0, B = 0, C = 0;
  double Alpha = 90, Beta = 90, Gamma = 90;
  double SuA = 0, SuB = 0, SuC = 0;
  double SuAlpha = 0, SuBeta = 0, SuGamma = 0;
};

// Orthogonalisation matrix: a along Cartesian x, b in the xy plane, z along c*.
TMat3 OrthoMatrix(const TCell& cell);

}  // namespace koravel
