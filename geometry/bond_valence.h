#pragma once
#include <optional>
#include <string>
#include <vector>

#include "crystal/bond_valence_parameters.h"
#include "geometry/quantity_table.h"

namespace koravel {

// The parameters of a sphere's bonds and the oxidation state of its centre
// they were chosen for.
struct TBondValenceSetup {
  std::vector<TBondValenceParameters> Bonds{};  // one per ligand; empty when undefined
  std::optional<int> State{};  // of the centre: as the file gives it, or assumed
  bool StateAssumed = false;  // chosen by the nearest-state rule
  double AssumedSum = 0;      // the bond-valence sum at the assumed state
  std::vector<int> TableStates{};  // the states the table gives the centre with its ligands
  std::string Undefined{};    // why the sum is not defined ("no parameters for Fe-Xx"), or ""
};

// The parameters of each bond. With a table: the first row for the centre's
// state with the ligand (valence-9 rows where the state has none), the
// element parameters where the table has no row. A centre whose state the
// file does not give takes the state of the table whose own sum lies
// nearest to it. Without a table, the element parameters, which need no
// state.
TBondValenceSetup BondValenceSetup(const TSphereFacts& sphere);

// Hoppe's weighted mean bond length (Z. Kristallogr. 150 (1979) 23):
// l_av = Σ lᵢwᵢ / Σ wᵢ, wᵢ = exp(1 - (lᵢ/l_av)⁶), iterated to
// self-consistency from the shortest bond.
double WeightedMeanBond(const std::vector<double>& lengths);

// The bond-valence quantities: BVS, ECoN, lw, DI and offset.
const std::vector<TQuantityRow>& BondValenceRows();

}  // namespace koravel
