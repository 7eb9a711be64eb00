#include "sum/points.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

namespace koravel {
namespace {

// The reference numbers below come from tests/reference/su_reference.py: the
// same geometry written out again, exact derivatives at 60 digits, and the
// variance terms in closed form; a Monte Carlo there confirms the planar ones.

TSymOp Op(const char* text) {
  TSymOp op;
  EXPECT_TRUE(ParseSymOp(text, op)) << text;
  return op;
}

TSiteRef Site(int atom, const TSymOp& op = IdentitySymOp()) { return {atom, op}; }
TPointDef Point(int atom, const TSymOp& op = IdentitySymOp()) { return PointOfSite(Site(atom, op)); }

TCell Cubic(double a) {
  TCell cell;
  cell.A = cell.B = cell.C = a;
  return cell;
}

// Everything the engine reads from the working structure.
struct TModel {
  TCell Cell;
  std::vector<TVec3> Frac;
  std::vector<TVec3> Su;
  void Add(const TVec3& frac, const TVec3& su) {
    Frac.push_back(frac);
    Su.push_back(su);
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

TEST(PointFunctions, WorkedExample) {
  const std::vector<TVec3> p = {{0, 0, 0}, {1, 0, 0}, {0, 2, 0}, {-1, 0, 0}};
  EXPECT_DOUBLE_EQ(PointAngleSum(p), 360);
  EXPECT_DOUBLE_EQ(PointAngle({p[0], p[1], p[2]}), 90);
  EXPECT_DOUBLE_EQ(PointDistance({p[1], p[2]}), std::sqrt(5.0));
  EXPECT_EQ(PointAngleSum({p[0], p[1]}), 0);  // one ligand
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
}

// Planar ML3 (M-L 1.45 Å, 120° apart) in a 10 Å cube, every coordinate su
// 0.001 (0.01 Å), no cell su; the centre lifted `Height` Å out of the plane.
struct TPlanarCase {
  double Height;
  double Value, SuLinear, SuSecond, Shift, Su;
};

TModel PlanarModel(double height) {
  TModel m;
  m.Cell = Cubic(10);
  const TVec3 su = {0.001, 0.001, 0.001};
  m.Add({0.5, 0.5, 0.5 + height / 10}, su);
  for (int k = 0; k < 3; ++k) {
    const double phi = 2 * std::numbers::pi * k / 3;
    m.Add({0.5 + 1.45 * std::cos(phi) / 10, 0.5 + 1.45 * std::sin(phi) / 10, 0.5}, su);
  }
  return m;
}

TEST(AngleSumWithSu, PlanarCentreAgainstClosedForm) {
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
    const TModel m = PlanarModel(c.Height);
    TSumResult r;
    const double sum =
        AngleSumWithSu(m.Frac, m.Su, Point(0), {Point(1), Point(2), Point(3)}, m.Cell, nullptr, r);
    EXPECT_EQ(sum, r.Value);
    EXPECT_NEAR(r.Value, c.Value, 1e-11);
    if (c.SuLinear == 0) {
      EXPECT_LT(r.SuLinear, 1e-9);
    } else {
      ExpectRelative(r.SuLinear, c.SuLinear, 1e-6, "first order");
    }
    ExpectRelative(r.SuSecondOrder, c.SuSecond, 1e-5, "second order");
    ExpectRelative(r.Shift, c.Shift, 1e-5, "shift");
    ExpectRelative(r.Su, c.Su, 1e-5, "total");
    EXPECT_EQ(r.FixedCount, 0);
    EXPECT_EQ(r.SuIndependent, 0);
    EXPECT_TRUE(r.ParametersEntered);
  }
}

TEST(AngleSumWithSu, PlanarCentreIsAMaximum) {
  // The sum is 360 - q·h² in the height h of the centre, and h is normally
  // distributed: sqrt(V2) = sqrt(2)·|Shift| with Shift < 0.
  const TModel m = PlanarModel(0);
  TSumResult r;
  AngleSumWithSu(m.Frac, m.Su, Point(0), {Point(1), Point(2), Point(3)}, m.Cell, nullptr, r);
  EXPECT_LT(r.Shift, 0);
  ExpectRelative(r.SuSecondOrder, std::sqrt(2.0) * std::fabs(r.Shift), 1e-6, "ratio");
  EXPECT_LT(r.SuLinear, 1e-9);
}

// A triclinic cell with su, a ligand together with its screw image, a
// centroid of three atoms, and the inversion image of another ligand.
TModel GeneralModel() {
  TModel m;
  m.Cell.A = 9.5;
  m.Cell.B = 11.2;
  m.Cell.C = 13.1;
  m.Cell.Alpha = 85;
  m.Cell.Beta = 102;
  m.Cell.Gamma = 95;
  m.Cell.SuA = 0.001;
  m.Cell.SuB = 0.002;
  m.Cell.SuC = 0.003;
  m.Cell.SuAlpha = 0.02;
  m.Cell.SuBeta = 0.03;
  m.Cell.SuGamma = 0.01;
  m.Add({0.41, 0.46, 0.52}, {0.00011, 0.00009, 0.00008});  // 0 M
  m.Add({0.58, 0.47, 0.55}, {0.0003, 0.0002, 0.00025});    // 1
  m.Add({0.40, 0.62, 0.50}, {0.0002, 0.0003, 0.0002});     // 2
  m.Add({0.29, 0.40, 0.63}, {0.00025, 0.00022, 0.0003});   // 3
  m.Add({0.36, 0.38, 0.38}, {0.0004, 0.0005, 0.0003});     // 4..6 ring
  m.Add({0.30, 0.42, 0.37}, {0.0005, 0.0004, 0.0004});
  m.Add({0.33, 0.50, 0.36}, {0.0003, 0.0004, 0.0005});
  return m;
}

TPointList GeneralLigands() {
  const TSymOp inversion = Op("-x+1,-y+1,-z+1");
  const TSymOp screw = Op("-x+1/2,y+1/2,-z+1");
  return {Point(1), Point(2), Point(3), Point(3, screw),
          {Site(4), Site(5), Site(6)}, Point(1, inversion)};
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

TEST(AngleSumWithSu, GeneralStructureAgainstExactDerivatives) {
  const TModel m = GeneralModel();
  const TTestCov cov = GeneralCovariance();
  const struct {
    const char* what;
    const TCovSource* cov;
    double SuLinear, SuSecond, Shift, Su;
    int Fixed;
  } cases[] = {
      {"su per coordinate", nullptr, 0.540650673654123, 0.0012064212679712,
       -0.000115870662083272, 0.540652019671556, 0},
      {"covariance matrix, atom 2 riding", &cov, 0.36099920404274, 0.000965303474240704,
       -0.000668840358112129, 0.361000494639951, 3},
  };
  for (const auto& c : cases) {
    TSumResult r;
    AngleSumWithSu(m.Frac, m.Su, Point(0), GeneralLigands(), m.Cell, c.cov, r);
    EXPECT_NEAR(r.Value, 1336.08098999406, 1e-10) << c.what;
    ExpectRelative(r.SuLinear, c.SuLinear, 1e-7, c.what);
    ExpectRelative(r.SuSecondOrder, c.SuSecond, 1e-5, c.what);
    ExpectRelative(r.Shift, c.Shift, 1e-5, c.what);
    ExpectRelative(r.Su, c.Su, 1e-7, c.what);
    EXPECT_EQ(r.FixedCount, c.Fixed) << c.what;
  }
}

TEST(DistanceAndAngleWithSu, AgainstExactDerivatives) {
  const TModel m = GeneralModel();
  double su = -1;
  int fixed = -1;
  // Both ends are atom 1: its three parameters move both, so the su is not
  // that of two independent atoms.
  const double d = DistanceWithSu(m.Frac, m.Su, Point(1), Point(1, Op("-x+1,-y+1,-z+1")),
                                  m.Cell, nullptr, su, fixed);
  EXPECT_NEAR(d, 1.91694948272521, 1e-12);
  ExpectRelative(su, 0.00531560393974909, 1e-7, "distance");
  EXPECT_EQ(fixed, 0);

  const double a = AngleWithSu(m.Frac, m.Su, Point(2), Point(0), Point(3), m.Cell, nullptr, su, fixed);
  EXPECT_NEAR(a, 107.274451606887, 1e-11);
  ExpectRelative(su, 0.124068995392725, 1e-7, "angle");
}

TEST(DistanceWithSu, CentroidMovesByOneKthOfAMember) {
  // Centroids of k sites on a ring around (0.7, 0.5, 0.5), 4 Å from an atom
  // without su along x; only member 0 has an su, along x: 0.01 Å.
  for (int k : {1, 2, 5, 6}) {
    TModel m;
    m.Cell = Cubic(10);
    m.Add({0.3, 0.5, 0.5}, {0, 0, 0});
    TPointDef centroid;
    for (int j = 0; j < k; ++j) {
      const double phi = 2 * std::numbers::pi * j / k, r = k == 1 ? 0 : 0.1;
      m.Add({0.7, 0.5 + r * std::cos(phi), 0.5 + r * std::sin(phi)}, {j == 0 ? 0.001 : 0, 0, 0});
      centroid.push_back(Site(j + 1));
    }
    double su = 0;
    int fixed = 0;
    const double d = DistanceWithSu(m.Frac, m.Su, Point(0), centroid, m.Cell, nullptr, su, fixed);
    EXPECT_NEAR(d, 4, 1e-12) << k;
    EXPECT_NEAR(su, 0.01 / k, 1e-11) << k;
  }
}

TEST(DistanceWithSu, CovarianceMatrixCorrelations) {
  // Two atoms 2 Å apart along x, only their x refined, su 0.001 (0.01 Å) each
  // with correlation rho: su = 0.01·sqrt(2 - 2·rho).
  TModel m;
  m.Cell = Cubic(10);
  m.Add({0.4, 0.5, 0.5}, {0, 0, 0});
  m.Add({0.6, 0.5, 0.5}, {0, 0, 0});
  for (double rho : {1.0, 0.5, 0.0, -1.0}) {
    TTestCov cov;
    cov.Index = {{0, -1, -1}, {1, -1, -1}};
    cov.Matrix = {{1e-6, rho * 1e-6}, {rho * 1e-6, 1e-6}};
    TSumResult r;
    PropagateSu(m.Frac, m.Su, {Point(0), Point(1)}, m.Cell, &cov, PointDistance, false, r);
    EXPECT_NEAR(r.Su, 0.01 * std::sqrt(2 - 2 * rho), 1e-12) << rho;
    EXPECT_EQ(r.FixedCount, 4) << rho;
    EXPECT_TRUE(r.ParametersEntered) << rho;
  }
}

TEST(AngleWithSu, RidingAtomCountsOnceAndAddsNothing) {
  // Atom 1 and its inversion image about an off-centre point flank atom 0.
  TModel m;
  m.Cell = Cubic(10);
  m.Add({0.5, 0.5, 0.5}, {0, 0, 0});
  m.Add({0.6, 0.52, 0.47}, {0, 0, 0});
  const TSymOp image = Op("-x+1,-y+1,-z+0.9");
  TTestCov riding;
  riding.Index = {{0, 1, 2}, {-1, -1, -1}};
  riding.Matrix = {{4e-8, 1e-8, 0, 0}, {1e-8, 5e-8, 0, 0}, {0, 0, 6e-8, 0}, {0, 0, 0, 0}};
  TTestCov unrefined = riding;  // atom 1 present with zero variances
  unrefined.Index[1] = {3, 3, 3};
  double suRiding = 0, suUnrefined = 0;
  int fixedRiding = 0, fixedUnrefined = 0;
  AngleWithSu(m.Frac, m.Su, Point(1), Point(0), Point(1, image), m.Cell, &riding, suRiding, fixedRiding);
  AngleWithSu(m.Frac, m.Su, Point(1), Point(0), Point(1, image), m.Cell, &unrefined, suUnrefined,
              fixedUnrefined);
  EXPECT_EQ(fixedRiding, 3);  // three coordinates, not six for two images
  EXPECT_EQ(fixedUnrefined, 0);
  EXPECT_GT(suRiding, 0.01);
  EXPECT_EQ(suRiding, suUnrefined);
}

TEST(PropagateSu, CellTermsAreIndependentAndFirstOrder) {
  // Atoms at (0,0,0) and (0.1,0,0.1) in a 10 Å cube: d² = a²x² + c²z² +
  // 2ac·xz·cos beta depends on a, c and beta only.
  TModel m;
  m.Add({0, 0, 0}, {0, 0, 0});
  m.Add({0.1, 0, 0.1}, {0, 0, 0});
  const double d = std::sqrt(2.0), rad = std::numbers::pi / 180;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* what;
    TVec3 lengthSu, angleSu;
    int evaluations;
    double su;
    bool entered;
  } cases[] = {
      {"no su", {0, 0, 0}, {0, 0, 0}, 1, 0, false},
      {"beta alone", {0, 0, 0}, {0, 0.1, 0}, 3, 100 * 0.01 / d * rad * 0.1, true},
      {"a alone", {0.01, 0, 0}, {0, 0, 0}, 3, 10 * 0.01 / d * 0.01, true},
      {"all six", {0.01, 0.03, 0.02}, {0.05, 0.1, 0.04}, 13,
       std::hypot(10 * 0.01 / d * 0.01, 10 * 0.01 / d * 0.02, 100 * 0.01 / d * rad * 0.1), true},
      {"not-a-number su", {nan, 0, 0}, {0, 0, nan}, 1, 0, false},
  };
  for (const auto& c : cases) {
    m.Cell = Cubic(10);
    m.Cell.SuA = c.lengthSu[0];
    m.Cell.SuB = c.lengthSu[1];
    m.Cell.SuC = c.lengthSu[2];
    m.Cell.SuAlpha = c.angleSu[0];
    m.Cell.SuBeta = c.angleSu[1];
    m.Cell.SuGamma = c.angleSu[2];
    int evaluations = 0;
    const TPointFunc counted = [&](const std::vector<TVec3>& p) {
      ++evaluations;
      return PointDistance(p);
    };
    TSumResult r;
    PropagateSu(m.Frac, m.Su, {Point(0), Point(1)}, m.Cell, nullptr, counted, true, r);
    EXPECT_EQ(evaluations, c.evaluations) << c.what;
    EXPECT_NEAR(r.Su, c.su, 1e-10) << c.what;
    EXPECT_EQ(r.SuLinear, r.Su) << c.what;
    EXPECT_EQ(r.SuSecondOrder, 0) << c.what;
    EXPECT_EQ(r.Shift, 0) << c.what;
    EXPECT_EQ(r.ParametersEntered, c.entered) << c.what;
  }
}

TEST(PropagateSu, ParametersAndEvaluationCount) {
  // 1 + 2N for the gradient, 2N + 2N(N-1) for the Hessian. Zero su and the
  // special-position coordinates are no parameters; a NaN su is one.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* what;
    TVec3 su0, su1;
    bool secondOrder;
    int parameters;
    bool nanResult;
  } cases[] = {
      {"all refined", {1e-3, 1e-3, 1e-3}, {1e-3, 1e-3, 1e-3}, true, 6, false},
      {"first order only", {1e-3, 1e-3, 1e-3}, {1e-3, 1e-3, 1e-3}, false, 6, false},
      {"special position", {0, 0, 1e-3}, {1e-3, 0, -1e-3}, true, 2, false},
      {"not-a-number su", {nan, 0, 0}, {0, 0, 0}, true, 1, true},
  };
  TModel m;
  m.Cell = Cubic(10);
  m.Add({0.5, 0.5, 0.5}, {});
  m.Add({0.6, 0.5, 0.55}, {});
  for (const auto& c : cases) {
    m.Su = {c.su0, c.su1};
    int evaluations = 0;
    const TPointFunc counted = [&](const std::vector<TVec3>& p) {
      ++evaluations;
      return PointDistance(p);
    };
    TSumResult r;
    PropagateSu(m.Frac, m.Su, {Point(0), Point(1, Op("x,y,z"))}, m.Cell, nullptr, counted,
                c.secondOrder, r);
    const int n = c.parameters;
    EXPECT_EQ(evaluations, 1 + 2 * n + (c.secondOrder ? 2 * n + 2 * n * (n - 1) : 0)) << c.what;
    EXPECT_EQ(std::isnan(r.Su), c.nanResult) << c.what;
    EXPECT_TRUE(r.ParametersEntered) << c.what;
  }
}

TEST(PropagateSu, NoSuAnywhereGivesZeroAndSaysSo) {
  TModel m = PlanarModel(0.1);
  m.Su.assign(m.Su.size(), TVec3{0, 0, 0});
  TSumResult r;
  r.Su = r.Shift = r.SuIndependent = 5;
  r.FixedCount = 5;
  AngleSumWithSu(m.Frac, m.Su, Point(0), {Point(1), Point(2), Point(3)}, m.Cell, nullptr, r);
  EXPECT_EQ(r.Su, 0);
  EXPECT_EQ(r.SuLinear, 0);
  EXPECT_EQ(r.SuSecondOrder, 0);
  EXPECT_EQ(r.Shift, 0);
  EXPECT_EQ(r.SuIndependent, 0);
  EXPECT_EQ(r.FixedCount, 0);
  EXPECT_FALSE(r.ParametersEntered);
}

// Centre on an inversion centre (coordinates fixed by symmetry), ligands with
// su, a triclinic cell with su: every trans angle is exactly 180 and the sum
// of an octahedron exactly 1620 whatever the parameters, so the su is 0.
TEST(PropagateSu, ValuesFixedBySymmetryHaveZeroSu) {
  TModel m = GeneralModel();
  m.Su[0] = {0, 0, 0};
  const TSymOp inversion = Op("-x+1,-y+1,-z+1");
  m.Frac[0] = {0.5, 0.5, 0.5};
  double su = -1;
  int fixed = -1;
  const double trans = AngleWithSu(m.Frac, m.Su, Point(1), Point(0), Point(1, inversion), m.Cell,
                                   nullptr, su, fixed);
  EXPECT_NEAR(trans, 180, 1e-12);
  EXPECT_EQ(su, 0);

  const TPointList octahedron = {Point(1), Point(2), Point(3),
                                 Point(1, inversion), Point(2, inversion), Point(3, inversion)};
  TSumResult r;
  AngleSumWithSu(m.Frac, m.Su, Point(0), octahedron, m.Cell, nullptr, r);
  EXPECT_NEAR(r.Value, 1620, 1e-10);
  EXPECT_EQ(r.Su, 0);
  EXPECT_EQ(r.SuLinear, 0);
  EXPECT_EQ(r.SuSecondOrder, 0);
  EXPECT_EQ(r.Shift, 0);
  EXPECT_TRUE(r.ParametersEntered);
}

// The propagation without any shortcut: every evaluation builds the matrix
// and every point from scratch, and the sum takes every angle anew. Diagonal
// covariances (a CIF's su) only.
TSumResult PlainAngleSumWithSu(const TModel& m, const TPointList& points) {
  std::vector<TVec3> frac = m.Frac;
  TCell cell = m.Cell;
  auto evaluate = [&] {
    const TMat3 ortho = OrthoMatrix(cell);
    std::vector<TVec3> pos;
    for (const TPointDef& point : points) {
      TVec3 sum{0, 0, 0};
      for (const TSiteRef& site : point) {
        const TVec3 r = MatVec(ortho, ApplySymOp(site.Op, frac[site.Atom]));
        for (int k = 0; k < 3; ++k) sum[k] += r[k];
      }
      if (!point.empty())
        for (int k = 0; k < 3; ++k) sum[k] /= static_cast<int>(point.size());
      pos.push_back(sum);
    }
    return PointAngleSum(pos);
  };
  std::vector<int> atoms;
  for (const TPointDef& point : points)
    for (const TSiteRef& site : point)
      if (std::find(atoms.begin(), atoms.end(), site.Atom) == atoms.end()) atoms.push_back(site.Atom);
  struct TPar { int Atom, Axis; double Var; };
  std::vector<TPar> par;
  for (int atom : atoms)
    for (int axis = 0; axis < 3; ++axis)
      if (m.Su[atom][axis] > 0) par.push_back({atom, axis, m.Su[atom][axis] * m.Su[atom][axis]});
  const size_t n = par.size();
  auto step = [&](size_t k, double h) { frac[par[k].Atom][par[k].Axis] += h; };
  TSumResult r;
  const double f0 = evaluate();
  r.Value = f0;
  double vLin = 0;
  std::vector<double> g(n);
  for (size_t k = 0; k < n; ++k) {
    step(k, 1e-6);
    const double fp = evaluate();
    step(k, -2e-6);
    const double fm = evaluate();
    step(k, 1e-6);
    g[k] = (fp - fm) / 2e-6;
  }
  for (size_t k = 0; k < n; ++k)
    for (size_t l = 0; l < n; ++l) vLin += g[k] * g[l] * (k == l ? par[k].Var : 0.0);
  std::vector<double> h(n * n), pm(n * n, 0.0);
  for (size_t k = 0; k < n; ++k) {
    step(k, 1e-4);
    const double fp = evaluate();
    step(k, -2e-4);
    const double fm = evaluate();
    step(k, 1e-4);
    h[k * n + k] = (fp - 2 * f0 + fm) / 1e-8;
  }
  for (size_t k = 0; k < n; ++k)
    for (size_t l = k + 1; l < n; ++l) {
      step(k, 1e-4), step(l, 1e-4);
      const double fpp = evaluate();
      step(l, -2e-4);
      const double fpm = evaluate();
      step(k, -2e-4);
      const double fmm = evaluate();
      step(l, 2e-4);
      const double fmp = evaluate();
      step(k, 1e-4), step(l, -1e-4);
      h[k * n + l] = h[l * n + k] = (fpp - fpm - fmp + fmm) / 4e-8;
    }
  for (size_t k = 0; k < n; ++k)
    for (size_t mm = 0; mm < n; ++mm)
      for (size_t l = 0; l < n; ++l) pm[k * n + l] += h[k * n + mm] * (mm == l ? par[l].Var : 0.0);
  double v2 = 0, trace = 0;
  for (size_t k = 0; k < n; ++k)
    for (size_t l = 0; l < n; ++l) v2 += pm[k * n + l] * pm[l * n + k];
  for (size_t k = 0; k < n; ++k) trace += pm[k * n + k];
  v2 = std::max(0.5 * v2, 0.0);
  r.Shift = 0.5 * trace;
  double vCell = 0;
  const std::pair<double TCell::*, double TCell::*> cellParams[] = {
      {&TCell::A, &TCell::SuA}, {&TCell::Alpha, &TCell::SuAlpha}, {&TCell::B, &TCell::SuB},
      {&TCell::Beta, &TCell::SuBeta}, {&TCell::C, &TCell::SuC}, {&TCell::Gamma, &TCell::SuGamma}};
  for (int i = 0; i < 6; ++i) {
    const double su = m.Cell.*cellParams[i].second, hs = i % 2 ? 1e-4 : 1e-5;
    if (!(su > 0)) continue;
    cell.*cellParams[i].first = m.Cell.*cellParams[i].first + hs;
    const double fp = evaluate();
    cell.*cellParams[i].first = m.Cell.*cellParams[i].first - hs;
    const double fm = evaluate();
    cell.*cellParams[i].first = m.Cell.*cellParams[i].first;
    const double t = (fp - fm) / (2 * hs) * su;
    vCell += t * t;
  }
  r.SuLinear = std::sqrt(std::max(vLin, 0.0) + vCell);
  r.SuSecondOrder = std::sqrt(v2);
  r.Su = std::sqrt(std::max(vLin, 0.0) + vCell + v2);
  return r;
}

// The engine computes only what a step changes; its numbers must be exactly
// those of the evaluation from scratch: symmetry images of one atom, a
// centroid sharing an atom with a single ligand, the central atom's image,
// and a cell with su on every parameter.
TEST(AngleSumWithSu, ExactlyTheNumbersOfThePlainEvaluation) {
  const TModel m = GeneralModel();
  const TSymOp image = Op("-x+1,-y+1,-z+1");
  const TPointList cases[] = {
      {Point(0), Point(1), Point(2), Point(3)},
      {Point(0), Point(1), Point(1, image), Point(2), {Site(4), Site(5), Site(6)}},
      {Point(0), {Site(4), Site(5), Site(1)}, Point(1), Point(0, image), Point(3, image)},
  };
  for (const TPointList& points : cases) {
    TSumResult r;
    AngleSumWithSu(m.Frac, m.Su, points[0], TPointList(points.begin() + 1, points.end()), m.Cell,
                   nullptr, r);
    const TSumResult plain = PlainAngleSumWithSu(m, points);
    EXPECT_EQ(r.Value, plain.Value);
    EXPECT_EQ(r.SuLinear, plain.SuLinear);
    EXPECT_EQ(r.SuSecondOrder, plain.SuSecondOrder);
    EXPECT_EQ(r.Shift, plain.Shift);
    EXPECT_EQ(r.Su, plain.Su);
  }
}

TEST(AngleSumWithSu, TwelveCentroidsOfSixAtoms) {
  // 216 parameters with the second-order term: 93745 evaluations.
  TModel m;
  m.Cell = Cubic(20);
  m.Add({0.5, 0.5, 0.5}, {0, 0, 0});
  const double phi = (1 + std::sqrt(5.0)) / 2;
  const TVec3 vertices[12] = {{0, 1, phi},  {0, -1, phi},  {0, 1, -phi},  {0, -1, -phi},
                              {1, phi, 0},  {-1, phi, 0},  {1, -phi, 0},  {-1, -phi, 0},
                              {phi, 0, 1},  {phi, 0, -1},  {-phi, 0, 1},  {-phi, 0, -1}};
  TPointList ligands;
  for (const TVec3& v : vertices) {
    TPointDef ring;
    for (int j = 0; j < 6; ++j) {
      const double t = j * std::numbers::pi / 3;
      const TVec3 offset = {0.06 * std::cos(t), 0.06 * std::sin(t), 0.01 * (j % 2)};
      TVec3 f;
      for (int i = 0; i < 3; ++i) f[i] = 0.5 + 0.1 * v[i] / 1.902113 + offset[i];
      ring.push_back(Site(static_cast<int>(m.Frac.size())));
      m.Add(f, {0.0005, 0.0004, 0.0006});
    }
    ligands.push_back(ring);
  }
  int evaluations = 0;
  const TPointFunc counted = [&](const std::vector<TVec3>& p) {
    ++evaluations;
    return PointAngleSum(p);
  };
  TPointList points = {Point(0)};
  points.insert(points.end(), ligands.begin(), ligands.end());
  const auto start = std::chrono::steady_clock::now();
  TSumResult r;
  PropagateSu(m.Frac, m.Su, points, m.Cell, nullptr, counted, true, r);
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("[   TIME   ] 12 centroids of 6 atoms, 216 parameters: %.3f s\n", seconds.count());
  EXPECT_EQ(evaluations, 1 + 4 * 216 + 2 * 216 * 215);
  EXPECT_TRUE(std::isfinite(r.Su));
  EXPECT_GT(r.Su, 0);
  // The engine's own sum, which keeps the angles of points that did not move,
  // gives exactly the same numbers.
  TSumResult own;
  AngleSumWithSu(m.Frac, m.Su, Point(0), ligands, m.Cell, nullptr, own);
  EXPECT_EQ(own.Value, r.Value);
  EXPECT_EQ(own.Su, r.Su);
  EXPECT_EQ(own.SuSecondOrder, r.SuSecondOrder);
  EXPECT_EQ(own.Shift, r.Shift);
}

}  // namespace
}  // namespace koravel
