#include "crystal/symop.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "crystal/sym_code.h"
#include "test_support.h"

namespace koravel {
namespace {

using testing::ErrorOf;
using testing::MakeAtom;
using testing::MakeCell;
using testing::MakeStructure;

TEST(ParseSymOp, ExactRotationAndTwentyFourthsOfTranslation) {
  const struct {
    const char* text;
    TIntMat3 rot;
    TIntVec3 trans;
  } cases[] = {
      {"-x+1/2,-y,z+1/2", {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}}, {12, 0, 12}},
      {"x-y,x,z", {{{1, -1, 0}, {1, 0, 0}, {0, 0, 1}}}, {0, 0, 0}},
      {"-x+y,-x,z+1/6", {{{-1, 1, 0}, {-1, 0, 0}, {0, 0, 1}}}, {0, 0, 4}},
      {"1/2+x,1/2-y,0.25+z", {{{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}}, {12, 12, 6}},
      {"X,Y,Z", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}},
      {" \t x , y , z \r", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}},
      {"-y+x,y,-z+3/4", {{{1, -1, 0}, {0, 1, 0}, {0, 0, -1}}}, {0, 0, 18}},
      {"2*x-x,y,z-1", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, -24}},
      // Decimals as files write thirds and sixths; blanks inside a fraction.
      {"x+0.3333,y+0.6666667,z+.5", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {8, 16, 12}},
      {"x+1 / 8,y+5/12,z-1/24", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {3, 10, -1}},
  };
  for (const auto& c : cases) {
    const TSymOp op = ParseSymOp(c.text, "test");
    EXPECT_EQ(op.Rot, c.rot) << c.text;
    EXPECT_EQ(op.Trans, c.trans) << c.text;
    EXPECT_EQ(SymOpOfText(c.text), op) << c.text;
  }
}

TEST(ParseSymOp, AnythingElseIsAnError) {
  const struct { const char* text; const char* reason; } cases[] = {
      {"x,y", "it needs exactly three parts separated by commas"},
      {"x,y,z,w", "it needs exactly three parts separated by commas"},
      {"", "it needs exactly three parts separated by commas"},
      {"x,,z", "one of its three parts is empty"},
      {"x,y,z+w", "\"w\" is not x, y, z or a number"},
      {"'x',y,z", "\"'\" is not x, y, z or a number"},
      {"--x,y,z", "two signs stand together"},
      {"x+,y,z", "a sign stands at the end of a part"},
      {"x+1.2.3,y,z", "\"1.2.3\" is no number"},
      {"x+1/0,y,z", "the fraction 1/0 is no number"},
      {"x,y,z+1/", "the fraction 1/ is no number"},
      {"x,y,z+0.3", "the translation 0.300000 is no multiple of 1/24"},
      {"x,y,z+1e30", "\"e\" is not x, y, z or a number"},
      {"x,y,z+99999999", "the translation 99999999.000000 is no multiple of 1/24"},
      {"1/2x,y,z", "the factor 1/2 of x is no small integer"},
      {"24x+x,y,z", "its terms in x add up to a factor beyond 24"},
      {"x,y,-24z-z", "its terms in z add up to a factor beyond 24"},
      {"25x,y,z", "the factor 25 of x is no small integer"},
      {"2x,2*y,z", "its rotation part has determinant 4, not +1 or -1"},
      {"x,x,z", "its rotation part has determinant 0, not +1 or -1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorOf([&] { ParseSymOp(c.text, "row 2 of the operator loop"); }),
              "symmetry operator \"" + std::string(Trim(c.text)) +
                  "\" (row 2 of the operator loop) cannot be read: " + c.reason + ".")
        << c.text;
    EXPECT_FALSE(SymOpOfText(c.text)) << c.text;
  }
}

TEST(SymOps, ProductAppliesTheRightFactorFirst) {
  const struct { const char* a; const char* b; const char* ab; } cases[] = {
      {"-y,x,z", "x+1/2,-y,z", "y,x+1/2,z"},
      {"x+1/2,-y,z", "-y,x,z", "-y+1/2,-x,z"},
      {"-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y+1/2,z+1/2"},
      {"z,x,y", "x+1/4,y,z+1", "z+1,x+1/4,y"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Product(ParseSymOp(c.a, "test"), ParseSymOp(c.b, "test")), ParseSymOp(c.ab, "test"))
        << c.a << " after " << c.b;
}

// The change of basis of a fuzzed Hall symbol (determinant 1, translations
// near ±41,666 cells): its exact inverse has a translation of -2.2e9
// twenty-fourths, beyond int, which is an error rather than a wrapped number;
// with the translation reduced the inverse is exact.
TEST(SymOps, InverseIsExactOrAnError) {
  const TSymOp v = ParseSymOp(
      "-5x-24y-24z+41666+2/3,14x-23y+22z-41666-2/3,-14x+21y-23z-41666-2/3", "test");
  EXPECT_NE(ErrorOf([&] { Inverse(v); }).find("inverse of the symmetry operator"),
            std::string::npos);
  const TSymOp reduced = Reduced(v);
  EXPECT_TRUE(IsIdentity(Product(reduced, Inverse(reduced))));
  EXPECT_TRUE(IsIdentity(Product(Inverse(reduced), reduced)));
}

// m·adj(m) = adj(m)·m = det(m)·I; the integer and long long forms agree.
TEST(SymOps, DeterminantAndAdjugate) {
  const struct { TIntMat3 m; long long det; } cases[] = {
      {{{{0, -1, 0}, {1, -1, 0}, {0, 0, 1}}}, 1},               // 3-fold along c
      {{{{0, 1, 0}, {-1, 1, 0}, {0, 0, -1}}}, -1},              // -3 along c
      {{{{12, 12, 0}, {-12, 12, 0}, {0, 0, 24}}}, 6912},        // 24·(C to P), det 24³/2
      {{{{16, -8, -8}, {8, 8, -16}, {8, 8, 8}}}, 4608},         // 24·(R obverse to hexagonal), 24³/3
      {{{{2, -3, 1}, {5, 4, -2}, {-1, 7, 6}}}, 199},
      {{{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}}, 0},
  };
  for (const auto& c : cases) {
    TLongMat3 wide{};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) wide[i][j] = c.m[i][j];
    EXPECT_EQ(Determinant(c.m), c.det);
    EXPECT_EQ(Determinant(wide), c.det);
    const TLongMat3 adj = Adjugate(c.m);
    EXPECT_EQ(Adjugate(wide), adj);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        long long left = 0, right = 0;
        for (int k = 0; k < 3; ++k) {
          left += wide[i][k] * adj[k][j];
          right += adj[i][k] * wide[k][j];
        }
        EXPECT_EQ(left, i == j ? c.det : 0) << c.det << " at " << i << j;
        EXPECT_EQ(right, i == j ? c.det : 0) << c.det << " at " << i << j;
      }
  }
}

// V·op·V^-1 in the settings of International Tables, and the faults of an
// operator that has no integral form in the new basis.
TEST(SymOps, ChangeOfBasis) {
  const TLongMat3 unit = {{{24, 0, 0}, {0, 24, 0}, {0, 0, 24}}};
  const TChangeOfBasis cToN{{{{24, 0, -24}, {0, 24, 0}, {0, 0, 24}}}, {}};   // x-z,y,z
  const TChangeOfBasis shift{unit, {0, 0, -2}};                              // x,y,z-1/12
  const TChangeOfBasis cToP{{{{12, 12, 0}, {-12, 12, 0}, {0, 0, 24}}}, {}};  // (x+y)/2,(-x+y)/2,z
  const TChangeOfBasis aThird{{{{8, 0, 0}, {0, 24, 0}, {0, 0, 24}}}, {}};    // x/3,y,z
  const TChangeOfBasis aHalf{{{{12, 0, 0}, {0, 24, 0}, {0, 0, 24}}}, {}};    // x/2,y,z
  const TChangeOfBasis a25{{{{600, 0, 0}, {0, 24, 0}, {0, 0, 24}}}, {}};     // 25x,y,z
  const struct { const char* op; TChangeOfBasis basis; const char* image; TBasisFault fault; } cases[] = {
      {"-x,y+1/2,-z+1/2", cToN, "-x+1/2,y+1/2,-z+1/2", TBasisFault::None},  // P 21/c to P 21/n
      {"x,-y,-z", shift, "x,-y,-z+5/6", TBasisFault::None},
      {"y,x,-z", cToP, "x,-y,-z", TBasisFault::None},
      {"x+1/2,y+1/2,z", cToP, "x+1/2,y,z", TBasisFault::None},  // the C centring
      {"x+1,y,z", aHalf, "x+1/2,y,z", TBasisFault::None},       // an old cell edge
      {"-y,x,z", aHalf, "", TBasisFault::FractionalRotation},
      {"x+y,y,z", a25, "", TBasisFault::LargeRotation},
      {"x+1/24,y,z", aThird, "", TBasisFault::FractionalTranslation},
  };
  for (const auto& c : cases) {
    TSymOp op = ParseSymOp(c.op, "test");
    op.Number = 7;
    const TTransformedOp r = Transformed(op, c.basis);
    EXPECT_EQ(r.Fault, c.fault) << c.op;
    if (c.fault != TBasisFault::None) continue;
    EXPECT_EQ(r.Op, Reduced(ParseSymOp(c.image, "test"))) << c.op << " gives " << SymOpText(r.Op);
    EXPECT_EQ(r.Op.Number, 7);
  }
}

TEST(ApplySymOp, RotationThenTranslationThenCell) {
  const TSymOp op = ParseSymOp("-x+1/2,-y,z+1/2", "test");
  const TVec3 r = ApplySymOp(op, {0.1, 0.2, 0.3}, {1, 0, -2});
  EXPECT_DOUBLE_EQ(r[0], 1.4);
  EXPECT_DOUBLE_EQ(r[1], -0.2);
  EXPECT_DOUBLE_EQ(r[2], -1.2);
}

TEST(SymOps, ComparedModuloLattice) {
  const TSymOp a = ParseSymOp("x+1/2,y-1/3,-z", "test");
  EXPECT_EQ(Reduced(a).Trans, (TIntVec3{12, 16, 0}));
  EXPECT_TRUE(SameModLattice(a, ParseSymOp("x-1/2,y+2/3,-z+2", "test")));
  EXPECT_FALSE(SameModLattice(a, ParseSymOp("x+1/2,y-1/3,z", "test")));
  EXPECT_FALSE(SameModLattice(a, ParseSymOp("x,y-1/3,-z", "test")));
  EXPECT_TRUE(IsIdentity(ParseSymOp("x,y,z", "test")));
  EXPECT_FALSE(IsIdentity(ParseSymOp("x,y,z+1", "test")));
}

TEST(SymCode, OperatorNumberAndTranslations) {
  TStructure s = MakeStructure(MakeCell(10, 10, 10), {"x,y,z", "-x,-y,-z"}, {MakeAtom("A", "C", {})});
  s.SymOps[1].Number = 12;
  const struct { TSiteRef site; const char* code; } cases[] = {
      {{0, 0, {1, 0, -1}}, "1_654"}, {{0, 1, {1, -1, 0}}, "12_645"}, {{0, 0, {5, 0, 0}}, "1_10_5_5"},
      {{0, 0, {-6, 0, 0}}, "1_-1_5_5"}, {{0, 1, {0, 0, 0}}, "12_555"}, {{0, 0, {-5, 4, 0}}, "1_095"},
  };
  for (const auto& c : cases) EXPECT_EQ(SymCode(s, c.site), c.code);
}

TEST(ResolveSymCode, ReadsOperatorAndTranslation) {
  TStructure s = MakeStructure(MakeCell(10, 10, 10), {"x,y,z", "-x,-y,-z"},
                               {MakeAtom("A", "C", {}), MakeAtom("B", "C", {})});
  const struct { const char* code; int op; TIntVec3 cell; } cases[] = {
      {"2_655", 1, {1, 0, 0}}, {"1_555", 0, {0, 0, 0}},  {"2_000", 1, {-5, -5, -5}},
      {"1_999", 0, {4, 4, 4}}, {"02_564", 1, {0, 1, -1}}, {"1_10_5_5", 0, {5, 0, 0}},
      {"2_-1_5_15", 1, {-6, 0, 10}},
  };
  for (const auto& c : cases) {
    const std::optional<TSiteRef> site = ResolveSymCode(s, 1, c.code);
    ASSERT_TRUE(site) << c.code;
    EXPECT_EQ(site->Atom, 1) << c.code;
    EXPECT_EQ(site->Op, c.op) << c.code;
    EXPECT_EQ(site->Cell, c.cell) << c.code;
    EXPECT_EQ(SymCode(s, *site), c.code[0] == '0' ? std::string(c.code + 1) : c.code);
  }
  for (const char* code : {"3_555", "0_555", "_555", "a_555", "1_55", "1_5555", "1555", "",
                           "1_5a5", "-1_555", "1_ 55", "1_555 ", " 1_555", "1__555", "1_5_5",
                           "1_5_5_5_5", "1_5__5_5", "1_5_5_", "1_10_5_x", "1_99999999999_5_5"})
    EXPECT_FALSE(ResolveSymCode(s, 0, code)) << code;
}

TEST(NormalizeSymCode, FullCodes) {
  const struct { const char* value; const char* code; } cases[] = {
      {" 2 ", "2_555"}, {"3", "3_555"},   {"?", "1_555"},        {".", "1_555"},
      {"", "1_555"},    {" \t", "1_555"}, {" 3_655 ", "3_655"}, {"12_565", "12_565"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeSymCode(c.value), c.code) << c.value;
}

}  // namespace
}  // namespace koravel
