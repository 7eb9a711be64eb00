#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "cif/cif_angle.h"
#include "geom/cell.h"
#include "geom/symop.h"
#include "geom/vec3.h"

namespace koravel {

// One atom site of the asymmetric unit.
struct TAtom {
  std::string Label;    // exactly as written in the input
  std::string Element;  // as derived by the loader; may be empty or unknown
  TVec3 Frac{};         // fractional coordinates
  TVec3 FracSu{};       // their su; 0 where the input gives none
  double Occ = 1.0;     // site occupancy
};

// The one crystal structure a run works on, whatever the input format. A
// loader fills all of it; later steps only read it.
struct TWorkingStructure {
  TCell Cell;
  std::vector<TSymOp> SymOps;         // never empty after loading
  std::vector<TAtom> Atoms;
  std::vector<TVec3> AtomFrac;        // Atoms[i].Frac, for the geometry code
  std::vector<TVec3> AtomSu;          // Atoms[i].FracSu
  std::vector<TCifAngle> CifAngles;   // published angles (CIF input only)
};

// Rebuilds AtomFrac and AtomSu from Atoms.
void SyncAtomArrays(TWorkingStructure& s);

// Index of the first atom whose label equals `name` ignoring ASCII case; when
// none does and the name holds two adjacent apostrophes, each such pair is
// read as one double quote (a SHELX label such as Mg" typed where the shell
// cannot pass a double quote). -1 when not found.
int FindAtom(const TWorkingStructure& s, std::string_view name);

}  // namespace koravel
