#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "sum/report.h"
#include "tests/unit/sum_report_fixtures.h"

namespace koravel {
namespace {

using namespace testing_report;

// A cubic 10 A cell with Fe1 in the middle and ligands 2 A away.
TWorkingStructure Cubic(const std::vector<std::pair<const char*, TVec3>>& ligandOffsets,
                        double coordinateSu) {
  TWorkingStructure s;
  s.Cell.A = s.Cell.B = s.Cell.C = 10;
  TAtom fe;
  fe.Label = "Fe1";
  fe.Element = "Fe";
  fe.Frac = {0.5, 0.5, 0.5};
  fe.FracSu = {coordinateSu, coordinateSu, coordinateSu};
  s.Atoms.push_back(fe);
  for (const auto& [label, offset] : ligandOffsets) {
    TAtom a;
    a.Label = label;
    a.Element = "N";
    a.Frac = {0.5 + offset[0], 0.5 + offset[1], 0.5 + offset[2]};
    a.FracSu = {coordinateSu, coordinateSu, coordinateSu};
    s.Atoms.push_back(a);
  }
  SyncAtomArrays(s);
  return s;
}

// N1 along +x, N2 along +y, N3 along -x: angles 90, 180, 90.
TWorkingStructure TShape(double su) {
  return Cubic({{"N1", {0.2, 0, 0}}, {"N2", {0, 0.2, 0}}, {"N3", {-0.2, 0, 0}}}, su);
}

// Three ligands at 120 degrees in the xy plane.
TWorkingStructure Trigonal(double su) {
  const double s = 0.2 * std::sqrt(3.0) / 2;
  return Cubic({{"N1", {0.2, 0, 0}}, {"N2", {-0.1, s, 0}}, {"N3", {-0.1, -s, 0}}}, su);
}

TLigArray Ligands(const TWorkingStructure& s) {
  TLigArray l;
  for (int i = 1; i < static_cast<int>(s.Atoms.size()); ++i)
    l.push_back(AtomLigand(i, s.Atoms[static_cast<size_t>(i)].Label, "N"));
  return l;
}

TReportInput Input(const TWorkingStructure& s) {
  TReportInput in;
  in.Structure = &s;
  in.CentralSite = Site(0);
  in.CentralLabel = "Fe1";
  in.InputFileName = "t.cif";
  return in;
}

TCifAngle Published(const char* l1, const char* l3, double angle, double su) {
  TCifAngle a;
  a.Label1 = l1;
  a.Sym1 = "1_555";
  a.Label2 = "Fe1";
  a.Sym2 = "1_555";
  a.Label3 = l3;
  a.Sym3 = "1_555";
  a.Angle = angle;
  a.Su = su;
  a.SuGiven = su > 0;
  return a;
}

struct TExpectedAngle { int lig1, lig2; double value; bool fromCif; };

void ExpectAngles(const std::vector<TAngleRec>& got, const std::vector<TExpectedAngle>& want,
                  const char* what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].Lig1, want[i].lig1) << what << " #" << i;
    EXPECT_EQ(got[i].Lig2, want[i].lig2) << what << " #" << i;
    EXPECT_NEAR(got[i].Value, want[i].value, 1e-9) << what << " #" << i;
    EXPECT_EQ(got[i].FromCif, want[i].fromCif) << what << " #" << i;
  }
}

TEST(BuildAngleList, ComputedAnglesSortedLargestFirstWithPairOrderForTies) {
  const TWorkingStructure s = TShape(0.001);
  const auto angles = BuildAngleList(Input(s), Ligands(s));
  ExpectAngles(angles, {{0, 2, 180, false}, {0, 1, 90, false}, {1, 2, 90, false}}, "T");
  // A 90 degree angle with 0.01 A independent su on each coordinate and 2 A
  // bonds: four coordinates move it by 0.01/2 rad each, su = 2 * 0.005 rad.
  EXPECT_NEAR(angles[1].Su, 0.01 * 180 / std::numbers::pi, 1e-4);
  EXPECT_NEAR(angles[2].Su, angles[1].Su, 1e-9);
  EXPECT_LT(angles[0].Su, 1e-3);  // linear at its maximum
}

TEST(BuildAngleList, PublishedAnglesUnlessCalcOnly) {
  TWorkingStructure s = TShape(0.001);
  struct Case {
    const char* what;
    std::vector<TCifAngle> published;
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
    s.CifAngles = k.published;
    TReportInput in = Input(s);
    in.CalcOnly = k.calcOnly;
    in.HasSu = k.hasSu;
    const auto angles = BuildAngleList(in, Ligands(s));
    ExpectAngles(angles, k.want, k.what);
    for (const TAngleRec& a : angles) {
      if (!k.hasSu) {
        EXPECT_EQ(a.Su, 0) << k.what;
      } else if (a.FromCif) {
        EXPECT_EQ(a.Su, a.Value == 150 ? 0.2 : 0.1) << k.what;
      }
    }
  }
}

TEST(BuildAngleList, CentroidAnglesAreAlwaysComputed) {
  TWorkingStructure s = TShape(0.001);
  s.CifAngles = {Published("N1", "N3", 170.0, 0.2), Published("N1", "N2", 95.0, 0.2)};
  TLigArray ligands = Ligands(s);
  // N1 replaced by the centroid of N1 and N2, still carrying N1's label.
  ligands[0].IsCentroid = true;
  ligands[0].Element.clear();
  ligands[0].Points = {Site(1), Site(2)};
  const auto angles = BuildAngleList(Input(s), ligands);
  // The centroid lies at 45 degrees between +x and +y.
  ExpectAngles(angles, {{0, 2, 135, false}, {1, 2, 90, false}, {0, 1, 45, false}}, "centroid");
}

TEST(ComputeAngleSum, FromTheCoordinatesWithTheIndependentSu) {
  TWorkingStructure s = Trigonal(0.001);
  s.CifAngles = {Published("N1", "N2", 121.0, 0.3)};
  const TLigArray ligands = Ligands(s);
  for (bool hasSu : {true, false}) {
    TReportInput in = Input(s);
    in.HasSu = hasSu;
    const std::vector<TAngleRec> angles = {Angle(0, 1, 121.0, 0.3, true),
                                           Angle(0, 2, 120.0, 0.4), Angle(1, 2, 119.0, 1.2)};
    const TSumResult r = ComputeAngleSum(in, ligands, angles);
    EXPECT_NEAR(r.Value, 360.0, 1e-9);
    EXPECT_NEAR(r.SuIndependent, 1.3, 1e-12);
    if (hasSu) {
      // Planar: the su comes from the second-order term alone.
      EXPECT_GT(r.Su, 0);
      EXPECT_GT(r.SuSecondOrder, 0.9 * r.Su);
    } else {
      EXPECT_EQ(r.Su, 0);
      EXPECT_EQ(r.SuLinear, 0);
      EXPECT_EQ(r.SuSecondOrder, 0);
    }
  }
}

TEST(Report, ComputedSumWithCalcOnlyHasNoCifMarks) {
  TWorkingStructure s = Trigonal(0.001);
  s.CifAngles = {Published("N1", "N2", 120.0, 0.3), Published("N1", "N3", 120.0, 0.3),
                 Published("N2", "N3", 120.0, 0.3)};
  const TLigArray ligands = Ligands(s);
  for (bool calcOnly : {false, true}) {
    TReportInput in = Input(s);
    in.CalcOnly = calcOnly;
    const auto angles = BuildAngleList(in, ligands);
    const TSumResult r = ComputeAngleSum(in, ligands, angles);
    TCollectSink sink;
    WriteReport(sink, in, ligands, angles, r);
    int cifMarks = 0;
    bool cifNote = false;
    for (const std::string& line : sink.Lines) {
      if (line.ends_with("   (CIF)")) ++cifMarks;
      if (line == "Note: angles marked (CIF) were taken from the _geom_angle loop.") cifNote = true;
    }
    EXPECT_EQ(cifMarks, calcOnly ? 0 : 3);
    EXPECT_EQ(cifNote, !calcOnly);
  }
}

// The central atom may move only within the plane of its three ligands: the
// sum stays 360 for every such move, so its su is zero although coordinates
// with su entered it.
TEST(Report, SumHeldAtItsValueGetsTheFixedNote) {
  TWorkingStructure s = Trigonal(0);
  s.Atoms[0].FracSu = {0.001, 0.001, 0};
  SyncAtomArrays(s);
  const TLigArray ligands = Ligands(s);
  const TReportInput in = Input(s);
  const auto angles = BuildAngleList(in, ligands);
  const TSumResult r = ComputeAngleSum(in, ligands, angles);
  ASSERT_EQ(r.Su, 0);
  ASSERT_TRUE(r.ParametersEntered);
  TCollectSink sink;
  WriteReport(sink, in, ligands, angles, r);
  const std::vector<std::string> tail = {
      "  Sum(L-M-L) = 360.00 deg",
      "  360 - Sum  = 0.00 deg     (0 = planar; trigonal pyramid with 3 x 109.47: 31.59)",
      "",
      "  Classification: planar within 3 su",
      "",
      "Note: the sum is fixed by symmetry; its su is zero.",
  };
  ASSERT_GE(sink.Lines.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(sink.Lines.end() - 6, sink.Lines.end()), tail);
}

}  // namespace
}  // namespace koravel
