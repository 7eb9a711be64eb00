#include "geom/symop.h"

#include <gtest/gtest.h>

#include "cif/sym_code.h"
#include "geom/cell.h"
#include "geom/sym_code.h"

namespace koravel {
namespace {

TSymOp Parsed(const char* text, int num = 1, const char* code = "1_555") {
  TSymOp op;
  EXPECT_TRUE(ParseSymOp(text, op)) << text;
  op.Num = num;
  op.Code = code;
  return op;
}

TEST(ParseSymOp, ExpressionForms) {
  const struct {
    const char* text;
    TMat3 rot;
    TVec3 trans;
  } cases[] = {
      {"-x+1/2,-y,z+1/2", {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}}, {0.5, 0, 0.5}},
      {"x-y,x,z", {{{1, -1, 0}, {1, 0, 0}, {0, 0, 1}}}, {0, 0, 0}},
      {"2x,2*y,z", {{{2, 0, 0}, {0, 2, 0}, {0, 0, 1}}}, {0, 0, 0}},
      {"1/2+x,1/2-y,0.25+z", {{{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}}, {0.5, 0.5, 0.25}},
      {"X,Y,Z", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}},
      {" \t x , y , z \r", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}},
      {"x,y", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 0}}}, {0, 0, 0}},
      {"x,y,z,w", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}},
      {"--x,y,z", {{{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}},  // no double negation
      {"'x', y+.5, z-1", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0.5, -1}},
      {"-y+x,y,-z+3/4", {{{1, -1, 0}, {0, 1, 0}, {0, 0, -1}}}, {0, 0, 0.75}},
  };
  for (const auto& c : cases) {
    TSymOp op;
    op.Num = 7;
    op.Code = "7_655";
    ASSERT_TRUE(ParseSymOp(c.text, op)) << c.text;
    EXPECT_EQ(op.Rot, c.rot) << c.text;
    EXPECT_EQ(op.Trans, c.trans) << c.text;
    EXPECT_EQ(op.Num, 1) << c.text;
    EXPECT_EQ(op.Code, "1_555") << c.text;
  }
}

TEST(ParseSymOp, RejectsBadNumbers) {
  for (const char* text : {"x+1.2.3,y,z", "x+1/0,y,z", "x,y+1/..,z", "x,y,z+1/"}) {
    TSymOp op;
    EXPECT_FALSE(ParseSymOp(text, op)) << text;
  }
}

TEST(ApplySymOp, RotationThenTranslation) {
  const TSymOp op = Parsed("-x+1/2,-y,z+1/2");
  const TVec3 r = ApplySymOp(op, {0.1, 0.2, 0.3});
  EXPECT_DOUBLE_EQ(r[0], 0.4);
  EXPECT_DOUBLE_EQ(r[1], -0.2);
  EXPECT_DOUBLE_EQ(r[2], 0.8);
}

TEST(SiteCartesian, OrthogonalisesTheImage) {
  TCell cell;
  cell.A = 10;
  cell.B = 12;
  cell.C = 15;
  cell.Beta = 100;
  const TVec3 r = SiteCartesian({0.5, 0.25, 0.1}, TranslatedSymOp(IdentitySymOp(), 1, 0, 0),
                                OrthoMatrix(cell));
  EXPECT_NEAR(r[0], 14.739528, 1e-6);
  EXPECT_NEAR(r[1], 3.0, 1e-6);
  EXPECT_NEAR(r[2], 1.477212, 1e-6);
}

TEST(TranslatedSymOp, CodesAndTranslations) {
  const struct { int num, ta, tb, tc; const char* code; } cases[] = {
      {1, 1, 0, -1, "1_654"}, {2, 1, -1, 0, "2_645"}, {1, 5, 0, 0, "1_1055"},
      {1, -6, 0, 0, "1_-155"}, {12, 0, 0, 0, "12_555"},
  };
  for (const auto& c : cases) {
    TSymOp base = Parsed("-x,y+1/2,-z", c.num, "ignored");
    const TSymOp op = TranslatedSymOp(base, c.ta, c.tb, c.tc);
    EXPECT_EQ(op.Code, c.code);
    EXPECT_EQ(op.Num, c.num);
    EXPECT_EQ(op.Rot, base.Rot);
    EXPECT_EQ(op.Trans, (TVec3{0.0 + c.ta, 0.5 + c.tb, 0.0 + c.tc})) << c.code;
  }
}

TEST(ResolveSymCode, ReadsOperatorAndTranslation) {
  const std::vector<TSymOp> ops = {IdentitySymOp(), Parsed("-x,-y,-z", 2, "2_555")};
  const struct { const char* code; int num; TVec3 trans; } cases[] = {
      {"2_655", 2, {1, 0, 0}}, {"1_555", 1, {0, 0, 0}},  {"2_000", 2, {-5, -5, -5}},
      {"1_999", 1, {4, 4, 4}}, {"02_564", 2, {0, 1, -1}},
  };
  for (const auto& c : cases) {
    TSymOp op;
    ASSERT_TRUE(ResolveSymCode(ops, c.code, op)) << c.code;
    EXPECT_EQ(op.Num, c.num) << c.code;
    EXPECT_EQ(op.Rot, ops[c.num - 1].Rot) << c.code;
    EXPECT_EQ(op.Trans, c.trans) << c.code;
  }
  TSymOp op;
  ASSERT_TRUE(ResolveSymCode(ops, "2_645", op));
  EXPECT_EQ(op.Code, "2_645");
}

TEST(ResolveSymCode, RejectsMalformedCodes) {
  const std::vector<TSymOp> one = {IdentitySymOp()};
  for (const char* code : {"2_555", "0_555", "_555", "a_555", "1_55", "1_5555", "1555", "",
                           "1_5a5", "-1_555", "1_ 55", "1_555 ", " 1_555", "1__555"}) {
    TSymOp op;
    EXPECT_FALSE(ResolveSymCode(one, code, op)) << code;
  }
}

TEST(NormalizeSymCode, FullCodes) {
  const struct { const char* value; const char* code; } cases[] = {
      {" 2 ", "2_555"}, {"3", "3_555"},   {"?", "1_555"},        {".", "1_555"},
      {"", "1_555"},    {" \t", "1_555"}, {" 3_655 ", "3_655"}, {"12_565", "12_565"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeSymCode(c.value), c.code) << c.value;
}

TEST(SameSite, PositionsDecideUnlessOperatorsAreIdentical) {
  // Atom 0 on an inversion centre, atom 1 at a general position, atom 2 close
  // to a twofold axis along y.
  const std::vector<TVec3> frac = {{0, 0, 0}, {0.1, 0.2, 0.3}, {0.0004, 0.25, 0.25}, {0.0006, 0.25, 0.25}};
  const TSymOp id = IdentitySymOp();
  const TSymOp inversion = Parsed("-x,-y,-z", 2, "2_555");
  const TSymOp twofold = Parsed("-x,y,-z+1/2", 3, "3_555");
  // A file whose first operator is not the identity gives its images code 1_555 too.
  const TSymOp firstNotIdentity = Parsed("-x,-y,-z", 1, "1_555");
  const struct {
    const char* what;
    TSiteRef a, b;
    bool same;
  } cases[] = {
      {"one atom, one operator", {1, id}, {1, id}, true},
      {"different atoms", {0, id}, {1, id}, false},
      {"atom on the inversion centre", {0, id}, {0, inversion}, true},
      {"general atom and its inverse", {1, id}, {1, inversion}, false},
      {"lattice translation", {0, id}, {0, TranslatedSymOp(id, 1, 0, 0)}, false},
      {"equal codes, different operators", {1, id}, {1, firstNotIdentity}, false},
      {"equal codes, operator fixes the atom", {0, id}, {0, firstNotIdentity}, true},
      {"within 0.001", {2, id}, {2, twofold}, true},
      {"beyond 0.001", {3, id}, {3, twofold}, false},
      {"index outside the list", {9, id}, {9, inversion}, false},
      {"negative index", {-1, id}, {-1, inversion}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameSite(frac, c.a, c.b), c.same) << c.what;
    EXPECT_EQ(SameSite(frac, c.b, c.a), c.same) << c.what;
  }
}

}  // namespace
}  // namespace koravel
