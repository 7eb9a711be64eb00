// The neighbour search visits only the lattice translations inside the search
// sphere. It must find exactly what a plain scan of the whole box of
// translations finds, in the same order, for any cell shape, and stop early
// when a huge radius holds more atom images than any angle sum needs.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "geom/cell.h"
#include "geom/fatal.h"
#include "sum_neighbours_reference.h"
#include "sum/neighbours.h"

namespace koravel {
namespace {

TWorkingStructure Structure(TCell cell, std::vector<const char*> ops, std::vector<TVec3> frac) {
  TWorkingStructure s;
  s.Cell = cell;
  for (size_t i = 0; i < ops.size(); ++i) {
    TSymOp op;
    EXPECT_TRUE(ParseSymOp(ops[i], op));
    op.Num = static_cast<int>(i) + 1;
    op.Code = std::to_string(i + 1) + "_555";
    s.SymOps.push_back(op);
  }
  for (const TVec3& f : frac) s.Atoms.push_back(TAtom{std::to_string(s.Atoms.size() + 1), "C", f});
  SyncAtomArrays(s);
  return s;
}


TCell MakeCell(double a, double b, double c, double alpha, double beta, double gamma) {
  TCell cell;
  cell.A = a, cell.B = b, cell.C = c;
  cell.Alpha = alpha, cell.Beta = beta, cell.Gamma = gamma;
  return cell;
}

TLigArray Ligands(const TWorkingStructure& s, const TCandidateArray& candidates) {
  TLigArray ligands;
  for (const TCandidate& c : candidates) ligands.push_back(CandidateLigand(s, c));
  return ligands;
}

TEST(FindNeighbours, SphereSearchFindsWhatTheWholeBoxHolds) {
  struct TCase {
    const char* Name;
    TCell Cell;
    std::vector<const char*> Ops;
    double Radius;
  };
  const TCase cases[] = {
      {"cubic", MakeCell(5, 5, 5, 90, 90, 90), {"x,y,z"}, 11.0},
      {"monoclinic P21/c", MakeCell(6.1, 7.3, 8.2, 90, 117.5, 90),
       {"x,y,z", "-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y+1/2,z+1/2"}, 9.0},
      {"skewed triclinic", MakeCell(4.1, 9.7, 5.3, 63.0, 121.0, 72.5), {"x,y,z", "-x,-y,-z"}, 12.5},
      {"needle", MakeCell(2.5, 30.0, 3.1, 95.0, 100.0, 60.0), {"x,y,z"}, 7.0},
      {"hexagonal", MakeCell(3.2, 3.2, 5.1, 90, 90, 120),
       {"x,y,z", "-y,x-y,z", "-x+y,-x,z", "-x,-y,z+1/2"}, 8.0},
  };
  // General positions, an atom on an inversion centre and on a two-fold
  // axis (special positions whose images coincide), and one at a cell corner.
  const std::vector<TVec3> atoms = {
      {0.13, 0.27, 0.41}, {0.5, 0.5, 0.5}, {0.0, 0.25, 0.25}, {0.0, 0.0, 0.0}, {0.91, 0.66, 0.08}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TWorkingStructure s = Structure(c.Cell, c.Ops, atoms);
    for (int centre : {0, 1, 3}) {
      const TSiteRef central{centre, IdentitySymOp()};
      const TLigArray want = PlainNeighbours(s, central, c.Radius);
      const TLigArray got = Ligands(s, FindNeighbours(s, central, c.Radius));
      ASSERT_EQ(got.size(), want.size());
      ASSERT_FALSE(got.empty());
      for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].Site.Atom, want[i].Site.Atom);
        EXPECT_EQ(got[i].Site.Op.Code, want[i].Site.Op.Code);
        EXPECT_EQ(got[i].Dist, want[i].Dist);
      }
    }
  }
}

TEST(FindNeighbours, ImagesExactlyOnTheSphereAreFound) {
  // Lattice vectors of length exactly 5 in a 1 Å cube: (5,0,0) and (3,4,0)
  // with all signs and orders, 6 + 24 of them; d = R passes.
  const TWorkingStructure s = Structure(MakeCell(1, 1, 1, 90, 90, 90), {"x,y,z"}, {{0, 0, 0}});
  const TLigArray got = Ligands(s, FindNeighbours(s, TSiteRef{0, IdentitySymOp()}, 5.0));
  int onSphere = 0;
  for (const TLigand& l : got) onSphere += l.Dist == 5.0;
  EXPECT_EQ(onSphere, 30);
  EXPECT_EQ(got.size(), PlainNeighbours(s, TSiteRef{0, IdentitySymOp()}, 5.0).size());
}

TEST(FindNeighbours, HugeRadiusEndsWithAMessageInsteadOfRunningOn) {
  // A million cells lie within 1000 Å of a 20 Å cell; long before they are
  // visited the search stops at its candidate limit.
  const TWorkingStructure s =
      Structure(MakeCell(20, 20, 20, 90, 90, 90), {"x,y,z"}, {{0.5, 0.5, 0.5}, {0.55, 0.5, 0.5}});
  try {
    FindNeighbours(s, TSiteRef{0, IdentitySymOp()}, 1000);
    ADD_FAILURE() << "no message";
  } catch (const TFatalError& e) {
    EXPECT_STREQ(e.what(),
                 "more than 1000000 atom images within the search radius (1000.00 A); give a "
                 "smaller --max=.");
  }
}

}  // namespace
}  // namespace koravel
