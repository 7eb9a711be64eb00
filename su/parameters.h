#pragma once
#include <vector>

#include "base/matrix.h"
#include "crystal/covariance.h"
#include "crystal/structure.h"

namespace koravel {

// The free parameters of a structure and how every coordinate and cell
// parameter follows them. Symmetry ties parameters: an atom on (x,x,x) has
// one free coordinate, which moves all three; one on a mirror keeps the
// coordinate normal to it; a cubic cell has one free length. Each atom's
// displacements d = B·dp lie in the subspace its site symmetry allows
// (International Tables Vol. A, the Wyckoff positions), the cell's changes in
// the one that keeps the metric tensor invariant.
struct TFreeParameter {
  enum TKind { Coordinate, Cell };
  TKind Kind = Coordinate;
  int Atom = -1;     // the atom of a coordinate
  int Axis = 0;      // coordinate x, y, z (0..2) or cell parameter a..gamma (0..5)
  double Su = 0;     // as given (CIF su, ZERR); unused for a matrix parameter
  int MatIndex = -1; // the refined parameter of the matrix file
};

// How one atom's coordinates follow its free parameters: dx = B·dp.
struct TAtomFreedom {
  std::vector<int> Params;  // indices into TParameters::List
  TMatrix B;                // 3 × Params.size()
  int Fixed = 0;            // coordinates that cannot move (site symmetry, riding, not refined)
  int Tied = 0;             // coordinates that move with another one's parameter
};

struct TParameters {
  std::vector<TFreeParameter> List;
  std::vector<TAtomFreedom> Atoms;  // one per atom of the structure
  std::vector<int> CellParams;      // indices into List
  TMatrix CellB;                    // 6 × CellParams.size(): dp_cell = CellB·dq
  int CellTied = 0;                 // cell parameters tied to a free one that has an su
  const TCovSource* Matrix = nullptr;

  // Covariance of parameters i and j (squared fractional units, Å², deg²).
  double Covariance(int i, int j) const;
};

// The free parameters of a structure: coordinates chosen among those a
// refinement's matrix lists (when given) or, from a CIF, the first that span
// each atom's allowed displacements; the cell's first parameters that span
// its allowed changes. With `wanted` (one flag per atom) only the flagged
// atoms get their coordinates, the others none: a coordination sphere needs
// a few atoms of a structure that may hold thousands under 192 operators.
TParameters FreeParameters(const TStructure& s, const TCovSource* matrix,
                           const std::vector<char>& wanted = {});

}  // namespace koravel
