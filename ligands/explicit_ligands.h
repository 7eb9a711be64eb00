#pragma once
#include <optional>
#include <string>
#include <vector>

#include "crystal/structure.h"
#include "ligands/ligand.h"
#include "ligands/ligand_args.h"
#include "ligands/neighbours.h"

namespace koravel {

struct TNamedLigands {
  std::vector<TLigand> Ligands;  // the single atoms in name order, then one centroid per group
  bool SuffixRemoved = false;
};

// One flag per atom of the structure: whether a ligand name can take one of
// its images (its label is that of a named atom). Names of atoms that are not
// in the structure flag nothing.
std::vector<char> NamedAtoms(const TStructure& s, const TLigandArgs& args);

// The first ligand name, as typed, whose atom the structure does not have
// (looked up without its symmetry code and an Olex2 suffix); nothing when
// every name is an atom. The caller words the error, naming the file or block.
std::optional<std::string> FirstUnknownName(const TStructure& s, const TLigandArgs& args);

// Turns ligand names into ligands among the neighbour candidates: an atom
// label, optionally with "#" and a symmetry code, takes that image; without
// a code the nearest image not yet taken in the same group. Every bracket
// group becomes one centroid (Cg1, Cg2, ...). Names with a code are resolved
// first, so that a plain name cannot take their image. Every name must be
// an atom of the structure (FirstUnknownName); throws TError for a name
// that cannot be resolved among the candidates.
TNamedLigands ResolveNamedLigands(const TStructure& s, const TCentre& centre, const TLigandArgs& args,
                                  const TCandidateArray& candidates, double searchRadius);

}  // namespace koravel
