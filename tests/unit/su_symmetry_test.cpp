// The su under symmetry, against an independent calculation that samples only
// the free parameters and rebuilds every tied coordinate and the cell from
// them (tests/reference/free_parameter_mc.py; the numbers are its output).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "geometry/sphere.h"
#include "io/input.h"
#include "ligands/centre.h"
#include "ligands/ligands.h"
#include "su/parameters.h"
#include "test_support.h"

namespace koravel {
namespace {

std::string Data(const std::string& name) { return std::string(KORAVEL_TEST_DATA) + "/" + name; }

// A coordination sphere read as a run reads it: file, central atom, ligands.
struct TSphere {
  TModel In;
  TParameters Params;
  std::vector<TPoint> Points;

  TSphere(const std::string& file, const std::vector<std::string>& atoms) {
    In = LoadInput({Data(file), "", {atoms.front()}, xnOlex}).Model;
    Params = FreeParameters(In.Structure, In.Covariance.get());
    const TCentre centre = CentreOf(In.Structure, FindAtomWithoutSuffix(In.Structure, atoms.front()));
    TLigandRequest request;
    request.Names = ParseLigandArgs({atoms.begin() + 1, atoms.end()}, nullptr);
    const TLigandSet ligands =
        ChooseLigands(In, centre, request, SearchNeighbours(In.Structure, centre, request));
    Points = SpherePoints(centre, ligands.List);
  }
  TPropagated Sum() const {
    return Propagate(In.Structure, Params, Points, MakeQuantity(TAngleSumOfPoints()), true);
  }
};

const std::vector<std::string> kEx3 = {"As1", "Cl1#1_555", "Cl1#5_555", "Cl1#9_555"};
const std::vector<std::string> kX2xz = {"Sb1", "Cl1", "Cl2#1_555", "Cl2#5_555"};
const std::vector<std::string> kMirror = {"N1", "C1", "C2#1_555", "C2#4_555"};
const std::vector<std::string> kCubic = {"Si1", "F1", "Cl1#1_555", "Cl1#5_555", "Cl1#9_555"};
const std::vector<std::string> kCubicCentroid = {"Si1", "Cl1#1_555", "Cl1#5_555", "[F1", "Cl1#9_555]"};

TEST(SymmetrySu, AngleSumOnlyFromTheFreeParameters) {
  struct Case {
    const char* file;
    std::vector<std::string> atoms;
    double value, su, suLinear, shift;
  } cases[] = {
      // As on the three-fold axis of P2(1)3 (one free coordinate), a cubic cell
      {"hand_sym_p213_ex3.cif", kEx3, 313.50016, 0.42840, 0.42840, -0.00033},
      {"hand_sym_p213_ex3.res", kEx3, 313.50016, 0.42840, 0.42840, -0.00033},
      {"hand_sym_p213_ex3_flat.cif", kEx3, 359.99694, 0.00496, 0.00442, -0.00159},
      {"hand_sym_p213_ex3_flat.res", kEx3, 359.99694, 0.00496, 0.00442, -0.00159},
      // (x,2x,z) in P3m1; the .mat holds correlations
      {"hand_sym_p3m1_x2xz.cif", kX2xz, 287.71706, 0.20037, 0.20037, 0.00001},
      {"hand_sym_p3m1_x2xz.res", kX2xz, 287.71706, 0.21514, 0.21514, 0.00001},
      // a mirror in P2(1)/m: the fixed coordinate moves nothing
      {"hand_sym_p21m_mirror.cif", kMirror, 347.97404, 0.34268, 0.34266, -0.00234},
      {"hand_sym_p21m_mirror.res", kMirror, 347.97404, 0.34268, 0.34266, -0.00234},
      {"hand_sym_pa3_cubic.cif", kCubic, 656.76255, 0.02190, 0.02174, -0.00187},
      {"hand_sym_pa3_cubic.res", kCubicCentroid, 359.27438, 0.10850, 0.10834, -0.00418},
  };
  for (const Case& c : cases) {
    const TPropagated r = TSphere(c.file, c.atoms).Sum();
    EXPECT_NEAR(r.Value, c.value, 1e-5) << c.file;
    EXPECT_NEAR(r.Su, c.su, 1e-5) << c.file;
    EXPECT_NEAR(r.SuLinear, c.suLinear, 1e-5) << c.file;
    EXPECT_NEAR(r.Shift, c.shift, 1e-5) << c.file;
  }
}

TEST(SymmetrySu, CountsTiedAndFixedCoordinates) {
  // As1 (x,x,x): y, z tied; a cubic cell: b, c tied to a. N1 and C1 on the
  // mirror: y fixed each.
  const TPropagated ex3 = TSphere("hand_sym_p213_ex3.res", kEx3).Sum();
  EXPECT_EQ(ex3.TiedCount, 2);
  EXPECT_EQ(ex3.FixedCount, 0);
  EXPECT_EQ(ex3.CellTiedCount, 2);
  const TPropagated mirror = TSphere("hand_sym_p21m_mirror.res", kMirror).Sum();
  EXPECT_EQ(mirror.TiedCount, 0);
  EXPECT_EQ(mirror.FixedCount, 2);
}

TEST(SymmetrySu, SumHeldBySymmetryHasNoSu) {
  const TPropagated r =
      TSphere("hand_sym_pa3_cubic.cif", {"Si1", "F1", "Cl1#1_555", "[Cl1#5_555", "Cl1#9_555]"}).Sum();
  EXPECT_DOUBLE_EQ(r.Value, 360);
  EXPECT_EQ(r.Su, 0);
  EXPECT_TRUE(r.ParametersEntered);
}

TEST(SymmetrySu, IsotropicChangeOfACubicCellMovesNoAngle) {
  // Only the cell's a has an su: every angle keeps su 0, a distance does not.
  TSphere sphere("hand_sym_pa3_cubic.cif", kCubic);
  for (TAtom& atom : sphere.In.Structure.Atoms) atom.FracSu = {0, 0, 0};
  sphere.Params = FreeParameters(sphere.In.Structure, nullptr);
  const TPoint& centre = sphere.Points[0];
  for (size_t i = 1; i < sphere.Points.size(); ++i) {
    for (size_t j = i + 1; j < sphere.Points.size(); ++j)
      EXPECT_EQ(Propagate(sphere.In.Structure, sphere.Params,
                          {centre, sphere.Points[i], sphere.Points[j]},
                          MakeQuantity(koravel::testing::TAngleOfPoints()), false).Su, 0);
    EXPECT_GT(Propagate(sphere.In.Structure, sphere.Params, {centre, sphere.Points[i]},
                        MakeQuantity(koravel::testing::TDistanceOfPoints()), false).Su, 0);
  }
}

TEST(SymmetrySu, MonteCarloAgreesWithThePropagation) {
  // 20000 draws: sd within 5 % of the su, mean within 3 standard errors of
  // value + shift.
  struct Case {
    const char* file;
    std::vector<std::string> atoms;
  } cases[] = {{"hand_sym_p213_ex3.cif", kEx3},    {"hand_sym_p213_ex3_flat.res", kEx3},
               {"hand_sym_p3m1_x2xz.res", kX2xz},  {"hand_sym_p21m_mirror.cif", kMirror},
               {"hand_paired.res", {"N1"}},        {"cod_2231779.cif", {"Cu1"}}};
  for (const Case& c : cases) {
    TSphere sphere(c.file, c.atoms.size() > 1 ? c.atoms : std::vector<std::string>{c.atoms[0]});
    const TPropagated r = sphere.Sum();
    const TQuantity sum = MakeQuantity(TAngleSumOfPoints());
    const TMonteCarlo mc =
        TPropagator(sphere.In.Structure, sphere.Params, sphere.Points, true).MonteCarlo({sum}, 20000).front();
    EXPECT_NEAR(mc.Sd / r.Su, 1, 0.05) << c.file;
    EXPECT_LT(std::fabs(mc.Mean - (r.Value + r.Shift)), 3 * mc.Sd / std::sqrt(20000.0)) << c.file;
  }
}

}  // namespace
}  // namespace koravel
