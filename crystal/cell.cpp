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

std::array<double, 6> CellParameters(const TCell& c) {
  return {c.A, c.B, c.C, c.Alpha, c.Beta, c.Gamma};
}

std::array<double, 6> CellParameterSu(const TCell& c) {
  return {c.SuA, c.SuB, c.SuC, c.SuAlpha, c.SuBeta, c.SuGamma};
}

TMat3 OrthoMatrix(const TCell& cell) { return OrthoMatrixOf(CellParameters(cell)); }

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


namespace {

// ∂G/∂p_k for the six cell parameters (angles in degrees), from
// G = [[a², ab cosγ, ac cosβ], [ab cosγ, b², bc cosα], [ac cosβ, bc cosα, c²]].
std::array<TMat3, 6> MetricDerivatives(const TCell& cell) {
  const double a = cell.A, b = cell.B, c = cell.C;
  const double ca = std::cos(cell.Alpha * kRadPerDeg), sa = std::sin(cell.Alpha * kRadPerDeg);
  const double cb = std::cos(cell.Beta * kRadPerDeg), sb = std::sin(cell.Beta * kRadPerDeg);
  const double cg = std::cos(cell.Gamma * kRadPerDeg), sg = std::sin(cell.Gamma * kRadPerDeg);
  std::array<TMat3, 6> d{};
  auto set = [&d](int k, int i, int j, double v) { d[k][i][j] = d[k][j][i] = v; };
  set(0, 0, 0, 2 * a), set(0, 0, 1, b * cg), set(0, 0, 2, c * cb);
  set(1, 1, 1, 2 * b), set(1, 0, 1, a * cg), set(1, 1, 2, c * ca);
  set(2, 2, 2, 2 * c), set(2, 0, 2, a * cb), set(2, 1, 2, b * ca);
  set(3, 1, 2, -b * c * sa * kRadPerDeg);
  set(4, 0, 2, -a * c * sb * kRadPerDeg);
  set(5, 0, 1, -a * b * sg * kRadPerDeg);
  return d;
}

}  // namespace

TMatrix CellConstraints(const TCell& cell, const std::vector<TMat3>& rotations) {
  const std::array<TMat3, 6> dG = MetricDerivatives(cell);
  std::vector<std::array<double, 6>> rows;
  for (const TMat3& r : rotations) {
    // (Rᵀ dG R - dG)(i, j) for every parameter k, one row per entry i <= j.
    for (int i = 0; i < 3; ++i)
      for (int j = i; j < 3; ++j) {
        std::array<double, 6> row{};
        bool any = false;
        for (int k = 0; k < 6; ++k) {
          double v = -dG[k][i][j];
          for (int m = 0; m < 3; ++m)
            for (int n = 0; n < 3; ++n) v += r[m][i] * dG[k][m][n] * r[n][j];
          row[k] = v;
          any = any || v != 0;
        }
        if (any) rows.push_back(row);
      }
  }
  TMatrix m(rows.size(), 6);
  for (size_t i = 0; i < rows.size(); ++i)
    for (int k = 0; k < 6; ++k) m(i, static_cast<size_t>(k)) = rows[i][k];
  return m;
}

}  // namespace koravel
