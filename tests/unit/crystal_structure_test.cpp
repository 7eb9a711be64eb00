#include "crystal/structure.h"

#include <gtest/gtest.h>

#include "crystal/cell.h"
#include "test_support.h"

namespace koravel {
namespace {

using testing::MakeAtom;
using testing::MakeCell;
using testing::MakeStructure;

TEST(FindAtom, Lookups) {
  TStructure s;
  for (const char* label : {"Fe1", "C1\"", "N1", "n1", "O1''", "Mg\"\""}) s.Atoms.push_back(MakeAtom(label, "", {}));
  const struct { const char* name; int index; } cases[] = {
      {"fe1", 0},     {"FE1", 0},   {"C1''", 1},      {"N1", 2}, {"n1", 2},
      {"O1''", 4},    // found as typed before any replacement
      {"Mg''''", 5},  // each pair becomes one double quote
      {" Fe1", -1},   {"Fe1 ", -1}, {"Fe", -1},       {"", -1},  {"C1'", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindAtom(s, c.name), c.index) << c.name;
    if (c.index >= 0) {
      EXPECT_TRUE(LabelMatches(s.Atoms[c.index].Label, c.name)) << c.name;
    }
  }
  EXPECT_FALSE(LabelMatches("C1\"", "C1'"));
}

TEST(WithIdentity, AppendedOnlyWhenMissing) {
  TSymOp inversion = ParseSymOp("-x,-y,-z", "test");
  inversion.Number = 4;
  const std::vector<TSymOp> without = WithIdentity({inversion});
  ASSERT_EQ(without.size(), 2u);
  EXPECT_TRUE(IsIdentity(without[1]));
  EXPECT_EQ(without[1].Number, 5);
  EXPECT_EQ(WithIdentity(without).size(), 2u);
  EXPECT_EQ(WithIdentity({}).front().Number, 1);
  // x+1,y,z is the identity too; the atom's own site is translated back.
  TStructure s;
  s.SymOps = WithIdentity({ParseSymOp("x+1,y,z", "test")});
  s.Atoms.push_back(TAtom{});
  s.Atoms[0].Frac = {0.1, 0.2, 0.3};
  ASSERT_EQ(s.SymOps.size(), 1u);
  EXPECT_EQ(AtomSite(s, 0).Cell, (TIntVec3{-1, 0, 0}));
  EXPECT_DOUBLE_EQ(SitePosition(s, AtomSite(s, 0))[0], 0.1);
}

TEST(SitePosition, OperatorThenTranslationThenCell) {
  const TStructure s = MakeStructure(MakeCell(10, 12, 15, 90, 100, 90), {"-x,-y,-z", "x,y,z"},
                                     {MakeAtom("A", "C", {0.5, 0.25, 0.1})});
  EXPECT_EQ(AtomSite(s, 0).Op, 1);  // the identity, wherever it stands
  const TSiteRef image{0, 0, {1, 0, 0}};
  const TVec3 f = SitePosition(s, image);
  EXPECT_DOUBLE_EQ(f[0], 0.5);
  EXPECT_DOUBLE_EQ(f[1], -0.25);
  EXPECT_DOUBLE_EQ(f[2], -0.1);
  const TVec3 r = SiteCartesian(s, TSiteRef{0, 1, {1, 0, 0}}, OrthoMatrix(s.Cell));
  EXPECT_NEAR(r[0], 14.739528, 1e-6);
  EXPECT_NEAR(r[1], 3.0, 1e-6);
  EXPECT_NEAR(r[2], 1.477212, 1e-6);
}

TEST(SameSite, PositionsDecideUnlessOperatorsAreIdentical) {
  // Atom 0 on an inversion centre, atom 1 at a general position, atoms 2 and
  // 3 close to a twofold axis along y; operator 3 repeats the identity.
  const TStructure s = MakeStructure(
      MakeCell(10, 10, 10), {"x,y,z", "-x,-y,-z", "-x,y,-z+1/2", "x,y,z"},
      {MakeAtom("A", "C", {0, 0, 0}), MakeAtom("B", "C", {0.1, 0.2, 0.3}),
       MakeAtom("C", "C", {0.0004, 0.25, 0.25}), MakeAtom("D", "C", {0.0006, 0.25, 0.25})});
  const struct {
    const char* what;
    TSiteRef a, b;
    bool same;
  } cases[] = {
      {"one atom, one operator", {1, 0, {}}, {1, 0, {}}, true},
      {"different atoms", {0, 0, {}}, {1, 0, {}}, false},
      {"atom on the inversion centre", {0, 0, {}}, {0, 1, {}}, true},
      {"general atom and its inverse", {1, 0, {}}, {1, 1, {}}, false},
      {"lattice translation", {0, 0, {}}, {0, 0, {1, 0, 0}}, false},
      {"inverse of a translated image", {0, 0, {-1, 0, 0}}, {0, 1, {1, 0, 0}}, false},
      {"operator repeated in the list", {1, 0, {0, 1, 0}}, {1, 3, {0, 1, 0}}, true},
      {"within 0.001", {2, 0, {}}, {2, 2, {}}, true},
      {"beyond 0.001", {3, 0, {}}, {3, 2, {}}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameSite(s, c.a, c.b), c.same) << c.what;
    EXPECT_EQ(SameSite(s, c.b, c.a), c.same) << c.what;
  }
}

}  // namespace
}  // namespace koravel
