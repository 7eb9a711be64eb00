#include "su/propagation.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "geometry/sphere.h"
#include "su/random.h"
#include "test_support.h"

namespace koravel {
namespace {

// The reference numbers below come from tests/reference/su_reference.py: the
// same geometry written out again, exact derivatives at 60 digits, and the
// variance terms in closed form; a Monte Carlo there confirms the planar ones.

const TQuantity kDistance = MakeQuantity(koravel::testing::TDistanceOfPoints());
const TQuantity kAngle = MakeQuantity(koravel::testing::TAngleOfPoints());  // p1-p0-p2
const TQuantity kSum = MakeQuantity(TAngleSumOfPoints());

TSiteRef Site(int atom, int op = 0) { return {atom, op, {}}; }
TPoint Point(int atom, int op = 0) { return {Site(atom, op)}; }

TCell Cubic(double a) { return testing::MakeCell(a, a, a); }

// A structure of the atoms added, with the operators given (the identity
// first); their rotations decide which coordinates and cell parameters are free.
struct TModel {
  TStructure S;
  TModel(const TCell& cell, const std::vector<std::string>& ops = {"x,y,z"})
      : S(testing::MakeStructure(cell, ops, {})) {}
  void Add(const TVec3& frac, const TVec3& su) {
    S.Atoms.push_back(testing::MakeAtom(std::string("A") += std::to_string(S.Atoms.size()), "C", frac, 1, su));
  }
  TPropagated Run(const std::vector<TPoint>& points, const TQuantity& q, bool secondOrder,
                  const TCovSource* cov = nullptr) const {
    return Propagate(S, FreeParameters(S, cov), points, q, secondOrder);
  }
};

// A refinement's covariance matrix: Index[atom][axis] is the parameter or -1.
class TTestCov : public TCovSource {
 public:
  std::vector<std::array<int, 3>> Index;
  std::vector<std::vector<double>> Matrix;
  int ParamIndex(int atom, int axis) const override {
    if (atom < 0 || static_cast<size_t>(atom) >= Index.size()) return -1;
    return Index[atom][axis];
  }
  double Covariance(int i, int j) const override { return Matrix.at(i).at(j); }
};

void ExpectRelative(double actual, double expected, double rel, const char* what) {
  EXPECT_NEAR(actual, expected, std::fabs(expected) * rel) << what;
}

// The deviates made in batches are, bit for bit, those made one by one, so
// that a Monte Carlo prints the same digits whichever way they were made.
TEST(NormalDeviates, BatchesEqualOneByOne) {
  for (std::size_t n : {1u, 2u, 7u, 511u, 513u, 4096u}) {
    TNormalDeviates single(5), batched(5);
    std::vector<double> one(n + 3), many(n + 3);
    for (double& x : one) x = single.Next();
    batched.Fill(many.data(), n);
    for (std::size_t k = n; k < n + 3; ++k) many[k] = batched.Next();  // the generator goes on alike
    EXPECT_EQ(one, many) << n;
  }
}

TEST(PointFunctions, AngleAtIsAccurateEverywhere) {
  const double tinyDeg = 1e-9 * 180 / std::numbers::pi;
  const struct {
    TVec3 a, v, b;
    double angle, tol;
  } cases[] = {
      {{2, 1, 1}, {1, 1, 1}, {1, 3, 1}, 90, 1e-13},
      {{1, 0, 0}, {0, 0, 0}, {-1, 0, 0}, 180, 0},          // exactly opposite
      {{1, 0, 0}, {0, 0, 0}, {-3, 1e-9, 0}, 180 - tinyDeg / 3, 1e-13},
      {{1, 0, 0}, {0, 0, 0}, {1, 1e-9, 0}, tinyDeg, 1e-20},  // the arc cosine gives 0
      {{1, 1, 1}, {1, 1, 1}, {0, 1, 0}, 0, 0},             // coincident points
      {{0, 1, 0}, {1, 1, 1}, {1, 1, 1}, 0, 0},
      {{1, 0, 0}, {0, 0, 0}, {1, std::sqrt(3.0), 0}, 60, 1e-12},
  };
  for (const auto& c : cases) EXPECT_NEAR(AngleAt(c.a, c.v, c.b), c.angle, c.tol) << c.angle;
  const std::vector<TVec3> p = {{0, 0, 0}, {1, 0, 0}, {0, 2, 0}, {-1, 0, 0}};
  EXPECT_DOUBLE_EQ(TAngleSumOfPoints()(p), 360);
  EXPECT_EQ(TAngleSumOfPoints()(std::vector<TVec3>{p[0], p[1]}), 0);  // one ligand
}

// Planar ML3 (M-L 1.45 Å, 120° apart) in a 10 Å cube, every coordinate su

// The closed-form gradient and Hessian of an angle against the same angle
// differentiated operation by operation, for a right, an obtuse, a nearly
// straight and a skewed angle.
TEST(PointFunctions, AngleDerivativesInClosedFormAgreeWithAutomaticOnes) {
  const std::array<TVec3, 3> cases[] = {{{{2, 1, 1}, {1, 1, 1}, {1, 3, 1}}},
                                        {{{1.3, -0.2, 0.4}, {0.1, 0.2, -0.3}, {-1.7, 0.9, 0.5}}},
                                        {{{1, 0, 0}, {0, 0, 0}, {-2, 1e-4, 3e-5}}},
                                        {{{0.2, 1.1, -0.7}, {-0.5, 0.3, 0.8}, {0.4, -0.6, 1.9}}}};
  for (const auto& c : cases) {
    std::array<TVec3Of<TDual>, 3> x;
    for (size_t p = 0; p < 3; ++p)
      for (size_t k = 0; k < 3; ++k) x[p][k] = TDual::Variable(c[p][k], 3 * p + k, 9);
    const TDual closed = AngleAt(x[0], x[1], x[2]);
    const TDual automatic = AngleBetween(Diff(x[0], x[1]), Diff(x[2], x[1]));
    ASSERT_EQ(closed.G.size(), 9u);
    ASSERT_EQ(closed.H.size(), 81u);
    for (size_t i = 0; i < 9; ++i) EXPECT_NEAR(closed.G[i], automatic.G[i], 1e-9 * std::fabs(automatic.G[i]) + 1e-12);
    for (size_t i = 0; i < 81; ++i) EXPECT_NEAR(closed.H[i], automatic.H[i], 1e-9 * std::fabs(automatic.H[i]) + 1e-9);
  }
}
// The one-pass sum of squares gives every bit that the vector-by-vector sum
// gives, for vectors centred on their mean as a shape measure takes them
// and for vectors that each depend on one point only.
TEST(PointFunctions, SumOfSquaresInOnePassEqualsTheSumBitForBit) {
  const std::vector<TVec3> points{{0.1, 0.2, -0.3}, {2.1, -0.4, 0.35}, {-1.3, 1.7, 0.2}, {0.4, -2.2, 1.9}};
  for (const bool centred : {true, false}) {
    std::vector<TVec3Of<TDual>> x(points.size());
    for (size_t p = 0; p < points.size(); ++p)
      for (size_t k = 0; k < 3; ++k) x[p][k] = TDual::Variable(points[p][k], 3 * p + k, 3 * points.size());
    TVec3Of<TDual> mean{TDual(0), TDual(0), TDual(0)};
    for (const TVec3Of<TDual>& v : x)
      for (size_t k = 0; k < 3; ++k) mean[k] += v[k] / TDual(static_cast<double>(x.size()));
    std::vector<TVec3Of<TDual>> q;
    for (const TVec3Of<TDual>& v : x) q.push_back(centred ? Diff(v, mean) : v);
    const TDual onePass = SumOfSquares(q);
    const TDual bySum = SumOfSquares<TDual>(q);
    EXPECT_EQ(onePass.V, bySum.V);
    EXPECT_EQ(onePass.G, bySum.G);
    EXPECT_EQ(onePass.H, bySum.H);
  }
}

// 0.001 (0.01 Å), no cell su; the centre lifted `Height` Å out of the plane.
struct TPlanarCase {
  double Height;
  double Value, SuLinear, SuSecond, Shift, Su;
};

TModel PlanarModel(double height) {
  TModel m(Cubic(10));
  const TVec3 su = {0.001, 0.001, 0.001};
  m.Add({0.5, 0.5, 0.5 + height / 10}, su);
  for (int k = 0; k < 3; ++k) {
    const double phi = 2 * std::numbers::pi * k / 3;
    m.Add({0.5 + 1.45 * std::cos(phi) / 10, 0.5 + 1.45 * std::sin(phi) / 10, 0.5}, su);
  }
  return m;
}

TEST(Propagate, PlanarCentreAgainstClosedForm) {
  // Rounded: 360, su 0.0267, shift -0.0189; 359.943 (0.0654 first order,
  // 0.0706 total); 358.594 (0.3236 total).
  const TPlanarCase cases[] = {
      {0.0, 360, 0, 0.0267006752384422, -0.0188802285233622, 0.0267006752384422},
      {0.02, 359.943375472093, 0.0653672771507957, 0.0266651619917106, -0.0188676638418588,
       0.0705968256096059},
      {0.10, 358.593990233921, 0.322606263891711, 0.0258394514742464, -0.018570349844802,
       0.323639427070711},
  };
  for (const TPlanarCase& c : cases) {
    SCOPED_TRACE(c.Height);
    const TPropagated r = PlanarModel(c.Height).Run({Point(0), Point(1), Point(2), Point(3)}, kSum, true);
    EXPECT_NEAR(r.Value, c.Value, 1e-11);
    if (c.SuLinear == 0) {
      EXPECT_LT(r.SuLinear, 1e-9);
      // The sum is 360 - q·h² in the height h of the centre, and h is normally
      // distributed: sqrt(V2) = sqrt(2)·|Shift| with Shift < 0.
      ExpectRelative(r.SuSecondOrder, std::sqrt(2.0) * std::fabs(r.Shift), 1e-9, "ratio");
    } else {
      ExpectRelative(r.SuLinear, c.SuLinear, 1e-9, "first order");
    }
    ExpectRelative(r.SuSecondOrder, c.SuSecond, 1e-9, "second order");
    ExpectRelative(r.Shift, c.Shift, 1e-9, "shift");
    ExpectRelative(r.Su, c.Su, 1e-9, "total");
    EXPECT_EQ(r.FixedCount, 0);
    EXPECT_TRUE(r.ParametersEntered);
  }
}

// A triclinic cell with su, a ligand together with its image through a
// second inversion centre, a centroid of three atoms, and the inversion image
// of another ligand. Only inversions: the cell's six parameters stay free.
TModel GeneralModel() {
  TCell cell = testing::MakeCell(9.5, 11.2, 13.1, 85, 102, 95);
  cell.SuA = 0.001;
  cell.SuB = 0.002;
  cell.SuC = 0.003;
  cell.SuAlpha = 0.02;
  cell.SuBeta = 0.03;
  cell.SuGamma = 0.01;
  TModel m(cell, {"x,y,z", "-x+1,-y+1,-z+1", "-x+1/2,-y+1,-z+1"});
  m.Add({0.41, 0.46, 0.52}, {0.00011, 0.00009, 0.00008});  // 0 M
  m.Add({0.58, 0.47, 0.55}, {0.0003, 0.0002, 0.00025});    // 1
  m.Add({0.40, 0.62, 0.50}, {0.0002, 0.0003, 0.0002});     // 2
  m.Add({0.29, 0.40, 0.63}, {0.00025, 0.00022, 0.0003});   // 3
  m.Add({0.36, 0.38, 0.38}, {0.0004, 0.0005, 0.0003});     // 4..6 ring
  m.Add({0.30, 0.42, 0.37}, {0.0005, 0.0004, 0.0004});
  m.Add({0.33, 0.50, 0.36}, {0.0003, 0.0004, 0.0005});
  return m;
}
enum { kInversion = 1, kSecondInversion = 2 };

std::vector<TPoint> GeneralPoints() {
  return {Point(0), Point(1), Point(2), Point(3), Point(3, kSecondInversion),
          {Site(4), Site(5), Site(6)}, Point(1, kInversion)};
}

// Parameters 3·atom + axis for every atom but the riding atom 2, with the
// covariances s_k·s_l·0.4^|k-l| over that list, s_k = 1e-4·(1 + k/10).
TTestCov GeneralCovariance() {
  TTestCov cov;
  int k = 0;
  for (int atom = 0; atom < 7; ++atom) {
    std::array<int, 3> index = {-1, -1, -1};
    if (atom != 2)
      for (int axis = 0; axis < 3; ++axis) index[axis] = k++;
    cov.Index.push_back(index);
  }
  cov.Matrix.assign(k, std::vector<double>(k));
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < k; ++j)
      cov.Matrix[i][j] = 1e-4 * (1 + i / 10.0) * 1e-4 * (1 + j / 10.0) * std::pow(0.4, std::abs(i - j));
  return cov;
}

TEST(Propagate, GeneralStructureAgainstExactDerivatives) {
  const TModel m = GeneralModel();
  const TTestCov cov = GeneralCovariance();
  const struct {
    const char* what;
    const TCovSource* cov;
    double SuLinear, SuSecond, Shift, Su;
    int Fixed;
  } cases[] = {
      {"su per coordinate", nullptr, 0.543067260092474, 0.00109837620279075,
       -0.000176129875307986, 0.543068370847197, 0},
      {"covariance matrix, atom 2 riding", &cov, 0.355070719157801, 0.00104206262647376,
       -0.000707660212579621, 0.355072248278791, 3},
  };
  for (const auto& c : cases) {
    const TPropagated r = m.Run(GeneralPoints(), kSum, true, c.cov);
    EXPECT_NEAR(r.Value, 1361.79023170762, 1e-10) << c.what;
    ExpectRelative(r.SuLinear, c.SuLinear, 1e-9, c.what);
    ExpectRelative(r.SuSecondOrder, c.SuSecond, 1e-7, c.what);
    ExpectRelative(r.Shift, c.Shift, 1e-7, c.what);
    ExpectRelative(r.Su, c.Su, 1e-9, c.what);
    EXPECT_EQ(r.FixedCount, c.Fixed) << c.what;
  }
  // Both ends of the distance are atom 1: its three parameters move both, so
  // the su is not that of two independent atoms.
  const TPropagated d = m.Run({Point(1), Point(1, kInversion)}, kDistance, false);
  EXPECT_NEAR(d.Value, 1.91694948272521, 1e-12);
  ExpectRelative(d.Su, 0.00531560393974909, 1e-9, "distance");
  EXPECT_EQ(d.SuSecondOrder, 0);
  const TPropagated a = m.Run({Point(0), Point(2), Point(3)}, kAngle, false);
  EXPECT_NEAR(a.Value, 107.274451606887, 1e-11);
  ExpectRelative(a.Su, 0.124068995392725, 1e-9, "angle");
}

TEST(Propagate, CentroidMovesByOneKthOfAMember) {
  // Centroids of k sites on a ring around (0.7, 0.5, 0.5), 4 Å from an atom
  // without su along x; only member 0 has an su, along x: 0.01 Å.
  for (int k : {1, 2, 5, 6}) {
    TModel m(Cubic(10));
    m.Add({0.3, 0.5, 0.5}, {0, 0, 0});
    TPoint centroid;
    for (int j = 0; j < k; ++j) {
      const double phi = 2 * std::numbers::pi * j / k, r = k == 1 ? 0 : 0.1;
      m.Add({0.7, 0.5 + r * std::cos(phi), 0.5 + r * std::sin(phi)}, {j == 0 ? 0.001 : 0, 0, 0});
      centroid.push_back(Site(j + 1));
    }
    const TPropagated d = m.Run({Point(0), centroid}, kDistance, false);
    EXPECT_NEAR(d.Value, 4, 1e-12) << k;
    EXPECT_NEAR(d.Su, 0.01 / k, 1e-11) << k;
  }
}

TEST(Propagate, CovarianceMatrixCorrelations) {
  // Two atoms 2 Å apart along x, only their x refined, su 0.001 (0.01 Å) each
  // with correlation rho: su = 0.01·sqrt(2 - 2·rho).
  TModel m(Cubic(10));
  m.Add({0.4, 0.5, 0.5}, {0, 0, 0});
  m.Add({0.6, 0.5, 0.5}, {0, 0, 0});
  for (double rho : {1.0, 0.5, 0.0, -1.0}) {
    TTestCov cov;
    cov.Index = {{0, -1, -1}, {1, -1, -1}};
    cov.Matrix = {{1e-6, rho * 1e-6}, {rho * 1e-6, 1e-6}};
    const TPropagated r = m.Run({Point(0), Point(1)}, kDistance, false, &cov);
    EXPECT_NEAR(r.Su, 0.01 * std::sqrt(2 - 2 * rho), 1e-12) << rho;
    EXPECT_EQ(r.FixedCount, 4) << rho;
    EXPECT_TRUE(r.ParametersEntered) << rho;
  }
}

TEST(Propagate, RidingAtomCountsOnceAndAddsNothing) {
  // Atom 1 and its image through an inversion centre off atom 0 flank atom 0.
  TModel m(Cubic(10), {"x,y,z", "-x+1,-y+1,-z+11/12"});
  m.Add({0.5, 0.5, 0.5}, {0, 0, 0});
  m.Add({0.6, 0.52, 0.47}, {0, 0, 0});
  TTestCov riding;
  riding.Index = {{0, 1, 2}, {-1, -1, -1}};
  riding.Matrix = {{4e-8, 1e-8, 0, 0}, {1e-8, 5e-8, 0, 0}, {0, 0, 6e-8, 0}, {0, 0, 0, 0}};
  TTestCov unrefined = riding;  // atom 1 present with zero variances
  unrefined.Index[1] = {3, 3, 3};
  const std::vector<TPoint> points = {Point(0), Point(1), Point(1, 1)};
  const TPropagated r = m.Run(points, kAngle, false, &riding);
  const TPropagated u = m.Run(points, kAngle, false, &unrefined);
  EXPECT_EQ(r.FixedCount, 3);  // three coordinates, not six for two images
  EXPECT_EQ(u.FixedCount, 0);
  EXPECT_GT(r.Su, 0.01);
  EXPECT_EQ(r.Su, u.Su);
}

// Atoms (0,0,0) and (0.1,0,0.1) in a 10 Å cube: d² = a²x² + c²z² +
// 2ac·xz·cos beta depends on a, c and beta only, to first order; a rotation
// of the space group ties cell parameters by lattice symmetry.
TEST(Propagate, CellParameters) {
  const double d = std::sqrt(2.0), rad = std::numbers::pi / 180;
  const struct {
    const char* what;
    std::vector<std::string> ops;
    TVec3 lengthSu, angleSu;
    double su;
    bool entered;
    int tied;
  } cases[] = {
      {"no su", {"x,y,z"}, {0, 0, 0}, {0, 0, 0}, 0, false, 0},
      {"beta alone", {"x,y,z"}, {0, 0, 0}, {0, 0.1, 0}, 100 * 0.01 / d * rad * 0.1, true, 0},
      {"a alone", {"x,y,z"}, {0.01, 0, 0}, {0, 0, 0}, 10 * 0.01 / d * 0.01, true, 0},
      {"all six", {"x,y,z"}, {0.01, 0.03, 0.02}, {0.05, 0.1, 0.04},
       std::hypot(10 * 0.01 / d * 0.01, 10 * 0.01 / d * 0.02, 100 * 0.01 / d * rad * 0.1), true, 0},
      // A three-fold axis along the body diagonal and a two-fold axis along c:
      // one length for a, b and c, and the angles held at 90.
      {"cubic lattice", {"x,y,z", "z,x,y", "y,z,x", "-x,-y,z"}, {0.01, 0.03, 0.02},
       {0.05, 0.1, 0.04}, d / 10 * 0.01, true, 2},
  };
  for (const auto& c : cases) {
    TCell cell = Cubic(10);
    cell.SuA = c.lengthSu[0];
    cell.SuB = c.lengthSu[1];
    cell.SuC = c.lengthSu[2];
    cell.SuAlpha = c.angleSu[0];
    cell.SuBeta = c.angleSu[1];
    cell.SuGamma = c.angleSu[2];
    TModel m(cell, c.ops);
    m.Add({0, 0, 0}, {0, 0, 0});
    m.Add({0.1, 0, 0.1}, {0, 0, 0});
    const TPropagated r = m.Run({Point(0), Point(1)}, kDistance, true);
    EXPECT_NEAR(r.Su, c.su, 1e-12) << c.what;
    EXPECT_EQ(r.SuLinear, r.Su) << c.what;  // the cell enters to first order only
    EXPECT_EQ(r.Shift, 0) << c.what;
    EXPECT_EQ(r.ParametersEntered, c.entered) << c.what;
    EXPECT_EQ(r.CellTiedCount, c.tied) << c.what;
  }
}

// An atom on a special position moves only as its site symmetry lets it: on a
// two-fold axis along b only along b, on a three-fold axis along the body
// diagonal with x = y = z, one parameter for all three coordinates.
TEST(Propagate, SiteSymmetryFixesAndTiesCoordinates) {
  const struct {
    const char* what;
    std::vector<std::string> ops;
    TVec3 special, other;
    double su;
    int fixed, tied;
  } cases[] = {
      {"general", {"x,y,z"}, {0.1, 0.1, 0.1}, {0.3, 0.3, 0.1}, 0.01, 0, 0},
      {"two-fold axis", {"x,y,z", "-x,y,-z"}, {0, 0.1, 0}, {0.2, 0.3, 0}, 10 * 0.001 / std::sqrt(2.0),
       2, 0},
      {"three-fold axis", {"x,y,z", "z,x,y", "y,z,x"}, {0.1, 0.1, 0.1}, {0.3, 0.3, 0.1},
       10 * 0.001 * std::sqrt(2.0), 0, 2},
  };
  for (const auto& c : cases) {
    TModel m(Cubic(10), c.ops);
    m.Add(c.special, {0.001, 0.001, 0.001});
    m.Add(c.other, {0, 0, 0});
    const TPropagated r = m.Run({Point(0), Point(1)}, kDistance, false);
    EXPECT_NEAR(r.Su, c.su, 1e-12) << c.what;
    EXPECT_EQ(r.FixedCount, c.fixed) << c.what;
    EXPECT_EQ(r.TiedCount, c.tied) << c.what;
  }
}

TEST(Propagate, NoSuAnywhereGivesZeroAndSaysSo) {
  TModel m = PlanarModel(0.1);
  for (TAtom& a : m.S.Atoms) a.FracSu = {0, 0, 0};
  const TPropagated r = m.Run({Point(0), Point(1), Point(2), Point(3)}, kSum, true);
  EXPECT_NEAR(r.Value, 358.593990233921, 1e-11);
  EXPECT_EQ(r.Su, 0);
  EXPECT_EQ(r.SuLinear, 0);
  EXPECT_EQ(r.SuSecondOrder, 0);
  EXPECT_EQ(r.Shift, 0);
  EXPECT_EQ(r.FixedCount, 0);
  EXPECT_FALSE(r.ParametersEntered);
}

// The centre on an inversion centre cannot move; ligands with su, a
// triclinic cell with su: every trans angle is exactly 180 and the sum of an
// octahedron exactly 1620 whatever the parameters, so the su is 0.
TEST(Propagate, ValuesFixedBySymmetryHaveZeroSu) {
  TModel m = GeneralModel();
  m.S.Atoms[0].Frac = {0.5, 0.5, 0.5};
  const TPropagated trans = m.Run({Point(0), Point(1), Point(1, kInversion)}, kAngle, false);
  EXPECT_NEAR(trans.Value, 180, 1e-12);
  EXPECT_EQ(trans.Su, 0);
  EXPECT_EQ(trans.FixedCount, 3);
  const TPropagated r = m.Run({Point(0), Point(1), Point(2), Point(3), Point(1, kInversion),
                               Point(2, kInversion), Point(3, kInversion)},
                              kSum, true);
  EXPECT_NEAR(r.Value, 1620, 1e-10);
  EXPECT_EQ(r.Su, 0);
  EXPECT_EQ(r.SuLinear, 0);
  EXPECT_EQ(r.SuSecondOrder, 0);
  EXPECT_EQ(r.Shift, 0);
  EXPECT_TRUE(r.ParametersEntered);
}

TEST(Propagate, TwelveCentroidsOfSixAtoms) {
  // 216 parameters with the second-order term.
  TModel m(Cubic(20));
  m.Add({0.5, 0.5, 0.5}, {0, 0, 0});
  const double phi = (1 + std::sqrt(5.0)) / 2;
  const TVec3 vertices[12] = {{0, 1, phi},  {0, -1, phi},  {0, 1, -phi},  {0, -1, -phi},
                              {1, phi, 0},  {-1, phi, 0},  {1, -phi, 0},  {-1, -phi, 0},
                              {phi, 0, 1},  {phi, 0, -1},  {-phi, 0, 1},  {-phi, 0, -1}};
  std::vector<TPoint> points = {Point(0)};
  for (const TVec3& v : vertices) {
    TPoint ring;
    for (int j = 0; j < 6; ++j) {
      const double t = j * std::numbers::pi / 3;
      const TVec3 offset = {0.06 * std::cos(t), 0.06 * std::sin(t), 0.01 * (j % 2)};
      TVec3 f;
      for (int i = 0; i < 3; ++i) f[i] = 0.5 + 0.1 * v[i] / 1.902113 + offset[i];
      ring.push_back(Site(static_cast<int>(m.S.Atoms.size())));
      m.Add(f, {0.0005, 0.0004, 0.0006});
    }
    points.push_back(ring);
  }
  const auto start = std::chrono::steady_clock::now();
  const TPropagated r = m.Run(points, kSum, true);
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("[   TIME   ] 12 centroids of 6 atoms, 216 parameters: %.3f s\n", seconds.count());
  EXPECT_TRUE(std::isfinite(r.Su));
  EXPECT_GT(r.Su, 0);
  EXPECT_GT(r.SuSecondOrder, 0);
  EXPECT_LT(seconds.count(), 10.0);
}

}  // namespace
}  // namespace koravel
