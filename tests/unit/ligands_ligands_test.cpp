#include "ligands/ligands.h"

#include <gtest/gtest.h>

#include "ligands/centre.h"
#include "test_support.h"

namespace koravel {
namespace {

using testing::ErrorOf;
using testing::MakeAtom;
using testing::MakeCell;
using testing::MakeStructure;

TModel InputOf(TStructure s) {
  TModel in;
  in.Structure = std::move(s);
  return in;
}

TCentre CentreOf(const TModel& in) { return CentreOf(in.Structure, FindAtomWithoutSuffix(in.Structure, in.Structure.Atoms[0].Label)); }

std::string Labels(const TLigandSet& set) {
  std::string labels;
  for (const TLigand& l : set.List) labels += l.Label;
  return labels;
}

TEST(ChooseLigands, BondLimitAndOccupancyDecide) {
  // r(Fe) + r(N) + 0.40 = 1.42 + 0.71 + 0.40 = 2.53 Å; r(O) gives 2.48 Å. The
  // limit ± 1e-6 Å and an occupancy equal to the minimum decide.
  const TModel in = InputOf(MakeStructure(
      MakeCell(20, 20, 20), {"x,y,z"},
      {MakeAtom("Fe1", "Fe", {0, 0, 0}), MakeAtom("N1", "N", {(2.53 - 1e-6) / 20, 0, 0}, 0.5),
       MakeAtom("N2", "N", {0, (2.53 + 1e-6) / 20, 0}),
       MakeAtom("O1", "O", {0, 0, (2.48 - 1e-6) / 20}, 0.49),
       MakeAtom("O2", "O", {0, 0, -(2.48 - 1e-6) / 20})}));
  const TCentre centre = CentreOf(in);
  const TLigandRequest request;
  const TLigandSet set = ChooseLigands(in, centre, request, SearchNeighbours(in.Structure, centre, request));
  EXPECT_TRUE(set.Automatic);
  EXPECT_EQ(Labels(set), "O2N1");  // by distance
  TLigandRequest strict;
  strict.Tolerance = 0;
  EXPECT_EQ(ErrorOf([&] { ChooseLigands(in, centre, strict, SearchNeighbours(in.Structure, centre, strict)); }),
            "no ligands found.");
}

TEST(ChooseLigands, StableByDistanceWithEqualDistancesWithinRounding) {
  TStructure s = MakeStructure(MakeCell(20, 20, 20), {"x,y,z"}, {MakeAtom("Fe1", "Fe", {})});
  double x = 0;
  for (const char* label : {"a", "b", "c", "d", "e"}) s.Atoms.push_back(MakeAtom(label, "N", {x += 0.1, 0, 0}));
  const TModel in = InputOf(std::move(s));
  TNeighbourhood n;
  const double d[] = {2.1, 2.0, 2.0 + 4e-7, 1.9, 2.0 - 4e-7};
  for (int i = 0; i < 5; ++i) n.Candidates.push_back({i + 1, 0, {0, 0, 0}, d[i]});
  EXPECT_EQ(Labels(ChooseLigands(in, CentreOf(in), TLigandRequest{}, n)), "dbcea");
}

TEST(SearchRadius, BondReachOrAtLeastEightAngstromForNamedLigands) {
  const TStructure s = MakeStructure(MakeCell(20, 20, 20), {"x,y,z"},
                                     {MakeAtom("Fe1", "Fe", {}), MakeAtom("K1", "K", {}),
                                      MakeAtom("X1", "Xx", {})});
  const TCentre fe{{0, 0, {}}, "Fe1", "Fe", false};
  struct Case { bool automatic; double tolerance, max, radius; };
  const Case cases[] = {
      {true, 0.4, -1, 1.42 + 2.03 + 0.4},  // the largest radius of the structure: K
      {true, 0.4, 0, 1.42 + 2.03 + 0.4},
      {false, 0.4, -1, 8.0},
      {false, 6.0, -1, 1.42 + 2.03 + 6.0},
      {true, 0.4, 3.5, 3.5},
      {false, 0.4, 3.5, 3.5},
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(SearchRadius(s, fe, c.automatic, c.tolerance, c.max), c.radius)
        << c.automatic << " " << c.tolerance << " " << c.max;
}

}  // namespace
}  // namespace koravel
