#include "report/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "crystal/sym_code.h"
#include "test_support.h"

namespace koravel {
namespace {

// Atoms 0 Fe1, 1 N1, 2 N2, 3 O1, 4 C1 .. 8 C5, 9 H1, 10 N3; the operators
// are numbered 1, 2, 3 and 12. The report reads only labels and codes.
TStructure ReportStructure() {
  std::vector<TAtom> atoms;
  for (const char* label : {"Fe1", "N1", "N2", "O1", "C1", "C2", "C3", "C4", "C5", "H1", "N3"})
    atoms.push_back(testing::MakeAtom(label, "", {}));
  TStructure s = testing::MakeStructure(testing::MakeCell(10, 10, 10),
                                        {"x,y,z", "-x,-y,-z", "x,-y,z", "-x,y,z"}, atoms);
  s.SymOps[3].Number = 12;
  return s;
}

struct TReportCase {
  TSource Source;
  TModel In;
  TAnalysis A;
  TCentre& Centre = A.Centre;
  std::vector<TLigand>& Ligands = A.Ligands.List;
  std::vector<TValue>& Distances = A.Distances;
  TAngles& Angles = A.Angles;
  std::string Brief;

  TReportCase() {
    Source.FileName = "/data/cpd.cif";
    In.Structure = ReportStructure();
    Centre = TCentre{{0, 0, {}}, "Fe1", "Fe", false};
  }

  TSiteRef Site(int atom, const char* code = "1_555") const {
    return *ResolveSymCode(In.Structure, atom, code);
  }

  void AddLigand(int atom, const std::string& label, const std::string& element,
                 const char* code = "1_555", double dist = 2.0, double distSu = 0) {
    TLigand l;
    l.Site = Site(atom, code);
    l.Label = label;
    l.Element = element;
    l.Members = {l.Site};
    Ligands.push_back(l);
    Distances.push_back({dist, distSu});
  }

  void SetSum(double value, double su, double linear, double second) {
    Angles.Sum.Value = value;
    Angles.Sum.Su = su;
    Angles.Sum.SuLinear = linear;
    Angles.Sum.SuSecondOrder = second;
    Angles.Sum.ParametersEntered = true;
  }

  // Three ligands around Fe1 close to planar, with su, from a CIF.
  void PlanarThree() {
    AddLigand(1, "N1", "N", "1_555", 2.0123, 0.0015);
    AddLigand(2, "N2", "N", "2_655", 2.0456, 0.0016);
    AddLigand(3, "O1", "O", "1_555", 2.1, 0.003);
    Angles.List = {{0, 1, 120.123, 0.05}, {1, 2, 119.9, 0.12}, {0, 2, 119.87, 0.05}};
    SetSum(359.893, 0.12, 0.048, 0.11);
    Angles.Sum.Shift = -0.0613;
    Angles.SuIndependent = 0.13928;
  }

  // n ligands N1.. with angles of 90 degrees; no non-linearity.
  void RightAngles(int n) {
    for (int i = 0; i < n; ++i)
      AddLigand(1, std::string("N") += std::to_string(i + 1), "N", "1_555", 2.0, 0.001);
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) Angles.List.push_back({i, j, 90, 0.1});
    SetSum(90.0 * static_cast<double>(Angles.List.size()), 0.2, 0.2, 0);
    Angles.SuIndependent = 0.3;
  }

  // The classification as the analysis makes it, then the report.
  std::vector<std::string> Run() {
    testing::TLineCollector sink;
    A.SumFixedBySymmetry = In.HasSu && Angles.Sum.ParametersEntered && Angles.Sum.Su == 0;
    A.Planarity = Ligands.size() == 3 ? PlanarityOf(Angles.Sum, A.SumFixedBySymmetry) : TPlanarity::Unknown;
    WriteAnalysis(sink, Source, In, A);
    Brief = BriefLine(Source, In, A);
    return sink.Lines;
  }
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

const char* const kPropagatedNote =
    "Note: the su of the sum was propagated directly from the coordinates";

TEST(WriteReport, LongNamesOverflowTheirFieldsWhole) {
  TReportCase c;
  c.Centre.Label = "Fe1_long_label";
  c.AddLigand(1, "N1_very_long_label_A", "N", "12_565");
  c.AddLigand(2, "N2", "N");
  c.Angles.List = {{0, 1, 123456789.5, 0.05}};
  c.Angles.Sum.Value = 1;
  const auto lines = c.Run();
  EXPECT_TRUE(Has(lines, "   1  N1_very_long_label_A  12_565      2.000")) << lines[3];
  EXPECT_TRUE(Has(lines, "  N1_very_long_label_A#12_565 - Fe1_long_label - N2              "
                         "123456789.50(5)   (calculated)"))
      << lines[7];
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
    c.SetSum(k.value, k.su, k.su, 0);
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
    c.SetSum(k.value, 0, 0, 0);
    c.Angles.Sum.ParametersEntered = k.entered;
    const auto lines = c.Run();
    EXPECT_TRUE(Has(lines, std::string("  360 - Sum  = ") + k.deviation +
                               " deg     (0 = planar; trigonal pyramid with 3 x 109.47: 31.59)"))
        << k.value;
    EXPECT_FALSE(HasStarting(lines, "  Classification")) << k.value;
  }
}

TEST(WriteReport, InputsWithoutSu) {
  struct Case {
    bool cartesian;
    const char* type;
    const char* briefEnd;
    const char* note;
  };
  const Case cases[] = {
      {true, "XYZ", "  (no su - from XYZ)",
       "Note: all angles were computed from the Cartesian coordinates."},
      {false, "RES", "  (no su - from RES)",
       "Note: all angles were computed from cell parameters and coordinates."},
  };
  for (const Case& k : cases) {
    TReportCase c;
    c.PlanarThree();
    c.In.HasSu = false;
    c.Source.Cartesian = k.cartesian;
    c.Source.FileType = k.type;
    for (TValue& d : c.Distances) d.Su = 0;
    for (TAngle& a : c.Angles.List) a.Su = 0;
    c.SetSum(c.Angles.Sum.Value, 0, 0, 0);
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
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()), tail) << k.type;
    EXPECT_EQ(c.Brief, std::string("Fe1: CN 3, sum of 3 angles = 359.89 deg  [N1 N2#2_655 O1]") +
                           k.briefEnd);
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
    c.Angles.List = {{0, 1, 120.1, 0.3, true}, {1, 2, 120.0, 0.3, k.allFromCif},
                     {0, 2, 119.9, 0.3, true}};
    c.Angles.Sum.Value = k.computedSum;
    c.Angles.Sum.SuSecondOrder = 0;
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
    tail.push_back(kPropagatedNote);
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
  cg.Members = {c.Site(4, "2_565"), c.Site(5), c.Site(6, "3_454"), c.Site(7), c.Site(8)};
  cg.Site = cg.Members[0];
  TLigand cg2 = cg;
  cg2.Label = "Cg2";
  cg2.Members = {c.Site(1), c.Site(2)};
  cg2.Site = cg2.Members[0];
  cg2.Element = "H";  // never an atom, whatever it carries
  c.Ligands = {cg, cg2};
  c.Distances = {{1.6502, 0.0009}, {1.6502, 0.0009}};
  c.AddLigand(3, "O1", "O", "1_555", 2.1, 0.003);
  c.Angles.List = {{0, 2, 130, 0.1}, {0, 1, 120, 0.1}, {1, 2, 110, 0.1}};
  c.SetSum(360, 0.1, 0.1, 0);
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
    c.Angles.Sum.SuSecondOrder = 0;
    c.Ligands[2].Site = c.Site(9);
    c.Ligands[2].Members = {c.Ligands[2].Site};
    c.Ligands[2].Label = "H1";
    c.Ligands[2].Element = element;
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
        kPropagatedNote,
    };
    const auto from = From(lines, note[0]);
    ASSERT_GE(from.size(), 4u);
    if (expectNote) {
      ASSERT_GE(from.size(), note.size());
      EXPECT_EQ(std::vector<std::string>(from.begin(), from.begin() + note.size()), note);
    } else {
      EXPECT_EQ(from[1], "");
      EXPECT_EQ(from[2], kPropagatedNote);
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
    c.RightAngles(5);  // written for any number of ligands
    c.SetSum(c.Angles.Sum.Value, k.su, k.linear, k.second);
    c.Angles.Sum.Shift = k.shift;
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

}  // namespace
}  // namespace koravel
