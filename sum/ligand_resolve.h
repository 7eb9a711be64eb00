#pragma once
#include <string>

#include "geom/structure.h"
#include "sum/ligand.h"
#include "sum/ligand_args.h"

namespace koravel {

// Looks an atom up by label (FindAtom); failing that, once more without an
// Olex2 symmetry suffix. `name` is left as the name looked up last, and
// `suffixRemoved` tells whether a suffix was taken off. -1 when not found.
int FindAtomWithoutSuffix(const TWorkingStructure& s, std::string& name, bool& suffixRemoved);

// What resolving ligand names needs to know about the run.
struct TLigandLookup {
  const TWorkingStructure* Structure = nullptr;
  const TCandidateArray* Candidates = nullptr;  // the neighbour search's result
  TSiteRef CentralSite;
  double SearchRadius = 0;
  std::string FileName;  // the resolved input file without its directory
  std::string XyzHint;   // naming hint for XYZ input, else empty
};

// Turns the ligand names into ligands: an atom label, optionally with "#" and
// a symmetry code, takes that image; without a code the nearest image not yet
// taken in the same group. Every bracket group becomes one centroid (Cg1,
// Cg2, ...) after the single atoms. Fatal for every name that cannot be
// resolved. Sets `olexSuffixNote` when a suffix was removed from a label.
TLigArray ResolveExplicitLigands(const TLigandArgs& args, const TLigandLookup& lookup,
                                 bool& olexSuffixNote);

}  // namespace koravel
