#include "sum/neighbours.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "geom/fatal.h"
#include "sum_neighbours_reference.h"

namespace koravel {
namespace {

TAtom MakeAtom(const char* label, const char* element, TVec3 frac, double occ = 1.0) {
  TAtom a;
  a.Label = label;
  a.Element = element;
  a.Frac = frac;
  a.Occ = occ;
  return a;
}

TWorkingStructure CubicStructure(double a, std::vector<TAtom> atoms,
                                 std::vector<const char*> ops = {"x,y,z"}) {
  TWorkingStructure s;
  s.Cell.A = s.Cell.B = s.Cell.C = a;
  for (size_t i = 0; i < ops.size(); ++i) {
    TSymOp op;
    EXPECT_TRUE(ParseSymOp(ops[i], op));
    op.Num = static_cast<int>(i) + 1;
    op.Code = std::to_string(i + 1) + "_555";
    s.SymOps.push_back(op);
  }
  s.Atoms = std::move(atoms);
  SyncAtomArrays(s);
  return s;
}

// The search's candidates as full ligand records.
TLigArray Neighbours(const TWorkingStructure& s, const TSiteRef& central, double radius) {
  TLigArray out;
  for (const TCandidate& c : FindNeighbours(s, central, radius)) out.push_back(CandidateLigand(s, c));
  return out;
}

TEST(PlaneSpacing, OrthogonalAndMonoclinicCells) {
  TCell cell;
  cell.A = 10;
  cell.B = 12;
  cell.C = 15;
  EXPECT_NEAR(PlaneSpacing(cell, 0), 10, 1e-9);
  EXPECT_NEAR(PlaneSpacing(cell, 2), 15, 1e-9);
  cell.Beta = 100;
  // d(100) = a sin(beta) in a monoclinic cell, and d(001) = c sin(beta).
  EXPECT_NEAR(PlaneSpacing(cell, 0), 10 * std::sin(100 * M_PI / 180), 1e-9);
  EXPECT_NEAR(PlaneSpacing(cell, 1), 12, 1e-9);
  EXPECT_NEAR(PlaneSpacing(cell, 2), 15 * std::sin(100 * M_PI / 180), 1e-9);
}

TEST(FindNeighbours, ImagesAcrossCellsInCandidateOrder) {
  // A 4 Å cubic cell with Fe at the origin and O halfway along a: every
  // lattice image of O at 2 Å is a neighbour, and so are Fe's own images.
  TWorkingStructure s = CubicStructure(4, {MakeAtom("Fe1", "Fe", {0, 0, 0}),
                                           MakeAtom("O1", "O", {0.5, 0, 0})});
  TSiteRef central{0, IdentitySymOp()};
  TLigArray c = Neighbours(s, central, 4.0);
  // Fe images at 4 Å along ±a, ±b, ±c (6), O images at 2 Å (2) and at
  // sqrt(2² + 4²) = 4.47 Å (beyond the radius).
  ASSERT_EQ(c.size(), 8u);
  EXPECT_EQ(c[0].Label, "Fe1");
  EXPECT_EQ(c[0].Site.Op.Code, "1_455");  // t1 ascends first
  EXPECT_EQ(c[5].Site.Op.Code, "1_655");
  EXPECT_EQ(c[6].Label, "O1");
  EXPECT_EQ(c[6].Site.Op.Code, "1_455");
  EXPECT_NEAR(c[6].Dist, 2.0, 1e-12);
  EXPECT_EQ(c[7].Site.Op.Code, "1_555");
}

TEST(FindNeighbours, SpecialPositionImagesAreStoredOnce) {
  // O on the inversion centre at (1/2, 0, 0) of P-1: both operators give the
  // same position, stored under the first operator only.
  TWorkingStructure s = CubicStructure(
      4, {MakeAtom("Fe1", "Fe", {0, 0, 0}), MakeAtom("O1", "O", {0.5, 0, 0})},
      {"x,y,z", "-x,-y,-z"});
  TLigArray c = Neighbours(s, TSiteRef{0, IdentitySymOp()}, 2.5);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].Site.Op.Code, "1_455");
  EXPECT_EQ(c[1].Site.Op.Code, "1_555");
}

TEST(FindNeighbours, NeverTheCentralAtomOrAnAtomOnTopOfIt) {
  TWorkingStructure s = CubicStructure(
      10, {MakeAtom("Fe1", "Fe", {0.1, 0.1, 0.1}), MakeAtom("Fe1B", "Fe", {0.1, 0.1, 0.13}),
           MakeAtom("N1", "N", {0.3, 0.1, 0.1})});
  TLigArray c = Neighbours(s, TSiteRef{0, IdentitySymOp()}, 3.0);
  ASSERT_EQ(c.size(), 1u);  // Fe1B is 0.3 Å away
  EXPECT_EQ(c[0].Label, "N1");
}

TEST(FindNeighbours, RadiusTooLargeForTheCellFails) {
  TWorkingStructure s = CubicStructure(1, {MakeAtom("Fe1", "Fe", {0, 0, 0})});
  try {
    FindNeighbours(s, TSiteRef{0, IdentitySymOp()}, 600);
    ADD_FAILURE();
  } catch (const TFatalError& e) {
    EXPECT_STREQ(e.what(),
                 "search radius 600.00 A is too large for this cell; give a smaller --max=.");
  }
}


// The 48 operators of m-3m (signed permutations of x, y, z), the identity first.
std::vector<std::string> CubicPointOperators() {
  std::vector<std::string> ops;
  int perm[3] = {0, 1, 2};
  do {
    for (int signs = 0; signs < 8; ++signs) {
      std::string op;
      for (int r = 0; r < 3; ++r) {
        if (r) op += ',';
        op += (signs >> r & 1) ? "-" : "";
        op += "xyz"[perm[r]];
      }
      ops.push_back(op);
    }
  } while (std::next_permutation(perm, perm + 3));
  return ops;
}

// Same candidates, same order, same distances to the last bit as the plain
// search: atoms on special positions of m-3m, just inside and just outside the
// same-site tolerance of them, in general positions, and an operator list
// that repeats an operator number.
TEST(FindNeighbours, SameCandidatesAsThePlainSearch) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> u(0, 1);
  const std::vector<std::string> cubic = CubicPointOperators();
  struct Case {
    std::vector<std::string> ops;
    double radius;
  };
  const Case cases[] = {
      {{"x,y,z", "-x,-y,-z"}, 9},
      {{"x,y,z", "-x,y,-z", "-x,-y,-z", "x,-y,z"}, 7},
      {cubic, 4.5},
      {{"x,y,z", "-x,-y,-z", "x,y,z"}, 6},  // numbered 1, 2, 1 below
  };
  for (const Case& c : cases) {
    std::vector<TAtom> atoms = {MakeAtom("M1", "Fe", {0.21, 0.13, 0.07})};
    const TVec3 special[] = {{0, 0, 0}, {0.5, 0.5, 0}, {0.25, 0.25, 0.25}, {0.31, 0, 0},
                             {0.12, 0.37, 0}, {0.5, 0.5, 0.5}};
    const double offsets[] = {0, 0.0004, -0.0009, 0.0011, 0.003};
    auto add = [&](const TVec3& f) {
      TAtom a;
      a.Label = "C" + std::to_string(atoms.size());
      a.Element = "C";
      a.Frac = f;
      atoms.push_back(a);
    };
    for (const TVec3& base : special)
      for (double off : offsets)
        for (int axis = 0; axis < 3; ++axis) {
          TVec3 f = base;
          f[axis] += off;
          add(f);
        }
    for (int i = 0; i < 5; ++i) add({u(rng), u(rng), u(rng)});
    std::vector<const char*> names;
    for (const std::string& op : c.ops) names.push_back(op.c_str());
    TWorkingStructure s = CubicStructure(6.3, atoms, names);
    s.Cell.B = 6.9;
    s.Cell.Beta = 101;
    if (c.ops.size() == 3) s.SymOps[2].Num = 1;
    for (int central : {0, 1, 7}) {
      const TSiteRef site{central, IdentitySymOp()};
      const TLigArray fast = Neighbours(s, site, c.radius);
      const TLigArray plain = PlainNeighbours(s, site, c.radius);
      ASSERT_EQ(fast.size(), plain.size());
      for (size_t i = 0; i < fast.size(); ++i) {
        EXPECT_EQ(fast[i].Site.Atom, plain[i].Site.Atom) << i;
        EXPECT_EQ(fast[i].Site.Op.Code, plain[i].Site.Op.Code) << i;
        EXPECT_EQ(fast[i].Site.Op.Trans, plain[i].Site.Op.Trans) << i;
        EXPECT_EQ(fast[i].Dist, plain[i].Dist) << i;
      }
    }
  }
}

TEST(SelectAutomaticLigands, BondLimitAndOccupancyDecide) {
  // r(Fe) + r(N) + 0.40 = 1.42 + 0.71 + 0.40 = 2.53 Å; r(O) gives 2.48 Å. The
  // limit ± 1e-6 Å and an occupancy equal to the minimum decide.
  TWorkingStructure s = CubicStructure(
      20, {MakeAtom("Fe1", "Fe", {0, 0, 0}), MakeAtom("N1", "N", {(2.53 - 1e-6) / 20, 0, 0}, 0.5),
           MakeAtom("N2", "N", {0, (2.53 + 1e-6) / 20, 0}),
           MakeAtom("O1", "O", {0, 0, (2.48 - 1e-6) / 20}, 0.49),
           MakeAtom("O2", "O", {0, 0, -(2.48 - 1e-6) / 20})});
  TCandidateArray c = FindNeighbours(s, TSiteRef{0, IdentitySymOp()}, 5);
  TLigArray l = SelectAutomaticLigands(c, s, "Fe", 0.40, 0.5);
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0].Label, "N1");
  EXPECT_EQ(l[1].Label, "O2");
}

TEST(SortLigandsByDistance, StableWithEqualDistancesWithinRounding) {
  TLigArray l(5);
  const double d[] = {2.1, 2.0, 2.0 + 4e-7, 1.9, 2.0 - 4e-7};
  const char* names[] = {"a", "b", "c", "d", "e"};
  for (int i = 0; i < 5; ++i) {
    l[i].Dist = d[i];
    l[i].Label = names[i];
  }
  SortLigandsByDistance(l);
  std::string order;
  for (const TLigand& x : l) order += x.Label;
  EXPECT_EQ(order, "dbcea");
}

}  // namespace
}  // namespace koravel
