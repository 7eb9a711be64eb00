#include "crystal/hall_symbol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "crystal/space_group_table.h"
#include "test_support.h"

namespace koravel {
namespace {

using testing::ErrorOf;

// Order of each group 1..230 on hexagonal axes: International Tables A's
// point-group order times the centring's multiplicity (checked so by
// tests/tools/make_space_group_table.py against gemmi's operator counts).
constexpr int kGroupOrder[231] = {0,
    1, 2, 2, 2, 4, 2, 2, 4, 4, 4, 4, 8, 4, 4, 8, 4, 4, 4, 4, 8, 8, 16, 8, 8, 4, 4, 4, 4, 4, 4,
    4, 4, 4, 4, 8, 8, 8, 8, 8, 8, 8, 16, 16, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
    8, 8, 16, 16, 16, 16, 16, 16, 32, 32, 16, 16, 16, 16, 4, 4, 4, 4, 8, 8, 4, 8, 8, 8, 8, 8,
    16, 16, 8, 8, 8, 8, 8, 8, 8, 8, 16, 16, 8, 8, 8, 8, 8, 8, 8, 8, 16, 16, 16, 16, 8, 8, 8, 8,
    8, 8, 8, 8, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16,
    32, 32, 32, 32, 3, 3, 3, 9, 6, 18, 6, 6, 6, 6, 6, 6, 18, 6, 6, 6, 6, 18, 18, 12, 12, 12, 12,
    36, 36, 6, 6, 6, 6, 6, 6, 6, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,
    24, 24, 24, 24, 12, 48, 24, 12, 24, 24, 24, 96, 96, 48, 24, 48, 24, 24, 96, 96, 48, 24, 24,
    48, 24, 96, 48, 24, 96, 48, 48, 48, 48, 48, 192, 192, 192, 192, 96, 96};

std::vector<TSymOp> Ops(const std::vector<std::string>& texts) {
  std::vector<TSymOp> ops;
  for (const std::string& t : texts) ops.push_back(Reduced(ParseSymOp(t, "test")));
  return ops;
}

bool SameSet(std::vector<TSymOp> a, std::vector<TSymOp> b) {
  auto key = [](const TSymOp& op) { return std::make_pair(op.Rot, op.Trans); };
  auto less = [&](const TSymOp& x, const TSymOp& y) { return key(x) < key(y); };
  std::sort(a.begin(), a.end(), less);
  std::sort(b.begin(), b.end(), less);
  return a == b;
}

// Each setting gives a group: its order of distinct reduced operators, each
// with its exact inverse, closed under the product modulo the lattice.
TEST(HallSymbol, EverySettingIsAGroupOfItsOrder) {
  int standardSettings = 0;
  for (const TSpaceGroupSetting& s : SpaceGroupSettings()) {
    EXPECT_TRUE(HallSymbolReads(s.Hall)) << s.Hall;
    const std::vector<TSymOp> ops = HallSymbolOperators(s.Hall);
    const size_t order = kGroupOrder[s.Number] / (s.Ext == "R" ? 3 : 1);
    ASSERT_EQ(ops.size(), order) << s.Hm << " " << s.Hall;
    EXPECT_TRUE(IsIdentity(ops[0])) << s.Hall;
    std::set<std::pair<TIntMat3, TIntVec3>> set;
    for (size_t i = 0; i < ops.size(); ++i) {
      EXPECT_EQ(ops[i], Reduced(ops[i])) << s.Hall;
      EXPECT_EQ(ops[i].Number, static_cast<int>(i) + 1);
      EXPECT_TRUE(IsIdentity(Product(ops[i], Inverse(ops[i])))) << s.Hall << " op " << i + 1;
      EXPECT_TRUE(IsIdentity(Product(Inverse(ops[i]), ops[i]))) << s.Hall << " op " << i + 1;
      set.emplace(ops[i].Rot, ops[i].Trans);
    }
    ASSERT_EQ(set.size(), ops.size()) << s.Hall;  // reduced, so distinct modulo the lattice
    for (const TSymOp& a : ops)
      for (const TSymOp& b : ops) {
        const TSymOp ab = Reduced(Product(a, b));
        ASSERT_TRUE(set.count({ab.Rot, ab.Trans})) << s.Hall << ": not closed";
      }
    if (&s == SpaceGroupSettings().data() || (&s)[-1].Number != s.Number) ++standardSettings;
  }
  EXPECT_EQ(standardSettings, 230);
  // The further settings, with gemmi's operator counts.
  constexpr size_t kFurtherOrder[] = {2, 2, 2, 4, 2, 4, 4, 4, 8, 4, 4, 4, 4, 4, 16, 16, 16, 16, 32, 16, 16, 64};
  ASSERT_EQ(FurtherSpaceGroupSettings().size(), std::size(kFurtherOrder));
  for (size_t i = 0; i < std::size(kFurtherOrder); ++i)
    EXPECT_EQ(HallSymbolOperators(FurtherSpaceGroupSettings()[i].Hall).size(), kFurtherOrder[i])
        << FurtherSpaceGroupSettings()[i].Hm;
}

TEST(HallSymbol, KnownOperatorsInInternationalTablesOrder) {
  // P 21/c: (0,0,0)+ in the order of International Tables A.
  EXPECT_EQ(HallSymbolOperators("-P 2ybc"),
            Ops({"x,y,z", "-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y+1/2,z+1/2"}));
  // C 2/c: the (0,0,0)+ set, then its (1/2,1/2,0)+ copy.
  EXPECT_EQ(HallSymbolOperators(" -C 2yc "),
            Ops({"x,y,z", "-x,y,-z+1/2", "-x,-y,-z", "x,-y,z+1/2", "x+1/2,y+1/2,z",
                 "-x+1/2,y+1/2,-z+1/2", "-x+1/2,-y+1/2,-z", "x+1/2,-y+1/2,z+1/2"}));
  const struct {
    const char* hall;
    std::vector<std::string> ops;
  } sets[] = {
      // P 61 2 2 with the origin moved by -c/12 (the 2-fold axes at z=0, 1/12...).
      {"P 61 2 (0 0 -1)",
       {"x,y,z", "x-y,x,z+1/6", "-y,x-y,z+1/3", "-x,-y,z+1/2", "-x+y,-x,z+2/3", "y,-x+y,z+5/6",
        "x-y,-y,-z", "x,x-y,-z+1/6", "y,x,-z+1/3", "-x+y,y,-z+1/2", "-x,-x+y,-z+2/3",
        "-y,-x,-z+5/6"}},
      {"R 3 2\"", {"x,y,z", "-y,x-y,z", "-x+y,-x,z", "y,x,-z", "x-y,-y,-z", "-x,-x+y,-z",
                   "x+2/3,y+1/3,z+1/3", "-y+2/3,x-y+1/3,z+1/3", "-x+y+2/3,-x+1/3,z+1/3",
                   "y+2/3,x+1/3,-z+1/3", "x-y+2/3,-y+1/3,-z+1/3", "-x+2/3,-x+y+1/3,-z+1/3",
                   "x+1/3,y+2/3,z+2/3", "-y+1/3,x-y+2/3,z+2/3", "-x+y+1/3,-x+2/3,z+2/3",
                   "y+1/3,x+2/3,-z+2/3", "x-y+1/3,-y+2/3,-z+2/3", "-x+1/3,-x+y+2/3,-z+2/3"}},
      // P 21/n from P 21/c by a change of basis, as SHELXL writes it.
      {"-P 2ybc (x-z,y,z)", {"x,y,z", "-x+1/2,y+1/2,-z+1/2", "-x,-y,-z", "x+1/2,-y+1/2,z+1/2"}},
      // The change of basis V applied as V·op·V^-1, like an origin shift.
      {"P 2 (x-z,y,z)", {"x,y,z", "-x-2z,-y,z"}},
      {"P 4 (x,y,z-1/12)", {"x,y,z", "-y,x,z", "-x,-y,z", "y,-x,z"}},
      {"P 2x (x,y,z-1/12)", {"x,y,z", "x,-y,-z-1/6"}},
      {"P 2x (0 0 -1)", {"x,y,z", "x,-y,-z-1/6"}},
      // A 1 2/a 1 from C 1 2/c 1: the centring moves from (1/2,1/2,0) to (0,1/2,1/2).
      {"-C 2yc (z,y,-x)", {"x,y,z", "-x+1/2,y,-z", "-x,-y,-z", "x+1/2,-y,z", "x,y+1/2,z+1/2",
                           "-x+1/2,y+1/2,-z+1/2", "-x,-y+1/2,-z+1/2", "x+1/2,-y+1/2,z+1/2"}},
      // R 3 2 on rhombohedral axes: 2-fold axes along a-b after the body diagonal.
      {"P 3* 2", {"x,y,z", "z,x,y", "y,z,x", "-y,-x,-z", "-x,-z,-y", "-z,-y,-x"}},
      // P 4/n n c, origin choice 1: the inversion centre at 1/4,1/4,1/4.
      {"P 4 2 -1n",
       {"x,y,z", "-x,-y,z", "-y,x,z", "y,-x,z", "-x,y,-z", "x,-y,-z", "y,x,-z", "-y,-x,-z",
        "-x+1/2,-y+1/2,-z+1/2", "x+1/2,y+1/2,-z+1/2", "y+1/2,-x+1/2,-z+1/2",
        "-y+1/2,x+1/2,-z+1/2", "x+1/2,-y+1/2,z+1/2", "-x+1/2,y+1/2,z+1/2",
        "-y+1/2,-x+1/2,z+1/2", "y+1/2,x+1/2,z+1/2"}},
  };
  for (const auto& c : sets) EXPECT_TRUE(SameSet(HallSymbolOperators(c.hall), Ops(c.ops))) << c.hall;
}

// Symbols as files write them, with the operators that gemmi 0.5.7 gives
// for them (gemmi.symops_from_hall; for the Hermann-Mauguin symbols
// gemmi.find_spacegroup_by_name of the equivalent "P 21/c", "P 21 21 21",
// "P 21/n", "A -1"), copied here once.
TEST(HallSymbol, SpellingsGiveTheOperatorsOfGemmi) {
  const struct {
    bool hall;
    const char* symbol;
    std::vector<std::string> ops;
  } cases[] = {
      {true, "-P2ybc", {"x,y,z", "-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y+1/2,z+1/2"}},
      // A doubled a: the old cell edge a becomes the centring (1/2,0,0).
      {true, "P 2 (x/2,y,z)", {"x,y,z", "-x,-y,z", "x+1/2,y,z", "-x+1/2,-y,z"}},
      {true, "C 1 (1/2*x+1/2*y,-1/2*x+1/2*y,z)", {"x,y,z", "x+1/2,y,z", "x+1/2,y+1/2,z", "x,y+1/2,z"}},
      {true, "-C 2yc (x+y,y,z)",
       {"x,y,z", "-x+2*y,y,-z+1/2", "-x,-y,-z", "x-2*y,-y,z+1/2", "x,y+1/2,z", "-x+2*y,y+1/2,-z+1/2",
        "-x,-y+1/2,-z", "x-2*y,-y+1/2,z+1/2"}},
      {false, "P2(1)/c", {"x,y,z", "-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y+1/2,z+1/2"}},
      {false, "P2(1)2(1)2(1)", {"x,y,z", "-x+1/2,-y,z+1/2", "x+1/2,-y+1/2,-z", "-x,y+1/2,-z+1/2"}},
      {false, "P2~1~/n", {"x,y,z", "-x+1/2,y+1/2,-z+1/2", "-x,-y,-z", "x+1/2,-y+1/2,z+1/2"}},
      {false, "A -1", {"x,y,z", "-x,-y,-z", "x,y+1/2,z+1/2", "-x,-y+1/2,-z+1/2"}},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> hall =
        c.hall ? std::optional<std::string>(c.symbol) : HallOfHermannMauguin(c.symbol);
    ASSERT_TRUE(hall) << c.symbol;
    EXPECT_TRUE(SameSet(HallSymbolOperators(*hall), Ops(c.ops))) << c.symbol;
  }
}

TEST(HallSymbol, UnreadableSymbolsSayWhy) {
  EXPECT_EQ(ErrorOf([] { HallSymbolOperators(" Q 2 "); }),
            "Hall symbol \"Q 2\" cannot be read: \"Q\" is no lattice symbol.");
  const struct { const char* hall; const char* reason; } cases[] = {
      {"", "it is empty"},
      {"-PP 2", "\"PP\" is no lattice symbol"},
      {"P", "it has no matrix symbol"},
      {"P 2 2 3 -1 2", "it has more than four matrix symbols"},
      {"P 5", "\"5\" has no rotation order 1, 2, 3, 4 or 6"},
      {"P -", "\"-\" has no rotation order"},
      {"P 2q", "\"2q\": \"q\" is no translation symbol"},
      {"P 23", "\"23\": the screw part 3 must be from 1 to one less than the order 2"},
      {"P 65432", "\"65432\" has more than one screw part"},
      {"P -1 -1 -1 -1", "\"-1\" adds no operator to the symbols before it"},
      {"-P -1", "its \"-\" adds the inversion that its matrix symbols give"},
      {"P 1' 2'", "\"1'\": the rotation order 1 takes no axis symbol"},
      {"P 1\" 2'", "\"1\"\": the rotation order 1 takes no axis symbol"},
      {"P 2x 2' 2'", "\"2'\": a face-diagonal axis needs a preceding axis x, y, z or *"},
      {"P 4 4", "\"4\" needs an axis symbol x, y, z, ', \" or *"},
      {"P 3*1", "\"3*1\": a screw part needs the axis x, y or z"},
      {"P 4 2*", "\"2*\": the body diagonal * carries a 3-fold rotation only"},
      {"P 3\"", "\"3\"\": a face-diagonal axis carries a 2-fold rotation only"},
      {"P 2\"", "\"2\"\": a face-diagonal axis needs a preceding axis x, y, z or *"},
      {"P 1c", "its matrix symbols need a translation that its lattice does not have"},
      {"P 3 4x", "its matrix symbols do not make a finite group"},
      {"A 4", "its operators do not make a group: -y, x, z times x, 1/2+y, 1/2+z is none of them"},
      {"P 2 (0 0)", "the origin shift (0 0) is not three whole numbers of twelfths"},
      // A change of basis must keep the operators integral and may only make
      // a cell whose edges are lattice translations (gemmi reads both and
      // gives fractional factors, or the group of the old cell).
      {"P 4 (1/2*x,y,z)", "its change of basis turns -y, x, z into an operator with fractional factors"},
      {"P 2 (2*x,y,z)", "its change of basis makes a cell edge that is no lattice translation"},
      {"P 2 (0*x,y,z)", "the change of basis (0*x,y,z) is singular"},
      {"P 2 (1/48*x,y,z)", "the change of basis (1/48*x,y,z) has a factor that is no multiple of 1/24"},
      {"P 2 (x y,y,z)", "the change of basis (x y,y,z) has two terms without a sign between them"},
      {"P 2 (0 0 1", "the origin shift does not end with \")\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorOf([&] { HallSymbolOperators(c.hall); }),
              "Hall symbol \"" + std::string(c.hall) + "\" cannot be read: " + c.reason + ".")
        << c.hall;
    EXPECT_FALSE(HallSymbolReads(c.hall)) << c.hall;
  }
}

}  // namespace
}  // namespace koravel
