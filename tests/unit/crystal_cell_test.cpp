#include "crystal/cell.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "test_support.h"

namespace koravel {
namespace {

using testing::MakeCell;

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

TEST(OrthoMatrix, TriclinicCellKeepsEdgeLengthsAndAngles) {
  const TCell cell = MakeCell(9.5, 11.2, 13.1, 85, 102, 95);
  const TMat3 m = OrthoMatrix(cell);
  const TVec3 a = MatVec(m, {1, 0, 0}), b = MatVec(m, {0, 1, 0}), c = MatVec(m, {0, 0, 1});
  auto deg = [](const TVec3& u, const TVec3& v) {
    return std::acos(Dot(u, v) / (Norm(u) * Norm(v))) * kDegPerRad;
  };
  EXPECT_NEAR(Norm(a), 9.5, 1e-12);
  EXPECT_NEAR(Norm(b), 11.2, 1e-12);
  EXPECT_NEAR(Norm(c), 13.1, 1e-12);
  EXPECT_NEAR(deg(b, c), 85, 1e-10);
  EXPECT_NEAR(deg(a, c), 102, 1e-10);
  EXPECT_NEAR(deg(a, b), 95, 1e-10);
  const TMat3 g = MetricTensor(cell);
  EXPECT_NEAR(g[0][1], Dot(a, b), 1e-12);
  EXPECT_NEAR(g[2][2], 13.1 * 13.1, 1e-10);
}

TEST(OrthoMatrix, FlatCellGivesZeroLastRowNotNaN) {
  // alpha + beta = gamma: the metric term comes out as -5.6e-17 in rounding.
  const TMat3 m = OrthoMatrix(MakeCell(5, 6, 7, 30, 50, 80));
  EXPECT_EQ(m[2][2], 0.0);
}

TEST(PlaneSpacing, OrthogonalAndMonoclinicCells) {
  const TCell ortho = MakeCell(10, 12, 15);
  EXPECT_NEAR(PlaneSpacing(ortho, 0), 10, 1e-9);
  EXPECT_NEAR(PlaneSpacing(ortho, 2), 15, 1e-9);
  // d(100) = a sin(beta) in a monoclinic cell, and d(001) = c sin(beta).
  const TCell mono = MakeCell(10, 12, 15, 90, 100, 90);
  EXPECT_NEAR(PlaneSpacing(mono, 0), 10 * std::sin(100 * kRadPerDeg), 1e-9);
  EXPECT_NEAR(PlaneSpacing(mono, 1), 12, 1e-9);
  EXPECT_NEAR(PlaneSpacing(mono, 2), 15 * std::sin(100 * kRadPerDeg), 1e-9);
}

TEST(IsUsable, LengthsAndAnglesThatCloseACell) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case { TCell cell; bool usable; };
  const Case cases[] = {
      {MakeCell(10, 11, 12), true},
      {MakeCell(10, 10, 10, 119, 119, 119), true},
      {MakeCell(0, 10, 10), false},
      {MakeCell(10, -3, 10), false},
      {MakeCell(10, 10, inf), false},
      {MakeCell(nan, 10, 10), false},
      {MakeCell(10, 10, 10, 0, 90, 90), false},
      {MakeCell(10, 10, 10, 180, 90, 90), false},
      {MakeCell(10, 10, 10, 90, -90, 90), false},
      {MakeCell(10, 10, 10, 90, 90, 200), false},
      {MakeCell(10, 10, 10, 90, 90, nan), false},
      {MakeCell(10, 10, 10, 120, 120, 120), false},  // metric term 0
      {MakeCell(10, 10, 10, 100, 30, 30), false},    // metric term < 0
      {MakeCell(10, 10, 10, 10, 10, 170), false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsUsable(c.cell), c.usable)
        << c.cell.A << " " << c.cell.B << " " << c.cell.C << " " << c.cell.Alpha << " "
        << c.cell.Beta << " " << c.cell.Gamma;
}

}  // namespace
}  // namespace koravel
