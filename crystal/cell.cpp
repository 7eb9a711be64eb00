#include "crystal/cell.h"

#include <cmath>

namespace koravel {

double MetricTerm(const TCell& c) {
  const double ca = std::cos(c.Alpha * kRadPerDeg);
  const double cb = std::cos(c.Beta * kRadPerDeg);
  const double cg = std::cos(c.Gamma * kRadPerDeg);
  return 2 * ca * cb * cg + (1 - ca * ca - cb * cb - cg * cg);
}

bool IsUsable(const TCell& cell) {
  for (double length : {cell.A, cell.B, cell.C})
    if (!std::isfinite(length) || !(length > 0)) return false;
  for (double angle : {cell.Alpha, cell.Beta, cell.Gamma})
    if (!std::isfinite(angle) || !(angle > 0) || !(angle < 180)) return false;
  return MetricTerm(cell) > 1e-6;
}

TMat3 OrthoMatrix(const TCell& cell) {
  const double ca = std::cos(cell.Alpha * kRadPerDeg);
  const double cb = std::cos(cell.Beta * kRadPerDeg);
  const double cg = std::cos(cell.Gamma * kRadPerDeg);
  const double sg = std::sin(cell.Gamma * kRadPerDeg);
  // Rounding can push the metric term of a flat cell slightly below zero,
  // which must not give a NaN.
  double g = MetricTerm(cell);
  if (g < 0) g = 0;
  TMat3 m{};
  m[0] = {cell.A, cell.B * cg, cell.C * cb};
  m[1] = {0, cell.B * sg, cell.C * (ca - cb * cg) / sg};
  m[2] = {0, 0, cell.C * std::sqrt(g) / sg};
  return m;
}

TMat3 MetricTensor(const TCell& cell) {
  const TMat3 m = OrthoMatrix(cell);
  TMat3 g{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) g[i][j] = m[0][i] * m[0][j] + m[1][i] * m[1][j] + m[2][i] * m[2][j];
  return g;
}

double PlaneSpacing(const TCell& cell, int axis) {
  double g = MetricTerm(cell);
  if (g < 1e-12) g = 1e-12;
  const double volume = std::sqrt(g) * (cell.A * cell.B * cell.C);
  switch (axis) {
    case 0: return volume / (std::sin(cell.Alpha * kRadPerDeg) * (cell.B * cell.C));
    case 1: return volume / (std::sin(cell.Beta * kRadPerDeg) * (cell.A * cell.C));
    default: return volume / (std::sin(cell.Gamma * kRadPerDeg) * (cell.A * cell.B));
  }
}

}  // namespace koravel
