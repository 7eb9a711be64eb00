#include "ligands/neighbours.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "crystal/sym_code.h"
#include "ligands_neighbours_reference.h"
#include "test_support.h"

namespace koravel {
namespace {

using testing::ErrorOf;
using testing::MakeAtom;
using testing::MakeCell;
using testing::MakeStructure;

TSiteRef Centre(int atom) { return {atom, 0, {}}; }

std::string Code(const TStructure& s, const TCandidate& c) { return SymCode(s, CandidateSite(c)); }

// Same candidates, in the same order, with the same distances to the last bit
// as the plain search.
void ExpectAsPlainSearch(const TStructure& s, const TSiteRef& central, double radius) {
  const TCandidateArray got = FindNeighbours(s, central, radius);
  const TCandidateArray want = testing::PlainNeighbours(s, central, radius);
  ASSERT_EQ(got.size(), want.size()) << "centre " << central.Atom;
  ASSERT_FALSE(got.empty());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].Atom, want[i].Atom) << i;
    EXPECT_EQ(got[i].Op, want[i].Op) << i;
    EXPECT_EQ(CandidateSite(got[i]).Cell, CandidateSite(want[i]).Cell) << i;
    EXPECT_EQ(got[i].Dist, want[i].Dist) << i;
  }
}

// The search visits only the lattice translations inside the search sphere:
// for any cell shape it finds what a scan of the whole box finds. General
// positions, an atom on an inversion centre and on a two-fold axis (special
// positions whose images coincide), and one at a cell corner.
TEST(FindNeighbours, SphereSearchFindsWhatTheWholeBoxHolds) {
  struct TCase {
    const char* Name;
    TCell Cell;
    std::vector<std::string> Ops;
    double Radius;
  };
  const TCase cases[] = {
      {"cubic", MakeCell(5, 5, 5), {"x,y,z"}, 11.0},
      {"monoclinic P21/c", MakeCell(6.1, 7.3, 8.2, 90, 117.5, 90),
       {"x,y,z", "-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y+1/2,z+1/2"}, 9.0},
      {"skewed triclinic", MakeCell(4.1, 9.7, 5.3, 63.0, 121.0, 72.5), {"x,y,z", "-x,-y,-z"}, 12.5},
      {"needle", MakeCell(2.5, 30.0, 3.1, 95.0, 100.0, 60.0), {"x,y,z"}, 7.0},
      {"hexagonal", MakeCell(3.2, 3.2, 5.1, 90, 90, 120),
       {"x,y,z", "-y,x-y,z", "-x+y,-x,z", "-x,-y,z+1/2"}, 8.0},
  };
  std::vector<TAtom> atoms;
  for (const TVec3& f : std::vector<TVec3>{
           {0.13, 0.27, 0.41}, {0.5, 0.5, 0.5}, {0.0, 0.25, 0.25}, {0.0, 0.0, 0.0}, {0.91, 0.66, 0.08}})
    atoms.push_back(MakeAtom(std::string("C") += std::to_string(atoms.size() + 1), "C", f));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TStructure s = MakeStructure(c.Cell, c.Ops, atoms);
    for (int centre : {0, 1, 3}) ExpectAsPlainSearch(s, Centre(centre), c.Radius);
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

// Atoms on special positions of m-3m, just inside and just outside the
// same-site tolerance of them, in general positions, and an operator list
// that repeats an operator: each position is stored once, as the plain
// search stores it.
TEST(FindNeighbours, SpecialPositionsAsThePlainSearch) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<TAtom> atoms = {MakeAtom("M1", "Fe", {0.21, 0.13, 0.07})};
  const TVec3 special[] = {{0, 0, 0}, {0.5, 0.5, 0}, {0.25, 0.25, 0.25}, {0.31, 0, 0},
                           {0.12, 0.37, 0}, {0.5, 0.5, 0.5}};
  auto add = [&](const TVec3& f) { atoms.push_back(MakeAtom(std::string("C") += std::to_string(atoms.size()), "C", f)); };
  for (const TVec3& base : special)
    for (double off : {0.0, 0.0004, -0.0009, 0.0011, 0.003})
      for (int axis = 0; axis < 3; ++axis) {
        TVec3 f = base;
        f[axis] += off;
        add(f);
      }
  for (int i = 0; i < 5; ++i) add({u(rng), u(rng), u(rng)});
  struct Case {
    std::vector<std::string> ops;
    double radius;
  };
  const Case cases[] = {
      {{"x,y,z", "-x,-y,-z"}, 9},
      {{"x,y,z", "-x,y,-z", "-x,-y,-z", "x,-y,z"}, 7},
      {CubicPointOperators(), 4.5},
      {{"x,y,z", "-x,-y,-z", "x,y,z"}, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ops.size());
    const TStructure s = MakeStructure(MakeCell(6.3, 6.9, 6.3, 90, 101, 90), c.ops, atoms);
    for (int central : {0, 1, 7}) ExpectAsPlainSearch(s, Centre(central), c.radius);
  }
}

TEST(FindNeighbours, ImagesExactlyOnTheSphereAreFound) {
  // Lattice vectors of length exactly 5 in a 1 Å cube: (5,0,0) and (3,4,0)
  // with all signs and orders, 6 + 24 of them; d = R passes.
  const TStructure s = MakeStructure(MakeCell(1, 1, 1), {"x,y,z"}, {MakeAtom("C1", "C", {})});
  const TCandidateArray got = FindNeighbours(s, Centre(0), 5.0);
  EXPECT_EQ(std::count_if(got.begin(), got.end(), [](const TCandidate& c) { return c.Dist == 5.0; }), 30);
  EXPECT_EQ(got.size(), testing::PlainNeighbours(s, Centre(0), 5.0).size());
}

TEST(FindNeighbours, ImagesAcrossCellsInCandidateOrder) {
  // A 4 Å cubic cell with Fe at the origin and O halfway along a: every
  // lattice image of O at 2 Å is a neighbour, and so are Fe's own images.
  const TStructure s = MakeStructure(MakeCell(4, 4, 4), {"x,y,z"},
                                     {MakeAtom("Fe1", "Fe", {0, 0, 0}), MakeAtom("O1", "O", {0.5, 0, 0})});
  const TCandidateArray c = FindNeighbours(s, Centre(0), 4.0);
  // Fe images at 4 Å along ±a, ±b, ±c (6), O images at 2 Å (2) and at
  // sqrt(2² + 4²) = 4.47 Å (beyond the radius).
  ASSERT_EQ(c.size(), 8u);
  EXPECT_EQ(c[0].Atom, 0);
  EXPECT_EQ(Code(s, c[0]), "1_455");  // t1 ascends first
  EXPECT_EQ(Code(s, c[5]), "1_655");
  EXPECT_EQ(c[6].Atom, 1);
  EXPECT_EQ(Code(s, c[6]), "1_455");
  EXPECT_NEAR(c[6].Dist, 2.0, 1e-12);
  EXPECT_EQ(Code(s, c[7]), "1_555");
  const TLigand l = CandidateLigand(s, c[6]);
  EXPECT_EQ(l.Label + l.Element, "O1O");
  EXPECT_EQ(l.Members.size(), 1u);
  EXPECT_EQ(l.SearchDistance, c[6].Dist);
  // Asked for O1 only, the search gives its images alone, as before.
  const TCandidateArray o = FindNeighbours(s, Centre(0), 4.0, {0, 1});
  ASSERT_EQ(o.size(), 2u);
  EXPECT_EQ(Code(s, o[0]) + Code(s, o[1]), "1_4551_555");
  EXPECT_EQ(o[0].Atom + o[1].Atom, 2);
}

TEST(FindNeighbours, SpecialPositionImagesAreStoredOnce) {
  // O on the inversion centre at (1/2, 0, 0) of P-1: both operators give the
  // same position, stored under the first operator only.
  const TStructure s = MakeStructure(MakeCell(4, 4, 4), {"x,y,z", "-x,-y,-z"},
                                     {MakeAtom("Fe1", "Fe", {0, 0, 0}), MakeAtom("O1", "O", {0.5, 0, 0})});
  const TCandidateArray c = FindNeighbours(s, Centre(0), 2.5);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(Code(s, c[0]), "1_455");
  EXPECT_EQ(Code(s, c[1]), "1_555");
}

TEST(FindNeighbours, NeverTheCentralAtomOrAnAtomOnTopOfIt) {
  const TStructure s = MakeStructure(
      MakeCell(10, 10, 10), {"x,y,z"},
      {MakeAtom("Fe1", "Fe", {0.1, 0.1, 0.1}), MakeAtom("Fe1B", "Fe", {0.1, 0.1, 0.13}),
       MakeAtom("N1", "N", {0.3, 0.1, 0.1})});
  const TCandidateArray c = FindNeighbours(s, Centre(0), 3.0);
  ASSERT_EQ(c.size(), 1u);  // Fe1B is 0.3 Å away
  EXPECT_EQ(c[0].Atom, 2);
}

TEST(FindNeighbours, RadiusLimits) {
  // A tiny cell: more than 1000 translations along an axis.
  const TStructure tiny = MakeStructure(MakeCell(1, 1, 1), {"x,y,z"}, {MakeAtom("Fe1", "Fe", {})});
  EXPECT_EQ(ErrorOf([&] { FindNeighbours(tiny, Centre(0), 600); }),
            "search radius 600.00 A is too large for this cell; give a smaller --max=.");
  // A million cells lie within 1000 Å of a 20 Å cell; long before they are
  // visited the search stops at its candidate limit.
  const TStructure wide = MakeStructure(MakeCell(20, 20, 20), {"x,y,z"},
                                        {MakeAtom("A", "C", {0.5, 0.5, 0.5}), MakeAtom("B", "C", {0.55, 0.5, 0.5})});
  EXPECT_EQ(ErrorOf([&] { FindNeighbours(wide, Centre(0), 1000); }),
            "more than 1000000 atom images within the search radius (1000.00 A); give a "
            "smaller --max=.");
}

}  // namespace
}  // namespace koravel
