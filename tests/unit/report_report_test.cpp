#include "sum/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "tests/unit/sum_report_fixtures.h"

namespace koravel {
namespace {

using namespace testing_report;

// Atoms: 0 Fe1, 1 N1, 2 N2, 3 O1, 4 C1 .. 8 C5, 9 H1, 10 N3.
TWorkingStructure Structure() {
  TWorkingStructure s;
  for (const char* label : {"Fe1", "N1", "N2", "O1", "C1", "C2", "C3", "C4", "C5", "H1", "N3"}) {
    TAtom a;
    a.Label = label;
    s.Atoms.push_back(a);
  }
  SyncAtomArrays(s);
  return s;
}

struct TReportCase {
  TWorkingStructure Structure = koravel::Structure();
  TReportInput In;
  TLigArray Ligands;
  std::vector<TAngleRec> Angles;
  TSumResult R;

  TReportCase() {
    In.Structure = &Structure;
    In.CentralSite = Site(0);
    In.CentralLabel = "Fe1";
    In.InputFileName = "/data/cpd.cif";
  }
  TReportCase(const TReportCase&) = delete;

  // Three ligands around Fe1 close to planar, with su, from a CIF.
  void PlanarThree() {
    Ligands = {AtomLigand(1, "N1", "N", "1_555", 2.0123, 0.0015),
               AtomLigand(2, "N2", "N", "2_655", 2.0456, 0.0016),
               AtomLigand(3, "O1", "O", "1_555", 2.1, 0.003)};
    Angles = {Angle(0, 1, 120.123, 0.05), Angle(1, 2, 119.9, 0.12), Angle(0, 2, 119.87, 0.05)};
    R.Value = 359.893;
    R.Su = 0.12;
    R.SuSecondOrder = 0.11;
    R.SuLinear = 0.048;
    R.Shift = -0.0613;
    R.SuIndependent = 0.13928;
    R.ParametersEntered = true;
  }

  // n ligands N1.. with angles of 90 degrees; no non-linearity.
  void Ligands_(int n) {
    Ligands.clear();
    Angles.clear();
    for (int i = 0; i < n; ++i)
      Ligands.push_back(AtomLigand(1, "N" + std::to_string(i + 1), "N", "1_555", 2.0, 0.001));
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) Angles.push_back(Angle(i, j, 90, 0.1));
    R.Value = 90.0 * static_cast<double>(Angles.size());
    R.Su = 0.2;
    R.SuLinear = 0.2;
    R.SuIndependent = 0.3;
    R.ParametersEntered = true;
  }

  std::vector<std::string> Run() {
    TCollectSink sink;
    Brief = WriteReport(sink, In, Ligands, Angles, R);
    return sink.Lines;
  }
  std::string Brief;
};

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool HasStarting(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

// The tail of the output from the first line equal to `first`.
std::vector<std::string> From(const std::vector<std::string>& lines, const std::string& first) {
  auto it = std::find(lines.begin(), lines.end(), first);
  return std::vector<std::string>(it, lines.end());
}

const char* const kPropagatedNote[] = {
    "Note: the su of the sum was propagated directly from the coordinates",
    "      and the cell, not from the su of the individual angles - these",
    "      are correlated through the shared atoms. Treating them as",
};
const char* const kCifCovarianceNote[] = {
    "      A CIF holds no covariances between the coordinates, so these",
    "      are neglected (as for the calculated angles). For the full",
    "      treatment use the .res together with the SHELXL .mat file.",
};

TEST(WriteReport, ThreeLigandsWithSuFromACif) {
  TReportCase c;
  c.PlanarThree();
  const std::vector<std::string> expected = {
      "",
      "Ligands (3):",
      "  No  Atom            Symmetry    Distance [A]",
      "   1  N1              1_555       2.0123(15)",
      "   2  N2              2_655       2.0456(16)",
      "   3  O1              1_555       2.100(3)",
      "",
      "Bond angles L-M-L (sorted in descending order):",
      "  N1             - Fe1    - N2#2_655           120.12(5)   (calculated)",
      "  N2#2_655       - Fe1    - O1                119.90(12)   (calculated)",
      "  N1             - Fe1    - O1                 119.87(5)   (calculated)",
      "",
      "Sum of the 3 angles around Fe1:",
      "  Sum(L-M-L) = 359.89(12) deg",
      "  360 - Sum  = 0.11(12) deg     (0 = planar; trigonal pyramid with 3 x 109.47: 31.59)",
      "",
      "  Classification: planar within 3 su",
      "",
      "  Non-linearity: the sum is close to an extremum, where its first",
      "  derivatives vanish. Linear propagation alone would give only 0.048 deg;",
      "  the second-order term (84 % of the variance) has been included.",
      "  The distribution is one-sided (the sum cannot exceed its",
      "  maximum): expectation shift = -0.061 deg.",
      "",
      kPropagatedNote[0],
      kPropagatedNote[1],
      kPropagatedNote[2],
      "      independent would give sqrt(sum su^2) = 0.139 deg instead.",
      kCifCovarianceNote[0],
      kCifCovarianceNote[1],
      kCifCovarianceNote[2],
  };
  EXPECT_EQ(c.Run(), expected);
  EXPECT_EQ(c.Brief, "Fe1: CN 3, sum of 3 angles = 359.89(12) deg  [N1 N2#2_655 O1]");
}

TEST(WriteReport, LongNamesOverflowTheirFieldsWhole) {
  TReportCase c;
  c.In.CentralLabel = "Fe1_long_label";
  c.Ligands = {AtomLigand(1, "N1_very_long_label_A", "N", "12_565", 2.0, 0),
               AtomLigand(2, "N2", "N", "1_555", 2.0, 0)};
  c.Angles = {Angle(0, 1, 123456789.5, 0.05)};
  c.R.Value = 1;
  const auto lines = c.Run();
  EXPECT_TRUE(Has(lines, "   1  N1_very_long_label_A  12_565      2.000")) << lines[3];
  EXPECT_TRUE(Has(lines, "  N1_very_long_label_A#12_565 - Fe1_long_label - N2              "
                         "123456789.50(5)   (calculated)"))
      << lines[7];
}

TEST(WriteReport, TwoLigandsUseTheSingular) {
  TReportCase c;
  c.Ligands = {AtomLigand(1, "N1", "N"), AtomLigand(2, "N2", "N")};
  c.Angles = {Angle(0, 1, 178.5, 0.1)};
  c.R.Value = 178.5;
  c.R.Su = 0.1;
  c.R.ParametersEntered = true;
  const auto lines = c.Run();
  EXPECT_TRUE(Has(lines, "Sum of the 1 angle around Fe1:"));
  EXPECT_TRUE(Has(lines, "  Sum(L-M-L) = 178.50(10) deg"));
  EXPECT_FALSE(HasStarting(lines, "  360 - Sum"));
  EXPECT_FALSE(HasStarting(lines, "               (reference"));
  EXPECT_EQ(c.Brief, "Fe1: CN 2, sum of 1 angle = 178.50(10) deg  [N1 N2]");
}

TEST(WriteReport, ThreeLigandClassification) {
  struct Case {
    double value, su;
    const char* sumLine;
    const char* deviationText;
    const char* classification;
  };
  const Case cases[] = {
      {345.0, 0.4, "345.0(4)", "15.0(4)", "  Classification: flattened pyramidal"},
      {352.0, 0.4, "352.0(4)", "8.0(4)",
       "  Classification: nearly planar (significantly pyramidalised)"},
      {330.0, 1.0, "330.0(10)", "30.0(10)", "  Classification: pyramidal"},
      {340.0, 0.1, "340.00(10)", "20.00(10)", "  Classification: flattened pyramidal"},
      {350.0, 0.1, "350.00(10)", "10.00(10)",
       "  Classification: nearly planar (significantly pyramidalised)"},
      {358.5, 0.5, "358.5(5)", "1.5(5)", "  Classification: planar within 3 su"},
      {358.5, 0.4999, "358.5(5)", "1.5(5)",
       "  Classification: nearly planar (significantly pyramidalised)"},
      {360.0, 0.3, "360.0(3)", "0.0(3)", "  Classification: planar within 3 su"},
      // Slightly above 360 within rounding: a deviation of zero, not -0.0000004.
      {360.0000004, 1e-6, "360.0000004(10)", "0.0000000(10)",
       "  Classification: planar within 3 su"},
  };
  for (const Case& k : cases) {
    TReportCase c;
    c.PlanarThree();
    c.R.Value = k.value;
    c.R.Su = k.su;
    c.R.SuSecondOrder = 0;
    const auto lines = c.Run();
    const auto tail = From(lines, std::string("  Sum(L-M-L) = ") + k.sumLine + " deg");
    ASSERT_GE(tail.size(), 4u) << k.value;
    EXPECT_EQ(tail[1], std::string("  360 - Sum  = ") + k.deviationText +
                           " deg     (0 = planar; trigonal pyramid with 3 x 109.47: 31.59)")
        << k.value;
    EXPECT_EQ(tail[2], "");
    EXPECT_EQ(tail[3], k.classification) << k.value << " " << k.su;
  }
}

TEST(WriteReport, NoClassificationWithoutSu) {
  struct Case { bool hasSu, entered; double value; const char* deviation; };
  const Case cases[] = {
      {true, false, 345.0, "15.00"},                 // the input holds no su
      {false, true, 359.9999997, "0.00"},            // no su at all; no negative zero
  };
  for (const Case& k : cases) {
    TReportCase c;
    c.PlanarThree();
    c.In.HasSu = k.hasSu;
    c.R.ParametersEntered = k.entered;
    c.R.Value = k.value;
    c.R.Su = 0;
    c.R.SuSecondOrder = 0;
    const auto lines = c.Run();
    EXPECT_TRUE(Has(lines, std::string("  360 - Sum  = ") + k.deviation +
                               " deg     (0 = planar; trigonal pyramid with 3 x 109.47: 31.59)"))
        << k.value;
    EXPECT_FALSE(HasStarting(lines, "  Classification")) << k.value;
  }
}

TEST(WriteReport, SumFixedBySymmetryIsClassifiedAndExplained) {
  TReportCase c;
  c.PlanarThree();
  c.Angles = {Angle(0, 1, 120, 0), Angle(0, 2, 120, 0), Angle(1, 2, 120, 0, true)};
  c.R.Value = 360.0;
  c.R.Su = 0;
  c.R.SuLinear = 0;
  c.R.SuSecondOrder = 0;
  c.R.ParametersEntered = true;
  const auto lines = c.Run();
  const std::vector<std::string> tail = {
      "  Sum(L-M-L) = 360.00 deg",
      "  360 - Sum  = 0.00 deg     (0 = planar; trigonal pyramid with 3 x 109.47: 31.59)",
      "",
      "  Classification: planar within 3 su",
      "",
      "Note: angles marked (CIF) were taken from the _geom_angle loop.",
      "Note: the sum is fixed by symmetry; its su is zero.",
  };
  EXPECT_EQ(From(lines, tail[0]), tail);
  EXPECT_EQ(c.Brief, "Fe1: CN 3, sum of 3 angles = 360.00 deg  [N1 N2#2_655 O1]");
}

TEST(WriteReport, ZeroSuFromAnInputWithoutSu) {
  TReportCase c;
  c.PlanarThree();
  c.Angles[1].FromCif = true;
  c.R.Su = 0;
  c.R.SuSecondOrder = 0;
  c.R.ParametersEntered = false;
  const auto lines = c.Run();
  const std::vector<std::string> tail = {
      "Note: angles marked (CIF) were taken from the _geom_angle loop.",
      "Note: the input holds no su for the coordinates and cell parameters",
      "      involved, so no su can be given for the sum.",
  };
  EXPECT_EQ(From(lines, tail[0]), tail);
  EXPECT_FALSE(HasStarting(lines, "  Classification"));
  EXPECT_FALSE(HasStarting(lines, "  Non-linearity"));
}

TEST(WriteReport, FourLigandsGiveTheReferenceLine) {
  TReportCase c;
  c.Ligands_(4);
  const auto lines = c.Run();
  const std::vector<std::string> tail = {
      "Sum of the 6 angles around Fe1:",
      "  Sum(L-M-L) = 540.0(2) deg",
      "               (reference: tetrahedral 6 x 109.47 = 656.83, square planar 4 x 90 + 2 x "
      "180 = 720.00)",
      "",
      kPropagatedNote[0],
  };
  const auto from = From(lines, tail[0]);
  ASSERT_GE(from.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(from.begin(), from.begin() + tail.size()), tail);
  EXPECT_FALSE(HasStarting(lines, "  Classification"));
  EXPECT_FALSE(HasStarting(lines, "  360 - Sum"));
}

TEST(WriteReport, FiveLigandsGiveNeitherDeviationNorReference) {
  TReportCase c;
  c.Ligands_(5);
  const auto lines = c.Run();
  const auto tail = From(lines, "Sum of the 10 angles around Fe1:");
  ASSERT_GE(tail.size(), 4u);
  EXPECT_EQ(tail[1], "  Sum(L-M-L) = 900.0(2) deg");
  EXPECT_EQ(tail[2], "");
  EXPECT_EQ(tail[3], kPropagatedNote[0]);
  EXPECT_EQ(c.Brief, "Fe1: CN 5, sum of 10 angles = 900.0(2) deg  [N1 N2 N3 N4 N5]");
}

TEST(WriteReport, InputsWithoutSu) {
  struct Case {
    bool xyz;
    const char* file;
    const char* briefEnd;
    const char* note;
  };
  const Case cases[] = {
      {true, "/tmp/run.d/mol.xyz", "  (no su - from XYZ)",
       "Note: all angles were computed from the Cartesian coordinates."},
      {false, "cpd.res", "  (no su - from RES)",
       "Note: all angles were computed from cell parameters and coordinates."},
      {false, "C:\\data\\cpd.Ins", "  (no su - from INS)",
       "Note: all angles were computed from cell parameters and coordinates."},
  };
  for (const Case& k : cases) {
    TReportCase c;
    c.PlanarThree();
    c.In.HasSu = false;
    c.In.IsXyz = k.xyz;
    c.In.InputFileName = k.file;
    c.Ligands[0].DistSu = 0;
    c.Ligands[1].DistSu = 0;
    c.Ligands[2].DistSu = 0;
    for (TAngleRec& a : c.Angles) a.Su = 0;
    c.R.Su = 0;
    c.R.SuLinear = 0;
    c.R.SuSecondOrder = 0;
    const auto lines = c.Run();
    EXPECT_TRUE(Has(lines, "   2  N2              2_655       2.046"));
    EXPECT_TRUE(Has(lines, "  N2#2_655       - Fe1    - O1                    119.90   (calculated)"));
    EXPECT_TRUE(Has(lines, "  Sum(L-M-L) = 359.89 deg"));
    EXPECT_FALSE(HasStarting(lines, "  Classification"));
    EXPECT_FALSE(HasStarting(lines, "  Non-linearity"));
    const std::vector<std::string> tail = {
        "", k.note, "      No standard uncertainties are given - see the warning above."};
    EXPECT_EQ(From(lines, "  360 - Sum  = 0.11 deg     (0 = planar; trigonal pyramid with 3 x "
                          "109.47: 31.59)")
                  .size(),
              4u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()), tail) << k.file;
    EXPECT_EQ(c.Brief, std::string("Fe1: CN 3, sum of 3 angles = 359.89 deg  [N1 N2#2_655 O1]") +
                           k.briefEnd);
  }
}

TEST(WriteReport, MatrixFileLines) {
  for (int fixed : {0, 2}) {
    TReportCase c;
    c.PlanarThree();
    c.In.InputFileName = "/data/cpd.res";
    c.In.MatFileName = "/data/run1/cpd.mat";
    c.R.FixedCount = fixed;
    const auto lines = c.Run();
    std::vector<std::string> tail = {
        "      independent would give sqrt(sum su^2) = 0.139 deg instead.",
        "      The full variance-covariance matrix of cpd.mat was used,",
        "      so the correlations between the refined coordinates are included.",
    };
    if (fixed > 0) {
      tail.push_back("      2 of the coordinates involved are not free");
      tail.push_back("      parameters (fixed by symmetry or riding); they contribute");
      tail.push_back("      nothing to the su.");
    }
    EXPECT_EQ(From(lines, tail[0]), tail) << fixed;
    EXPECT_EQ(c.Brief, "Fe1: CN 3, sum of 3 angles = 359.89(12) deg  [N1 N2#2_655 O1]");
  }
}

TEST(WriteReport, PublishedAnglesAndTheirPlainSum) {
  struct Case {
    bool allFromCif;
    double computedSum;
    bool plainSumLines;
  };
  const Case cases[] = {
      {true, 359.98, true},    // 360.00 published vs 359.98 computed
      {true, 359.996, false},  // within 0.005
      {false, 359.98, false},  // one angle computed: no plain sum
  };
  for (const Case& k : cases) {
    TReportCase c;
    c.PlanarThree();
    c.Angles = {Angle(0, 1, 120.1, 0.3, true), Angle(1, 2, 120.0, 0.3, k.allFromCif),
                Angle(0, 2, 119.9, 0.3, true)};
    c.R.Value = k.computedSum;
    c.R.SuSecondOrder = 0;
    const auto lines = c.Run();
    EXPECT_TRUE(Has(lines, "  N1             - Fe1    - N2#2_655            120.1(3)   (CIF)"));
    EXPECT_TRUE(Has(lines, std::string("  N2#2_655       - Fe1    - O1                  120.0(3)   ") +
                               (k.allFromCif ? "(CIF)" : "(calculated)")));
    std::vector<std::string> tail = {
        "Note: angles marked (CIF) were taken from the _geom_angle loop."};
    if (k.plainSumLines) {
      tail.push_back(
          "      Their plain sum is 360.00 deg (from the rounded values); the sum above");
      tail.push_back("      is computed from the coordinates.");
    }
    tail.push_back(kPropagatedNote[0]);
    const auto from = From(lines, tail[0]);
    ASSERT_GE(from.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(from.begin(), from.begin() + tail.size()), tail)
        << k.computedSum;
  }
}

TEST(WriteReport, CentroidLigand) {
  TReportCase c;
  TLigand cg;
  cg.Label = "Cg1";
  cg.IsCentroid = true;
  cg.Points = {Site(4, "2_565"), Site(5), Site(6, "3_454"), Site(7), Site(8)};
  cg.Site = cg.Points[0];
  cg.Dist = 1.6502;
  cg.DistSu = 0.0009;
  TLigand cg2 = cg;
  cg2.Label = "Cg2";
  cg2.Points = {Site(1), Site(2)};
  cg2.Site = cg2.Points[0];
  cg2.Element = "H";  // never an atom, whatever it carries
  c.Ligands = {cg, cg2, AtomLigand(3, "O1", "O", "1_555", 2.1, 0.003)};
  c.Angles = {Angle(0, 2, 130, 0.1), Angle(0, 1, 120, 0.1), Angle(1, 2, 110, 0.1)};
  c.R.Value = 360;
  c.R.Su = 0.1;
  const auto lines = c.Run();
  const std::vector<std::string> table = {
      "   1  Cg1             centroid    1.6502(9)",
      "   2  Cg2             centroid    1.6502(9)",
      "   3  O1              1_555       2.100(3)",
      "      Cg1 = centroid of C1#2_565 C2 C3#3_454 C4 C5  (5 atoms, unit weights)",
      "      Cg2 = centroid of N1 N2  (2 atoms, unit weights)",
      "",
      "Bond angles L-M-L (sorted in descending order):",
      "  Cg1            - Fe1    - O1                130.00(10)   (calculated)",
      "  Cg1            - Fe1    - Cg2               120.00(10)   (calculated)",
  };
  const auto from = From(lines, table[0]);
  ASSERT_GE(from.size(), table.size());
  EXPECT_EQ(std::vector<std::string>(from.begin(), from.begin() + table.size()), table);
  EXPECT_FALSE(HasStarting(lines, "  Hydrogen"));
  EXPECT_EQ(c.Brief, "Fe1: CN 3, sum of 3 angles = 360.00(10) deg  [Cg1 Cg2 O1]");
}

TEST(WriteReport, HydrogenNote) {
  for (const char* element : {"h", "D", "He"}) {
    TReportCase c;
    c.PlanarThree();
    c.R.SuSecondOrder = 0;
    c.Ligands[2] = AtomLigand(9, "H1", element, "1_555", 1.6, 0.02);
    const auto lines = c.Run();
    const bool expectNote = std::string(element) != "He";
    const std::vector<std::string> note = {
        "  Classification: planar within 3 su",
        "",
        "  Hydrogen ligand(s): if these were refined riding (AFIX/HFIX), their",
        "  positions follow from the parent geometry - the angles to them and",
        "  thus the sum reflect the constraint, not an observation. Select the",
        "  heavy-atom ligands explicitly to leave them out.",
        "",
        kPropagatedNote[0],
    };
    const auto from = From(lines, note[0]);
    ASSERT_GE(from.size(), 4u);
    if (expectNote) {
      ASSERT_GE(from.size(), note.size());
      EXPECT_EQ(std::vector<std::string>(from.begin(), from.begin() + note.size()), note);
    } else {
      EXPECT_EQ(from[1], "");
      EXPECT_EQ(from[2], kPropagatedNote[0]);
    }
  }
}

TEST(WriteReport, NonLinearityNoteNeedsTenPercentOfTheVariance) {
  struct Case { double su, second, linear, shift; bool note; const char* lines[3]; };
  const Case cases[] = {
      {1.0, 0.3, 0.95, -0.1, false, {}},
      {1.0, 0.5, 0.866, -0.3, true,
       {"  derivatives vanish. Linear propagation alone would give only 0.87 deg;",
        "  the second-order term (25 % of the variance) has been included.",
        "  maximum): expectation shift = -0.30 deg."}},
      {0.0015, 0.0015, 0.0, -0.00123, true,
       {"  derivatives vanish. Linear propagation alone would give only 0.00000 deg;",
        "  the second-order term (100 % of the variance) has been included.",
        "  maximum): expectation shift = -0.00123 deg."}},
  };
  for (const Case& k : cases) {
    TReportCase c;
    c.Ligands_(5);  // written for any number of ligands
    c.R.Su = k.su;
    c.R.SuSecondOrder = k.second;
    c.R.SuLinear = k.linear;
    c.R.Shift = k.shift;
    const auto lines = c.Run();
    const auto from = From(lines, "  Non-linearity: the sum is close to an extremum, where its first");
    if (!k.note) {
      EXPECT_TRUE(from.empty());
      continue;
    }
    ASSERT_GE(from.size(), 5u);
    EXPECT_EQ(from[1], k.lines[0]);
    EXPECT_EQ(from[2], k.lines[1]);
    EXPECT_EQ(from[3], "  The distribution is one-sided (the sum cannot exceed its");
    EXPECT_EQ(from[4], k.lines[2]);
  }
}

TEST(LigandDisplayName, CodeOnlyForAnImageOtherThanTheIdentity) {
  TLigand cg;
  cg.Label = "Cg1";
  cg.IsCentroid = true;
  cg.Site = Site(4, "2_565");
  EXPECT_EQ(LigandDisplayName(AtomLigand(1, "N1", "N")), "N1");
  EXPECT_EQ(LigandDisplayName(AtomLigand(2, "N2", "N", "2_655")), "N2#2_655");
  EXPECT_EQ(LigandDisplayName(cg), "Cg1");
}

TEST(SuDecimals, DecimalsOfTheSuFormat) {
  struct Case { double su; int decimals; };
  const Case cases[] = {
      {0.12, 2}, {2.4, 0}, {1.0, 1}, {0.5, 1},   {0.0015, 4}, {0.00196, 3},
      {25, 0},   {0, 0},   {-1, 0},  {1e-12, 8}, {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const Case& k : cases) EXPECT_EQ(SuDecimals(k.su), k.decimals) << k.su;
}

}  // namespace
}  // namespace koravel
