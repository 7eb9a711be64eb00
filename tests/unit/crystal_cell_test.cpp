#include "geom/cell.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geom/vec3.h"

namespace koravel {
namespace {

TCell MakeCell(double a, double b, double c, double alpha, double beta, double gamma) {
  TCell cell;
  cell.A = a;
  cell.B = b;
  cell.C = c;
  cell.Alpha = alpha;
  cell.Beta = beta;
  cell.Gamma = gamma;
  return cell;
}

void ExpectRow(const TVec3& row, double x, double y, double z, double tol) {
  EXPECT_NEAR(row[0], x, tol);
  EXPECT_NEAR(row[1], y, tol);
  EXPECT_NEAR(row[2], z, tol);
}

TEST(OrthoMatrix, MonoclinicWorkedExample) {
  const TMat3 m = OrthoMatrix(MakeCell(10, 12, 15, 90, 100, 90));
  ExpectRow(m[0], 10, 0, -2.604723, 1e-6);
  ExpectRow(m[1], 0, 12, 0, 1e-6);
  ExpectRow(m[2], 0, 0, 14.772116, 1e-6);
  ExpectRow(MatVec(m, {0.5, 0.25, 0.1}), 4.739528, 3.0, 1.477212, 1e-6);
  // c·cos β sits in row 0; row 1, column 2 is zero up to the residue of cos 90°.
  EXPECT_LT(std::fabs(m[1][2]), 1e-14);
}

TEST(OrthoMatrix, RectangularCellIsDiagonal) {
  const TMat3 m = OrthoMatrix(MakeCell(7, 8, 9, 90, 90, 90));
  ExpectRow(m[0], 7, 0, 0, 1e-14);
  ExpectRow(m[1], 0, 8, 0, 1e-14);
  ExpectRow(m[2], 0, 0, 9, 1e-14);
}

TEST(OrthoMatrix, TriclinicCellKeepsEdgeLengthsAndAngles) {
  const TCell cell = MakeCell(9.5, 11.2, 13.1, 85, 102, 95);
  const TMat3 m = OrthoMatrix(cell);
  const TVec3 a = MatVec(m, {1, 0, 0}), b = MatVec(m, {0, 1, 0}), c = MatVec(m, {0, 0, 1});
  auto dot = [](const TVec3& u, const TVec3& v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
  auto deg = [&](const TVec3& u, const TVec3& v) {
    return std::acos(dot(u, v) / std::sqrt(dot(u, u) * dot(v, v))) * 57.29577951308232;
  };
  EXPECT_NEAR(std::sqrt(dot(a, a)), 9.5, 1e-12);
  EXPECT_NEAR(std::sqrt(dot(b, b)), 11.2, 1e-12);
  EXPECT_NEAR(std::sqrt(dot(c, c)), 13.1, 1e-12);
  EXPECT_NEAR(deg(b, c), 85, 1e-10);
  EXPECT_NEAR(deg(a, c), 102, 1e-10);
  EXPECT_NEAR(deg(a, b), 95, 1e-10);
}

TEST(OrthoMatrix, FlatCellGivesZeroLastRowNotNaN) {
  // alpha + beta = gamma: the metric term comes out as -5.6e-17 in rounding.
  const TMat3 m = OrthoMatrix(MakeCell(5, 6, 7, 30, 50, 80));
  EXPECT_EQ(m[2][2], 0.0);
  EXPECT_FALSE(std::isnan(m[2][2]));
}

TEST(OrthoMatrix, XyzCellReturnsCartesianCoordinates) {
  // Cartesian input is stored as coordinates / 10000 in a 10000 Å cube.
  const TMat3 m = OrthoMatrix(MakeCell(10000, 10000, 10000, 90, 90, 90));
  ExpectRow(MatVec(m, {1.2345 / 10000, -2.5 / 10000, 0.75 / 10000}), 1.2345, -2.5, 0.75, 1e-12);
}

}  // namespace
}  // namespace koravel
