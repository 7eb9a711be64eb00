#include "geom/cell.h"

#include <cmath>

namespace koravel {

namespace {
constexpr double kDegToRad = 0.017453292519943295;
}

TMat3 OrthoMatrix(const TCell& cell) {
  const double ca = std::cos(cell.Alpha * kDegToRad);
  const double cb = std::cos(cell.Beta * kDegToRad);
  const double cg = std::cos(cell.Gamma * kDegToRad);
  const double sg = std::sin(cell.Gamma * kDegToRad);
  // G = 1 - cos²α - cos²β - cos²γ + 2 cosα cosβ cosγ is (V / abc)²; rounding can
  // push it slightly below zero for a flat cell, which must not give a NaN.
  double g = 2 * ca * cb * cg + (1 - ca * ca - cb * cb - cg * cg);
  if (g < 0) g = 0;
  TMat3 m{};
  m[0] = {cell.A, cell.B * cg, cell.C * cb};
  m[1] = {0, cell.B * sg, cell.C * (ca - cb * cg) / sg};
  m[2] = {0, 0, cell.C * std::sqrt(g) / sg};
  return m;
}

}  // namespace koravel
