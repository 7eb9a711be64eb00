#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/vec3.h"
#include "crystal/bond_valence_parameters.h"
#include "su/propagation.h"

namespace koravel {

// What a quantity of a coordination sphere sees: the central atom first,
// then the ligands in report order.
struct TSphereFacts {
  std::vector<TVec3> Positions;  // Cartesian, ångström
  std::vector<std::string> Elements;  // "" for a centroid, or an atom of no known element
  std::vector<char> Centroids;        // whether each point is a centroid of several atoms
  std::vector<std::string> Labels;    // as the report names them (N2#2_655, Cg1)
  std::vector<double> Occupancies;    // a centroid's: 1
  std::vector<std::optional<int>> OxidationStates;  // as the file gives them
  // --bvparm: the table whose rows the bond valences take first; without
  // one, the element parameters alone.
  const TBondValenceTable* BondValences = nullptr;
};

// A quantity as a sphere defines it: a function of the sphere's points, or
// why the sphere leaves it undefined.
struct TQuantityDefinition {
  TQuantity Quantity{};
  // Smooth with an extremum in reach: the second-order term and shift.
  bool SecondOrder = false;
  // Functions of the points whose zeros are kinks of the quantity: within
  // 3 su of one, its su comes from a Monte Carlo. None when empty.
  TVectorQuantity Kinks{};
  std::string Undefined{};  // "no parameters for Fe-Xx"; "" when defined
};

// One printed quantity: what the report, the survey and the page know of it.
struct TQuantityRow {
  std::string_view Name{};   // the report line's name, the survey's key and column
  std::string_view Unit{};   // "", "A", "v.u."
  int Decimals = 4;          // when there is no su
  std::string_view Meaning{};  // what it tells, with its source
  size_t MinLigands = 2, MaxLigands = 12;
  double SuFloor = 0;        // an su below it is rounding noise of the arithmetic
  TQuantityDefinition (*Define)(const TSphereFacts& sphere) = nullptr;
};

// A row's value for one sphere.
struct TQuantityValue {
  const TQuantityRow* Row = nullptr;
  TPropagated Value;
  std::optional<TMonteCarlo> MonteCarlo;  // when asked for (--mc)
  std::string Undefined;                  // why not defined, or ""
  bool Kinked = false;                    // a kink within 3 su: the su is a Monte Carlo's
};

// The rows that apply to the sphere's ligand count, each with its su from
// `propagate`; `mcDraws` > 0 adds a Monte Carlo check of every su.
std::vector<TQuantityValue> EvaluateRows(const std::vector<TQuantityRow>& rows, const TSphereFacts& sphere,
                                         const TPropagator& propagate, long long mcDraws);

}  // namespace koravel
