#include "geometry/bond_valence.h"

#include <gtest/gtest.h>

#include <cmath>

namespace koravel {
namespace {

// A centre at the origin with ligands of the given element at distances
// `d` along ±x, ±y, ±z (as many as there are distances).
TSphereFacts Octahedron(std::string centre, std::string ligand, const std::vector<double>& d,
                        std::optional<int> state = std::nullopt) {
  const TVec3 axes[] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  TSphereFacts s{{{0, 0, 0}}, {centre}, {0}, {centre}, {1}, {state}, nullptr};
  for (size_t i = 0; i < d.size(); ++i) {
    s.Positions.push_back(Scaled(axes[i], d[i]));
    s.Elements.push_back(ligand);
    s.Centroids.push_back(0);
    s.Labels.push_back(ligand + std::to_string(i + 1));
    s.Occupancies.push_back(1);
    s.OxidationStates.push_back(-2);
  }
  return s;
}

double Value(std::string_view name, const TSphereFacts& s) {
  for (const TQuantityRow& row : BondValenceRows())
    if (row.Name == name) {
      const TQuantityDefinition d = row.Define(s);
      EXPECT_EQ(d.Undefined, "") << name;
      return d.Undefined.empty() ? d.Quantity.Plain(std::vector<TVec3Of<double>>(s.Positions.begin(), s.Positions.end()))
                                 : std::nan("");
    }
  return std::nan("");
}

const TBondValenceTable kTable{"t.cif",
                               {{"Ti", "O", 4, -2, 1.815, 0.37, "a", 1},
                                {"Fe", "O", 2, -2, 1.734, 0.37, "a", 2},
                                {"Fe", "O", 3, -2, 1.759, 0.37, "a", 3},
                                {"Fe", "O", 3, -2, 1.751, 0.37, "h", 4},
                                {"Fe", "O", 9, -2, 1.700, 0.37, "k", 5}}};

// Published values and closed forms: six Ti(IV)-O bonds of 1.96 A with
// R0 = 1.815 A give 6 exp(-0.145/0.37) = 4.055 v.u. (Brown & Altermatt
// 1985); O'Keeffe & Brese's R0 for Ti-O from their r = 1.27, c = 1.32
// and r = 0.63, c = 3.15; for equal bonds ECoN = n and lw = l; DI of bonds
// 1.9 and 2.1 is 0.05; the offset of a centre 0.1 A along x from the
// centroid of six ligands on the axes.
TEST(BondValence, ValuesOfSimpleSpheres) {
  TSphereFacts ti = Octahedron("Ti", "O", {1.96, 1.96, 1.96, 1.96, 1.96, 1.96}, 4);
  ti.BondValences = &kTable;
  EXPECT_NEAR(Value("BVS", ti), 4.055, 1e-3);
  const double obR0 = 1.27 + 0.63 - 1.27 * 0.63 * std::pow(std::sqrt(1.32) - std::sqrt(3.15), 2) / (1.32 * 1.27 + 3.15 * 0.63);
  EXPECT_NEAR(ElementBondValence("Ti", "O")->R0, obR0, 1e-12);
  EXPECT_NEAR(ElementBondValence("o", "TI")->R0, obR0, 1e-12);
  EXPECT_FALSE(ElementBondValence("Pt", "O"));
  EXPECT_NEAR(Value("ECoN", ti), 6, 1e-12);
  EXPECT_NEAR(Value("lw", ti), 1.96, 1e-12);
  const TSphereFacts two = Octahedron("Fe", "O", {1.9, 2.1});
  EXPECT_NEAR(Value("DI", two), 0.05, 1e-12);
  TSphereFacts moved = ti;
  moved.Positions[0] = {0.1, 0, 0};
  EXPECT_NEAR(Value("offset", moved), 0.1, 1e-12);
}

// Hoppe's l_av is self-consistent: Σ lᵢwᵢ / Σ wᵢ at l_av gives l_av back,
// and ECoN is Σ wᵢ there, between 1 and n.
TEST(BondValence, HoppeMeanIsSelfConsistent) {
  for (const std::vector<double>& l : {std::vector<double>{2.0, 2.1, 2.3, 2.9}, {1.6, 1.6, 2.4}, {2.2, 3.5}}) {
    const double mean = WeightedMeanBond(l);
    double sum = 0, weights = 0;
    for (double li : l) {
      const double w = std::exp(1 - std::pow(li / mean, 6));
      sum += li * w;
      weights += w;
    }
    EXPECT_NEAR(sum / weights, mean, 1e-13);
    EXPECT_GT(weights, 1);
    EXPECT_LT(weights, static_cast<double>(l.size()));
  }
}

// The state: the file's, where it gives one; else the table's state whose
// own sum is nearest to it; the first row of a state, valence 9 where the
// state has none; a centroid or an element without parameters: undefined.
TEST(BondValence, ParametersAndStates) {
  const std::vector<double> fe(6, 2.02);  // Fe2+: 6 exp(-0.286/0.37) = 2.77; Fe3+: 2.96
  TSphereFacts s = Octahedron("Fe", "O", fe);
  s.BondValences = &kTable;
  TBondValenceSetup setup = BondValenceSetup(s);
  EXPECT_TRUE(setup.StateAssumed);
  EXPECT_EQ(setup.State, 3);
  EXPECT_EQ(setup.TableStates, (std::vector<int>{2, 3}));
  EXPECT_NEAR(setup.AssumedSum, 6 * std::exp((1.759 - 2.02) / 0.37), 1e-12);
  s.OxidationStates[0] = 2;
  setup = BondValenceSetup(s);
  EXPECT_FALSE(setup.StateAssumed);
  EXPECT_EQ(setup.Bonds.at(0).R0, 1.734);
  s.OxidationStates[0] = 4;  // no Fe 4 row: the valence-9 row
  EXPECT_EQ(BondValenceSetup(s).Bonds.at(0).R0, 1.700);
  s.BondValences = nullptr;  // the element parameters, whatever the state
  EXPECT_EQ(BondValenceSetup(s).Bonds.at(0).Source, "O'Keeffe & Brese 1991");
  s.Elements[3] = "";
  EXPECT_EQ(BondValenceSetup(s).Undefined, "no element known for O3");
  s.Centroids[3] = 1;
  EXPECT_EQ(BondValenceSetup(s).Undefined, "a centroid ligand");
  EXPECT_EQ(BondValenceSetup(Octahedron("Pt", "O", fe)).Undefined, "no parameters for Pt-O");
}

}  // namespace
}  // namespace koravel
