#include "geometry/analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "crystal/sym_code.h"
#include "test_support.h"

namespace koravel {
namespace {

using testing::MakeAtom;
using testing::MakeCell;
using testing::MakeStructure;

const TCentre kFe{{0, 0, {}}, "Fe1", "Fe", false};

// A cubic 10 Å cell with the identity and an inversion through (1/8, 0, 0),
// so that every atom lies on a general position; Fe1 in the middle and N
// ligands at the given offsets, every coordinate with the same su.
TModel Cubic(const std::vector<std::pair<const char*, TVec3>>& ligandOffsets, double su) {
  std::vector<TAtom> atoms = {MakeAtom("Fe1", "Fe", {0.5, 0.5, 0.5}, 1, {su, su, su})};
  for (const auto& [label, o] : ligandOffsets)
    atoms.push_back(MakeAtom(label, "N", {0.5 + o[0], 0.5 + o[1], 0.5 + o[2]}, 1, {su, su, su}));
  TModel model;
  model.Structure = MakeStructure(MakeCell(10, 10, 10), {"x,y,z", "-x+1/4,-y,-z"}, atoms);
  return model;
}

// N1 along +x, N2 along +y, N3 along -x: angles 90, 180, 90.
TModel TShape(double su) {
  return Cubic({{"N1", {0.2, 0, 0}}, {"N2", {0, 0.2, 0}}, {"N3", {-0.2, 0, 0}}}, su);
}

// Three ligands at 120 degrees in the xy plane.
TModel Trigonal(double su) {
  const double s = 0.2 * std::sqrt(3.0) / 2;
  return Cubic({{"N1", {0.2, 0, 0}}, {"N2", {-0.1, s, 0}}, {"N3", {-0.1, -s, 0}}}, su);
}

TAnalysis Analyse(const TModel& in, const std::vector<TLigand>& ligands, bool calcOnly = false) {
  TLigandSet set;
  set.List = ligands;
  return AnalyseSphere(in, kFe, set, {calcOnly, 0});
}
TAngles Angles(const TModel& in, const std::vector<TLigand>& ligands, bool calcOnly = false) {
  return Analyse(in, ligands, calcOnly).Angles;
}

// The atoms after the central one, each under the identity.
std::vector<TLigand> Ligands(const TModel& in) {
  std::vector<TLigand> l;
  for (int i = 1; i < static_cast<int>(in.Structure.Atoms.size()); ++i)
    l.push_back(CandidateLigand(in.Structure, {i, 0, {0, 0, 0}, 0}));
  return l;
}

TPublishedAngle Published(const char* l1, const char* s1, const char* l2, const char* s2,
                          const char* l3, const char* s3, double angle, double su) {
  return TPublishedAngle{l1, s1, l2, s2, l3, s3, angle, su};
}
TPublishedAngle Published(const char* l1, const char* l3, double angle, double su) {
  return Published(l1, "1_555", "Fe1", "1_555", l3, "1_555", angle, su);
}

struct TExpectedAngle { int lig1, lig2; double value; bool fromCif; };

void ExpectAngles(const std::vector<TAngle>& got, const std::vector<TExpectedAngle>& want,
                  const char* what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].Lig1, want[i].lig1) << what << " #" << i;
    EXPECT_EQ(got[i].Lig2, want[i].lig2) << what << " #" << i;
    EXPECT_NEAR(got[i].Value, want[i].value, 1e-9) << what << " #" << i;
    EXPECT_EQ(got[i].FromCif, want[i].fromCif) << what << " #" << i;
  }
}

TEST(AnalyseSphere, AnglesSortedLargestFirstWithPairOrderForTies) {
  const TModel in = TShape(0.001);
  const TAnalysis a = Analyse(in, Ligands(in));
  const TAngles& angles = a.Angles;
  ExpectAngles(angles.List, {{0, 2, 180, false}, {0, 1, 90, false}, {1, 2, 90, false}}, "T");
  // A 90 degree angle with 0.01 A independent su on each coordinate and 2 A
  // bonds: four coordinates move it by 0.01/2 rad each, su = 2 * 0.005 rad.
  EXPECT_NEAR(angles.List[1].Su, 0.01 * 180 / std::numbers::pi, 1e-4);
  EXPECT_NEAR(angles.List[2].Su, angles.List[1].Su, 1e-9);
  EXPECT_LT(angles.List[0].Su, 1e-3);  // linear at its maximum
  EXPECT_NEAR(angles.Sum.Value, 360, 1e-9);
  // Distances along x depend on two x coordinates of 0.01 Å su each.
  const std::vector<TValue>& d = a.Distances;
  ASSERT_EQ(d.size(), 3u);
  EXPECT_NEAR(d[0].Value, 2.0, 1e-12);
  EXPECT_NEAR(d[0].Su, 0.01 * std::sqrt(2.0), 1e-9);
  EXPECT_EQ(d[0].Kind, TSuKind::Propagated);
}

TEST(AnalyseSphere, PublishedAnglesUnlessCalcOnly) {
  TModel in = TShape(0.001);
  struct Case {
    const char* what;
    std::vector<TPublishedAngle> published;
    bool calcOnly, hasSu;
    std::vector<TExpectedAngle> want;
  };
  const Case cases[] = {
      {"one published", {Published("N3", "N2", 150.0, 0.2)}, false, true,
       {{0, 2, 180, false}, {1, 2, 150, true}, {0, 1, 90, false}}},
      {"all published and equal",
       {Published("N1", "N2", 120, 0.1), Published("N2", "N3", 120, 0.1),
        Published("N1", "N3", 120, 0.1)},
       false, true, {{0, 1, 120, true}, {0, 2, 120, true}, {1, 2, 120, true}}},
      {"--calc", {Published("N3", "N2", 150.0, 0.2)}, true, true,
       {{0, 2, 180, false}, {0, 1, 90, false}, {1, 2, 90, false}}},
      {"no su", {Published("N3", "N2", 150.0, 0.2)}, false, false,
       {{0, 2, 180, false}, {1, 2, 150, true}, {0, 1, 90, false}}},
  };
  for (const Case& k : cases) {
    in.PublishedAngles = k.published;
    in.HasSu = k.hasSu;
    const TAngles angles = Angles(in, Ligands(in), k.calcOnly);
    ExpectAngles(angles.List, k.want, k.what);
    for (const TAngle& a : angles.List) {
      if (!k.hasSu) {
        EXPECT_EQ(a.Su, 0) << k.what;
      } else if (a.FromCif) {
        EXPECT_EQ(a.Su, a.Value == 150 ? 0.2 : 0.1) << k.what;
      }
    }
    EXPECT_NEAR(angles.Sum.Value, 360, 1e-9) << k.what;  // always from the coordinates
  }
}

TEST(AnalyseSphere, CentroidAnglesAreAlwaysComputed) {
  TModel in = TShape(0.001);
  in.PublishedAngles = {Published("N1", "N3", 170.0, 0.2), Published("N1", "N2", 95.0, 0.2)};
  std::vector<TLigand> ligands = Ligands(in);
  // N1 replaced by the centroid of N1 and N2, still carrying N1's label.
  ligands[0].IsCentroid = true;
  ligands[0].Element.clear();
  ligands[0].Members = {ligands[0].Site, ligands[1].Site};
  // The centroid lies at 45 degrees between +x and +y.
  ExpectAngles(Angles(in, ligands).List,
               {{0, 2, 135, false}, {1, 2, 90, false}, {0, 1, 45, false}}, "centroid");
}

TEST(AnalyseSphere, SumFromTheCoordinatesWithTheIndependentSu) {
  for (bool hasSu : {true, false}) {
    TModel in = Trigonal(0.001);
    in.PublishedAngles = {Published("N1", "N2", 121.0, 0.3)};
    in.HasSu = hasSu;
    const TAngles r = Angles(in, Ligands(in));
    EXPECT_NEAR(r.Sum.Value, 360.0, 1e-9);
    ASSERT_EQ(r.List.size(), 3u);
    EXPECT_EQ(r.List[0].Value, 121.0);
    if (hasSu) {
      EXPECT_NEAR(r.SuIndependent, std::hypot(0.3, r.List[1].Su, r.List[2].Su), 1e-9);
      // Planar: the su comes from the second-order term alone.
      EXPECT_GT(r.Sum.Su, 0);
      EXPECT_GT(r.Sum.SuSecondOrder, 0.9 * r.Sum.Su);
    } else {
      EXPECT_EQ(r.SuIndependent, 0);
      EXPECT_EQ(r.Sum.Su, 0);
      EXPECT_EQ(r.Sum.SuLinear, 0);
      EXPECT_EQ(r.Sum.SuSecondOrder, 0);
    }
  }
}

// The central atom may move only within the plane of its three ligands: the
// sum stays 360 for every such move, so its su is zero although coordinates
// with su entered it (the report then says it is fixed by symmetry).
TEST(AnalyseSphere, SumHeldAtItsValueHasZeroSu) {
  TModel in = Trigonal(0);
  in.Structure.Atoms[0].FracSu = {0.001, 0.001, 0};
  const TAnalysis a = Analyse(in, Ligands(in));
  EXPECT_NEAR(a.Angles.Sum.Value, 360, 1e-9);
  EXPECT_EQ(a.Angles.Sum.Su, 0);
  EXPECT_TRUE(a.SumFixedBySymmetry);
  EXPECT_EQ(a.Planarity, TPlanarity::FixedBySymmetry);
  EXPECT_GT(a.Angles.List[0].Su, 0);  // the single angles do move
}

// Two independent ligands exactly trans, only they with su σ (isotropic):
// the angle is 180° - δ with δ the length of a 2-D vector whose components
// have sd s = √2 σ/r, a Rayleigh distribution: mean s√(π/2), sd s√((4-π)/2).
// The sum takes both from the Monte Carlo, as its derivative does not exist.
TEST(AnalyseSphere, StraightAngleBetweenIndependentAtomsTakesTheMonteCarlo) {
  TModel in = Cubic({{"N1", {0.2, 0, 0}}, {"N3", {-0.2, 0, 0}}}, 0.001);
  in.Structure.Atoms[0].FracSu = {0, 0, 0};
  const TAngles angles = Angles(in, Ligands(in));
  ASSERT_EQ(angles.NearlyLinear.size(), 1u);
  EXPECT_GE(angles.Sum.Draws, 2000);
  const double s = std::sqrt(2.0) * 0.01 / 2.0 * kDegPerRad;
  EXPECT_NEAR(angles.Sum.Value, 180, 1e-9);
  EXPECT_NEAR(-angles.Sum.Shift, s * std::sqrt(std::numbers::pi / 2), 0.01);
  EXPECT_NEAR(angles.Sum.Su, s * std::sqrt((4 - std::numbers::pi) / 2), 0.005);
  // Bent by 20° the same ligands are far from linear: propagated as before.
  const TModel bent = Cubic({{"N1", {0.2, 0, 0}}, {"N3", {-0.2 * std::cos(0.35), 0.2 * std::sin(0.35), 0}}}, 0.001);
  EXPECT_TRUE(Angles(bent, Ligands(bent)).NearlyLinear.empty());
}

// Published angles are found by place: P9 on the inversion centre at
// (1/8, 0, 0) is the same place as 1_555 and as 2_555.
TEST(PublishedAngle, FindsTheAngleAtTheSamePlaces) {
  TModel in = TShape(0);
  in.Structure.Atoms.push_back(MakeAtom("P9", "P", {0.125, 0, 0}, 1, {}));
  in.PublishedAngles = {
      Published("N1", "1_555", "Fe1", "1_555", "N2", "1_555", 120.5, 0.3),
      Published("N1", "1_555", "Fe1", "2_555", "N3", "1_555", 99.0, 0.2),  // apex elsewhere
      Published("N3", "1_555", "FE1", "1_555", "n1", "1_555", 101.0, 0.4),
      Published("N1", "1_555", "Fe1", "1_555", "N3", "1_555", 111.0, 0.5),  // a later duplicate
      Published("N2", "2_655", "Fe1", "1_555", "N3", "1_555", 88.0, 0),     // another place
      Published("P9", "2_555", "Fe1", "1_555", "N2", "1_555", 77.0, 0.1),
      Published("X1", "1_555", "Fe1", "1_555", "N2", "1_555", 66.0, 0.1),   // no such atom
  };
  const TStructure& s = in.Structure;
  auto ligand = [&](int atom) { return CandidateLigand(s, {atom, 0, {0, 0, 0}, 0}); };
  const TLigand n1 = ligand(1), n2 = ligand(2), n3 = ligand(3), p9 = ligand(4);
  TLigand centroid = n1;
  centroid.IsCentroid = true;
  const std::vector<TPublishedAtApex> atFe = PublishedAtApex(s, in.PublishedAngles, kFe.Site);
  EXPECT_EQ(atFe.size(), 5u);
  const struct {
    const char* what;
    const TLigand& a;
    const TLigand& b;
    double angle;  // 0: none
  } cases[] = {
      {"listed order", n1, n2, 120.5},         {"swapped order", n2, n1, 120.5},
      {"first of two matches wins", n3, n1, 101.0}, {"same place, other code", p9, n2, 77.0},
      {"another place", n2, n3, 0},            {"centroid", centroid, n2, 0},
  };
  for (const auto& k : cases) {
    const std::optional<TValueSu> found = PublishedAngle(s, atFe, k.a, k.b);
    ASSERT_EQ(found.has_value(), k.angle != 0) << k.what;
    if (found) {
      EXPECT_EQ(found->Value, k.angle) << k.what;
    }
  }
}

TEST(FailCoordination, TwoToTwelveLigands) {
  const struct { size_t count; bool automatic; const char* message; } cases[] = {
      {1, true,
       "coordination number 1 - an angle sum needs 2 to 12 ligands.\n"
       "Adjust the tolerance (--tol=) or specify the ligands explicitly."},
      {13, true,
       "coordination number 13 - an angle sum needs 2 to 12 ligands.\n"
       "Adjust the tolerance (--tol=) or specify the ligands explicitly."},
      {1, false, "2 to 12 ligands must be specified."},
      {13, false, "2 to 12 ligands must be specified."},
      {2, true, ""},
      {12, false, ""},
  };
  for (const auto& c : cases) {
    TAnalysis a;
    a.Ligands.List.resize(c.count);
    a.Ligands.Automatic = c.automatic;
    EXPECT_EQ(a.Complete(), !*c.message) << c.count;
    if (!a.Complete()) {
      EXPECT_EQ(testing::ErrorOf([&] { FailCoordination(a); }), c.message) << c.count;
    }
  }
}

}  // namespace
}  // namespace koravel
