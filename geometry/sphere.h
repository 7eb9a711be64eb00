#pragma once
#include <optional>
#include <vector>

#include "base/error.h"
#include "io/input.h"
#include "ligands/ligands.h"
#include "su/propagation.h"

namespace koravel {

// A distance or an angle with its su (0: none).
struct TValueSu {
  double Value = 0;
  double Su = 0;
};

// One L-M-L angle between ligands Lig1 < Lig2 (indices into the ligand list).
struct TAngle {
  int Lig1 = 0;
  int Lig2 = 0;
  double Value = 0;      // degrees
  double Su = 0;         // degrees
  bool FromCif = false;  // value and su published in the CIF's _geom_angle loop
};

// The angles of a coordination sphere and their sum.
struct TAngles {
  std::vector<TAngle> List;  // by value, descending (equal within 1e-6: pair order)
  TPropagated Sum;           // always from the coordinates
  double SuIndependent = 0;  // sqrt(sum of the angles' su²): the su if they were independent
};

// Each ligand's distance from the central atom, with su where the input has su.
std::vector<TValueSu> LigandDistances(const TInput& in, const TCentre& centre,
                                      const std::vector<TLigand>& ligands);

// An angle sum needs 2 to 12 ligands; beyond twelve the environment is no
// coordination sphere any more. The error for any other number.
std::optional<TError> CoordinationProblem(const TLigandSet& ligands);
constexpr size_t kMinLigands = 2;
constexpr size_t kMaxLigands = 12;

// Every L-M-L angle, published (unless `calcOnly`) or computed, and the sum.
TAngles ComputeAngles(const TInput& in, const TCentre& centre, const std::vector<TLigand>& ligands,
                      bool calcOnly);

// The published angle a-M-b (in either order) with the central atom at the
// apex on its own site; nothing when the CIF lists none. A centroid is no
// atom of the CIF and never has a published angle.
std::optional<TValueSu> PublishedAngle(const TInput& in, const TCentre& centre, const TLigand& a,
                                       const TLigand& b);

}  // namespace koravel
