#include "inputs/shelx_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "inputs_test_files.h"

namespace koravel {
namespace {

using testing::TestData;

const char* const kCell = "CELL 0.71073 10 11 12 90 100 90\n";

bool ReadText(const std::string& text, TShelxData& data, std::string& error) {
  return ReadShelxText(text, "t.res", data, error);
}

TShelxData ReadOk(const std::string& text) {
  TShelxData data;
  std::string error;
  EXPECT_TRUE(ReadText(text, data, error)) << error;
  return data;
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
  EXPECT_EQ(DecodeShelxOcc(-0.5, fv), 0);
  EXPECT_NEAR(DecodeShelxOcc(-21.0, fv), 0.3, 1e-12);
  EXPECT_EQ(DecodeShelxOcc(11.0, fv), 1.0);
  EXPECT_EQ(DecodeShelxValue(21.0, {}), 1.0);  // free variable 2 undefined
}

TEST(ShelxSymmetry, Wrap01) {
  struct Case { double in, out; };
  const Case cases[] = {{-0.25, 0.75}, {1.0, 0},   {1 - 1e-10, 0}, {0.5, 0.5},
                        {-1.5, 0.5},   {2.75, 0.75}, {-1e-10, 0},  {0, 0}};
  for (const Case& c : cases) EXPECT_NEAR(Wrap01(c.in), c.out, 1e-12) << c.in;
}

TEST(ShelxSymmetry, LattCentrings) {
  struct Case { int latt; size_t count; };
  const Case cases[] = {{1, 0}, {-1, 0}, {2, 1}, {3, 2}, {-4, 3}, {5, 1},
                        {6, 1}, {-7, 1}, {0, 0}, {8, 0}, {-2147483647 - 1, 0}};
  for (const Case& c : cases) EXPECT_EQ(LattCentrings(c.latt).size(), c.count) << c.latt;
  EXPECT_EQ(LattCentrings(-7)[0], (TVec3{0.5, 0.5, 0}));
  EXPECT_EQ(LattCentrings(3)[1], (TVec3{1.0 / 3, 2.0 / 3, 2.0 / 3}));
}

TEST(ShelxSymmetry, SameSymOpComparesTranslationsModuloOne) {
  TSymOp a = IdentitySymOp(), b = IdentitySymOp();
  struct Case { TVec3 ta, tb; bool same; };
  const Case cases[] = {
      {{1.0 / 3, 0, 0}, {0.3333333, 0, 0}, true},  // seven decimals, either order
      {{0.3333333, 0, 0}, {1.0 / 3, 0, 0}, true},
      {{0, 0.5, 0}, {0, 0.5, 1}, true},
      {{0, 0, 0.999999999}, {0, 0, 0}, true},
      {{0, 0, 0.5}, {0, 0, 0}, false},
      {{0, 0, 0.00001}, {0, 0, 0}, false},
  };
  for (const Case& c : cases) {
    a.Trans = c.ta;
    b.Trans = c.tb;
    EXPECT_EQ(SameSymOp(a, b), c.same) << c.ta[0] << " " << c.tb[0];
  }
  b = IdentitySymOp();
  b.Rot[0][0] = -1;
  EXPECT_FALSE(SameSymOp(IdentitySymOp(), b));
}

std::vector<TSymOp> Generate(int latt, const std::vector<std::string>& symm) {
  std::vector<TSymOp> ops;
  EXPECT_TRUE(GenerateShelxSymOps(latt, symm, ops));
  return ops;
}

TEST(ShelxSymmetry, CentrosymmetricMonoclinicInOrder) {
  std::vector<TSymOp> ops = Generate(1, {"-X,1/2+Y,1/2-Z"});
  ASSERT_EQ(ops.size(), 4u);
  const TVec3 diag[4] = {{1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}, {1, -1, 1}};
  const TVec3 trans[4] = {{0, 0, 0}, {0, 0.5, 0.5}, {0, 0, 0}, {0, 0.5, 0.5}};
  for (int k = 0; k < 4; ++k) {
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ops[k].Rot[i][i], diag[k][i]) << k;
    EXPECT_EQ(ops[k].Trans, trans[k]) << k;
    EXPECT_EQ(ops[k].Num, k + 1);
    EXPECT_EQ(ops[k].Code, std::to_string(k + 1) + "_555");
  }
}

TEST(ShelxSymmetry, OperatorCounts) {
  struct Case { int latt; std::vector<std::string> symm; size_t count; };
  const Case cases[] = {
      {-7, {}, 2},  // identity and the C-centring translation
      {4, {}, 8},   // identity, inversion, three centrings of each
      {-1, {}, 1},
      {2, {"-X,-Y,Z"}, 8},
      {3, {"-Y,X-Y,Z", "-X+Y,-X,Z"}, 18},
      // A centring written out as SYMM to seven decimals is the centring itself.
      {-3, {"X+0.6666667,Y+0.3333333,Z+0.3333333"}, 3},
      {1, {"not an operator 1..2", "X,Y,Z+1/0"}, 2},  // unparsable cards are skipped
  };
  for (const Case& c : cases) EXPECT_EQ(Generate(c.latt, c.symm).size(), c.count) << c.latt;
  std::vector<TSymOp> ops = Generate(-7, {});
  EXPECT_EQ(ops[1].Trans, (TVec3{0.5, 0.5, 0}));
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

TEST(ShelxReader, ContinuationLinesJoin) {
  TShelxData data = ReadOk(std::string(kCell) + "SFAC C\nC1 1 0.1 0.2 =\n    0.3 11.0 0.05\n");
  ASSERT_EQ(data.Atoms.size(), 1u);
  EXPECT_EQ(data.Atoms[0].Frac, (TVec3{0.1, 0.2, 0.3}));
  EXPECT_EQ(data.Atoms[0].Occ, 1.0);
}

TEST(ShelxReader, AtomLinesAndScatteringFactors) {
  TShelxData data = ReadOk(std::string(kCell) +
                           "SFAC C H N O\n"
                           "SFAC CL 11.46 0.01 7.19 1.17 6.26 18.52 1.65 47.78 -9.56 0 0 0 1 35.45\n"
                           "FVAR 1.0 junk 0.6 0.25\n"
                           "N1 3 0.1 0.2 0.3\n"
                           "Cl1 5 0.1 0.2 0.3 21.0 0.05\n"
                           "O1 4 0.1 0.2 0.3 -21.0\n"
                           "O2 4 0.1 0.2 0.3 31.0\n"
                           "O3 4 0.1 0.2 0.3 xx\n"
                           "Q 1 0.1 0.2 0.3\n"
                           "Q1A 1 0.5 0.5 0.5\n"
                           "Q3 1 0.5 0.5 0.5\n"
                           "C0 0 0.1 0.2 0.3\n"
                           "C9 6 0.1 0.2 0.3\n"
                           "C8 1e300 0.1 0.2 0.3\n"
                           "C7 1 0.1 0.2\n"
                           "C6 1 0.1 0.2 abc\n"
                           "H1 1.5 0.1 0.2 0.3\n");
  struct Expect { const char* label; const char* element; double occ; };
  const Expect expected[] = {{"N1", "N", 1.0},  {"Cl1", "Cl", 0.6}, {"O1", "O", 0.4},
                             {"O2", "O", 0.25}, {"O3", "O", 1.0},   {"Q", "C", 1.0},
                             {"Q1A", "C", 1.0},
                             {"H1", "H", 1.0}};
  ASSERT_EQ(data.Atoms.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(data.Atoms[i].Label, expected[i].label);
    EXPECT_EQ(data.Atoms[i].Element, expected[i].element) << expected[i].label;
    EXPECT_NEAR(data.Atoms[i].Occ, expected[i].occ, 1e-12) << expected[i].label;
  }
}

TEST(ShelxReader, StopsAtEndAndHklf) {
  for (const char* stop : {"HKLF 4", "END", "end"}) {
    TShelxData data = ReadOk(std::string(kCell) + "SFAC C\nC1 1 0.1 0.2 0.3\n" + stop +
                             "\nC2 1 0.1 0.2 0.3\nTITL late\n");
    EXPECT_EQ(data.Atoms.size(), 1u) << stop;
    EXPECT_EQ(data.Title, "") << stop;
  }
}

TEST(ShelxReader, TitleCellLattice) {
  TShelxData data = ReadOk(
      "TITL old\nTITL  abc in P2(1)/c\nCELL 0.71 5 6 7 80 95 100\nZERR 2 0.1 0.2 0.3 x 0.05 0.06\n"
      "LATT 2.5\nSYMM -X, Y ,\t-Z\nSFAC C\nC1 1 0 0 0\n");
  EXPECT_EQ(data.Title, "abc in P2(1)/c");
  const TCell& c = data.Cell;
  EXPECT_EQ((std::vector<double>{c.A, c.B, c.C, c.Alpha, c.Beta, c.Gamma}),
            (std::vector<double>{5, 6, 7, 80, 95, 100}));
  EXPECT_EQ((std::vector<double>{c.SuA, c.SuB, c.SuC, c.SuAlpha, c.SuBeta, c.SuGamma}),
            (std::vector<double>{0.1, 0.2, 0.3, 0, 0.05, 0.06}));
  EXPECT_EQ(data.SymOps.size(), 8u);  // 2.5 rounds to 2: centrosymmetric I, one SYMM
  // A lattice number beyond the integer range is no number: LATT stays 1.
  EXPECT_EQ(ReadOk(std::string(kCell) + "LATT 1e300\nSFAC C\nC1 1 0 0 0\n").SymOps.size(), 2u);
  EXPECT_EQ(ReadOk(std::string(kCell) + "LATT 3.5\nSFAC C\nC1 1 0 0 0\n").SymOps.size(), 8u);
}

TEST(ShelxReader, Failures) {
  const std::string atom = "SFAC C\nC1 1 0 0 0\n";
  struct Case { std::string text; const char* message; };
  const Case cases[] = {
      {atom, "no CELL card found in t.res."},
      {"CELL 0.71 5 6\n" + atom, "no CELL card found in t.res."},
      {"CELL 0.71 0 6 7 90 90 90\n" + atom, "cell parameters in t.res are unusable."},
      {"CELL 0.71 5 6 7 90 180 90\n" + atom, "cell parameters in t.res are unusable."},
      {"CELL 0.71 5 6 7 0 90 90\n" + atom, "cell parameters in t.res are unusable."},
      {"CELL 0.71 5 6 7 120 120 120\n" + atom, "cell parameters in t.res are unusable."},
      {"CELL 0.71 5 6 -7 90 90 90\n" + atom, "cell parameters in t.res are unusable."},
      {"CELL 0.71 5 6 7 nan 90 90\n" + atom, ""},  // not a number: the angle stays 90
      {std::string(kCell) + "SFAC C\nQ1 1 0 0 0\n", "no atoms found in t.res."},
      {std::string(kCell) + "C1 1 0 0 0\nSFAC C\n", "no atoms found in t.res."},
      {"", "no CELL card found in t.res."},
  };
  for (const Case& c : cases) {
    TShelxData data;
    std::string error;
    EXPECT_EQ(ReadText(c.text, data, error), *c.message == 0) << c.text;
    EXPECT_EQ(error, c.message) << c.text;
  }
  TShelxData data;
  std::string error;
  EXPECT_FALSE(ReadShelxFile(TestData("no-such-file.res"), data, error));
  EXPECT_EQ(error.rfind("cannot read " + TestData("no-such-file.res") + ": ", 0), 0u) << error;
}

TEST(ShelxReader, TooManySymmCardsFailInsteadOfStalling) {
  std::string text = kCell;
  text += "LATT 4\n";
  for (int i = 0; i < 20000; ++i) text += "SYMM X,Y,Z+0." + std::to_string(100000 + i) + "\n";
  text += "SFAC C\nC1 1 0 0 0\n";
  TShelxData data;
  std::string error;
  EXPECT_FALSE(ReadText(text, data, error));
  EXPECT_EQ(error, "too many SYMM cards in t.res (a space group has at most 192 operators).");
}

TEST(ShelxReader, RealFileFm3m) {
  TShelxData data;
  std::string error;
  ASSERT_TRUE(ReadShelxFile(TestData("NaCl.res"), data, error)) << error;
  EXPECT_EQ(data.Title, "CF solution in Fm-3m");
  EXPECT_EQ(data.Cell.A, 5.641087);
  EXPECT_EQ(data.Cell.SuC, 0.000051);
  EXPECT_EQ(data.SymOps.size(), 192u);
  EXPECT_EQ(data.SymOps.back().Code, "192_555");
  ASSERT_EQ(data.Atoms.size(), 2u);  // the Q-peaks after END are not read
  EXPECT_EQ(data.Atoms[1].Label, "NA1");
  EXPECT_EQ(data.Atoms[1].Element, "Na");
  EXPECT_EQ(data.Atoms[1].Frac, (TVec3{0.5, 0, 0}));
  EXPECT_NEAR(data.Atoms[1].Occ, 0.02083, 1e-12);  // a site occupation factor
}

TEST(ShelxReader, RealFileRhombohedralWithFreeVariables) {
  TShelxData data;
  std::string error;
  ASSERT_TRUE(ReadShelxFile(TestData("2240189.res"), data, error)) << error;
  EXPECT_EQ(data.Title, "");
  EXPECT_EQ(data.SymOps.size(), 36u);
  std::map<std::string, double> occ;
  for (const TShelxAtom& a : data.Atoms) occ[a.Label] = a.Occ;
  EXPECT_NEAR(occ["CL1"], 0.5 * 0.77327, 1e-9);
  EXPECT_NEAR(occ["CL1'"], 0.5 * (1 - 0.77327), 1e-9);
  EXPECT_NEAR(occ["O2'"], 1 - 0.77327, 1e-9);
  TShelxData thpp;
  ASSERT_TRUE(ReadShelxFile(TestData("thpp.ins"), thpp, error)) << error;
  EXPECT_EQ(thpp.SymOps.size(), 4u);
  for (const TShelxAtom& a : thpp.Atoms) {
    if (a.Label != "N3") continue;
    EXPECT_EQ(a.Occ, 0.5);  // 31.0 with free variable 3 = 0.5
  }
}

}  // namespace
}  // namespace koravel
