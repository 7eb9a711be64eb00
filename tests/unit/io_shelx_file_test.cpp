#include "io/shelx_file.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "crystal/group_ops.h"
#include "crystal/site_symmetry.h"
#include "test_support.h"

namespace koravel {
namespace {

using testing::ErrorOf;
using testing::TestData;

const char* const kCell = "CELL 0.71073 10 11 12 90 100 90\n";

TShelxFile Read(const std::string& text) { return ReadShelxText(text, "t.res"); }

std::map<std::string, double> Occupancies(const TStructure& s) {
  std::map<std::string, double> occ;
  for (const TAtom& a : s.Atoms) occ[a.Label] = a.Occ;
  return occ;
}

TEST(ShelxDecode, FreeVariableNotation) {
  const std::vector<double> fv = {0.5, 0.7};
  struct Case { double coded, decoded; };
  const Case cases[] = {
      {21.0, 0.7},  {-21.0, 0.3}, {20.5, 0.35}, {31.0, 1.0},  {-10.5, -0.5}, {15.0, -3.5},
      {11.0, 1.0},  {10.5, 0.5},  {0.25, 0.25}, {-4.99, -4.99}, {-5.0, -5.0}, {-31.0, -1.0},
      {10.16667, 0.16667},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(DecodeShelxValue(c.coded, fv), c.decoded, 1e-9) << c.coded;
  EXPECT_EQ(DecodeShelxValue(21.0, {}), 1.0);  // free variable 2 undefined
}

std::vector<TSymOp> Generate(int latt, const std::vector<std::string>& symm) {
  std::vector<TSymOp> ops;
  for (const std::string& text : symm) ops.push_back(Reduced(ParseSymOp(text, "test")));
  return ShelxSymOps(latt, ops);
}

TEST(ShelxSymmetry, CentrosymmetricMonoclinicInOrder) {
  const std::vector<TSymOp> ops = Generate(1, {"-X,1/2+Y,1/2-Z"});
  ASSERT_EQ(ops.size(), 4u);
  const TIntVec3 diag[4] = {{1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}, {1, -1, 1}};
  const TIntVec3 trans[4] = {{0, 0, 0}, {0, 12, 12}, {0, 0, 0}, {0, 12, 12}};
  for (int k = 0; k < 4; ++k) {
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ops[k].Rot[i][i], diag[k][i]) << k;
    EXPECT_EQ(ops[k].Trans, trans[k]) << k;
    EXPECT_EQ(ops[k].Number, k + 1);
  }
}

TEST(ShelxSymmetry, OperatorCounts) {
  struct Case { int latt; std::vector<std::string> symm; size_t count; };
  const Case cases[] = {
      {-7, {}, 2},  // identity and the C-centring translation
      {4, {}, 8},   // identity, inversion, three centrings of each
      {-1, {}, 1},
      {1, {}, 2},
      {2, {"-X,-Y,Z"}, 8},
      {-5, {}, 2},
      {6, {}, 4},
      {3, {"-Y,X-Y,Z", "-X+Y,-X,Z"}, 18},
      // A centring written out as SYMM to seven decimals is the centring itself.
      {-3, {"X+0.6666667,Y+0.3333333,Z+0.3333333"}, 3},
      // The same operator twice in SYMM stays twice: users address them by number.
      {-1, {"-X,-Y,Z", "-X,-Y,Z+1"}, 3},
      {0, {}, 1},
      {8, {}, 2},
      {-2147483647 - 1, {}, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(Generate(c.latt, c.symm).size(), c.count) << c.latt;
  EXPECT_EQ(Generate(-7, {})[1].Trans, (TIntVec3{12, 12, 0}));
  EXPECT_EQ(Generate(3, {})[2].Trans, (TIntVec3{16, 8, 8}));
}

TEST(ShelxGrammar, Names) {
  for (const char* name : {"TITL", "l.s.", "rem", "Hklf", "WIGL", "END", "afix", "EQIV"})
    EXPECT_TRUE(IsShelxInstruction(name)) << name;
  for (const char* name : {"TITLE", "C1", "", "LS", "Q1", "ENDS"})
    EXPECT_FALSE(IsShelxInstruction(name)) << name;
  for (const char* token : {"Q1", "q12", "Q007"}) EXPECT_TRUE(IsQPeak(token)) << token;
  for (const char* token : {"Q", "Q1A", "C1", "QQ1", ""}) EXPECT_FALSE(IsQPeak(token)) << token;
  struct Case { const char* token; const char* name; };
  const Case cases[] = {{"CL", "Cl"}, {"fe", "Fe"}, {"C", "C"}, {"Fe2+", "Fe"}, {"1", ""},
                        {"$H", ""}};
  for (const Case& c : cases) EXPECT_EQ(SfacName(c.token), c.name) << c.token;
}

TEST(ShelxReader, AtomLinesAndScatteringFactors) {
  const TShelxFile f = Read(std::string(kCell) +
                            "SFAC C H N O\n"
                            "SFAC CL 11.46 0.01 7.19 1.17 6.26 18.52 1.65 47.78 -9.56 0 0 0 1 35.45\n"
                            "FVAR 1.0 junk 0.6 0.25\n"
                            "N1 3 0.1 0.2 =\n    0.3 11.0 0.05\n"
                            "Cl1 5 0.1 0.2 0.3 21.0 0.05\n"
                            "O1 4 0.1 0.2 0.3 -21.0\n"
                            "O2 4 0.1 0.2 0.3 31.0\n"
                            "O3 4 0.1 0.2 0.3 xx\n"
                            "O4 4 0.1 0.2 0.3 -0.5 ! a comment\n"
                            "Q 1 0.1 0.2 0.3\n"
                            "Q1A 1 0.1 0.2 0.3\n"
                            "Q3 1 0.5 0.5 0.5\n"
                            "C0 0 0.1 0.2 0.3\n"
                            "C9 6 0.1 0.2 0.3\n"
                            "C8 1e300 0.1 0.2 0.3\n"
                            "C7 1 0.1 0.2\n"
                            "C6 1 0.1 0.2 abc\n"
                            "H1 1.5 10.1 0.2 0.3\n");
  struct Expect { const char* label; const char* element; double occ; };
  const Expect expected[] = {{"N1", "N", 1.0},  {"Cl1", "Cl", 0.6}, {"O1", "O", 0.4},
                             {"O2", "O", 0.25}, {"O3", "O", 1.0},   {"O4", "O", 0.0},
                             {"Q", "C", 1.0},   {"Q1A", "C", 1.0},  {"H1", "H", 1.0}};
  const std::vector<TAtom>& atoms = f.Structure.Atoms;
  ASSERT_EQ(atoms.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(atoms[i].Label, expected[i].label);
    EXPECT_EQ(atoms[i].Element, expected[i].element) << expected[i].label;
    EXPECT_NEAR(atoms[i].Occ, expected[i].occ, 1e-12) << expected[i].label;
  }
  EXPECT_EQ(atoms[0].Frac, (TVec3{0.1, 0.2, 0.3}));  // joined at "="
  EXPECT_NEAR(atoms.back().Frac[0], 0.1, 1e-12);     // a fixed coordinate
}

TEST(ShelxReader, StopsAtEndAndHklf) {
  for (const char* stop : {"HKLF 4", "END", "end"}) {
    const TShelxFile f = Read(std::string(kCell) + "SFAC C\nC1 1 0.1 0.2 0.3\n" + stop +
                              "\nC2 1 0.1 0.2 0.3\nTITL late\nSYMM bad\n");
    EXPECT_EQ(f.Structure.Atoms.size(), 1u) << stop;
    EXPECT_EQ(f.Title, "") << stop;
  }
}

TEST(ShelxReader, TitleCellLattice) {
  const TShelxFile f = Read(
      "TITL old\nTITL  abc in P2(1)/c\nCELL 0.71 5 6 7 80 95 100\nZERR 2 0.1 0.2 0.3 x 0.05 0.06\n"
      "LATT 2.5\nSYMM -X, Y ,\t-Z ! comment\nSFAC C\nC1 1 0 0 0\n");
  EXPECT_EQ(f.Title, "abc in P2(1)/c");
  const TCell& c = f.Structure.Cell;
  EXPECT_EQ((std::vector<double>{c.A, c.B, c.C, c.Alpha, c.Beta, c.Gamma}),
            (std::vector<double>{5, 6, 7, 80, 95, 100}));
  EXPECT_EQ((std::vector<double>{c.SuA, c.SuB, c.SuC, c.SuAlpha, c.SuBeta, c.SuGamma}),
            (std::vector<double>{0.1, 0.2, 0.3, 0, 0.05, 0.06}));
  EXPECT_EQ(f.Structure.SymOps.size(), 8u);  // 2.5 rounds to 2: centrosymmetric I, one SYMM
  // A lattice number beyond the integer range is no number: LATT stays 1.
  EXPECT_EQ(Read(std::string(kCell) + "LATT 1e300\nSFAC C\nC1 1 0 0 0\n").Structure.SymOps.size(), 2u);
  EXPECT_EQ(Read(std::string(kCell) + "LATT 3.5\nSFAC C\nC1 1 0 0 0\n").Structure.SymOps.size(), 8u);
}

TEST(ShelxReader, Failures) {
  const std::string atom = "SFAC C\nC1 1 0 0 0\n";
  std::string tooMany = std::string(kCell) + "LATT 4\n";
  for (int i = 0; i <= kMaxShelxSymmCards; ++i) tooMany += "SYMM X,Y,Z\n";
  struct Case { std::string text; const char* message; };
  const Case cases[] = {
      {atom, "no CELL card found in t.res."},
      {"", "no CELL card found in t.res."},
      {"CELL 0.71 5 6\n" + atom, "no CELL card found in t.res."},
      {"CELL 0.71 0 6 7 90 90 90\n" + atom, "t.res, line 1: the cell parameters are unusable."},
      {"CELL 0.71 5 6 7 90 180 90\n" + atom, "t.res, line 1: the cell parameters are unusable."},
      {"CELL 0.71 5 6 7 nan 90 90\n" + atom, "(no error)"},  // not a number: the angle stays 90
      {std::string(kCell) + "SFAC C\nQ1 1 0 0 0\n", "no atoms found in t.res."},
      {std::string(kCell) + "C1 1 0 0 0\nSFAC C\n", "no atoms found in t.res."},
      {std::string(kCell) + "SYMM X,Y\nSYMM 1/2+X,Y,Z\n" + atom,
       "t.res, line 2: symmetry operator \"X,Y\" (SYMM card 1) cannot be read: it needs exactly "
       "three parts separated by commas."},
      {std::string(kCell) + "SYMM -X,-Y,Z\nSYMM X,Y,Z+1/0\n" + atom,
       "t.res, line 3: symmetry operator \"X,Y,Z+1/0\" (SYMM card 2) cannot be read: the "
       "fraction 1/0 is no number."},
      {tooMany + atom, "t.res, line 195: too many SYMM cards (a space group has at most 192 operators)."},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf([&] { Read(c.text); }), c.message) << c.text;
  EXPECT_EQ(ErrorOf([] { ReadShelxFile(TestData("no-such-file.res")); }),
            "cannot read " + TestData("no-such-file.res") + ": No such file or directory");
}

TEST(ShelxReader, RealFileFm3m) {
  const TShelxFile f = ReadShelxFile(TestData("NaCl.res"));
  EXPECT_EQ(f.Title, "CF solution in Fm-3m");
  EXPECT_EQ(f.Structure.Cell.A, 5.641087);
  EXPECT_EQ(f.Structure.Cell.SuC, 0.000051);
  EXPECT_EQ(f.Structure.SymOps.size(), 192u);
  EXPECT_EQ(f.Structure.SymOps.back().Number, 192);
  ASSERT_EQ(f.Structure.Atoms.size(), 2u);  // the Q-peaks after END are not read
  EXPECT_EQ(f.Structure.Atoms[1].Label, "NA1");
  EXPECT_EQ(f.Structure.Atoms[1].Element, "Na");
  EXPECT_EQ(f.Structure.Atoms[1].Frac, (TVec3{0.5, 0, 0}));
}

// Site occupation factors on special positions become occupancies.
TEST(ShelxReader, SpecialPositionOccupancies) {
  struct Case { const char* file; const char* label; double occ; };
  const Case cases[] = {
      {"NaCl.res", "NA1", 1.0},       // 10.02083 on m-3m in Fm-3m (48 of 192)
      {"NaCl.res", "CL1", 1.0},
      {"2240189.res", "FE1", 1.0},    // 10.16667 on -3 in R-3c
      {"2240189.res", "O4", 1.0},     // 10.5 on a two-fold axis
      {"2240189.res", "O1", 1.0},     // general position
      {"2240189.res", "CL1", 0.77327},   // 20.5 on a two-fold axis, fv(2) = 0.77327
      {"2240189.res", "CL1'", 1 - 0.77327},
      {"2240189.res", "O2'", 1 - 0.77327},
      {"thpp.ins", "N3", 0.5},        // 31.0 with free variable 3 = 0.5
  };
  for (const Case& c : cases)
    EXPECT_NEAR(Occupancies(ReadShelxFile(TestData(c.file)).Structure)[c.label], c.occ, 1e-9)
        << c.file << " " << c.label;
  EXPECT_EQ(ReadShelxFile(TestData("2240189.res")).Structure.SymOps.size(), 36u);
  EXPECT_EQ(ReadShelxFile(TestData("thpp.ins")).Structure.SymOps.size(), 4u);
}

TEST(SiteSymmetry, OrderAndOccupancy) {
  const std::vector<TSymOp> ops = DistinctSymOps(ReadShelxFile(TestData("NaCl.res")).Structure.SymOps);
  EXPECT_EQ(ops.size(), 192u);  // centring translations are no lattice translations
  struct Case { TVec3 frac; int order; };
  const Case cases[] = {{{0.5, 0, 0}, 48}, {{0, 0, 0}, 48}, {{0.25, 0.25, 0.25}, 24},
                        {{0.11, 0.23, 0.37}, 1}, {{0.5005, 1, -1}, 48}, {{0.502, 0, 0}, 8}};
  for (const Case& c : cases) EXPECT_EQ(SiteSymmetryOrder(c.frac, ops), c.order) << c.frac[0];
  struct Occ { double sof; int order; double occ; };
  const Occ occs[] = {{0.02083, 48, 1.0}, {0.16667, 6, 1.0}, {0.5, 2, 1.0}, {0.25, 2, 0.5},
                      {0.38664, 2, 0.77328}, {0.99984, 1, 0.99984}, {0.0104, 48, 0.4992}};
  for (const Occ& o : occs) EXPECT_NEAR(SiteOccupancy(o.sof, o.order), o.occ, 1e-12) << o.sof;
}

}  // namespace
}  // namespace koravel
