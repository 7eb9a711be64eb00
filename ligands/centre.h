#pragma once
#include <string>
#include <vector>

#include "io/input.h"
#include "ligands/ligand.h"

namespace koravel {

// The central atom by its typed name (Olex2 suffixes and the two-apostrophe
// form allowed). Throws TError naming the file, or the block and the blocks
// with a structure, when it is not found.
TCentre FindCentre(const TInput& in, const std::string& typedName);

// The lines that "not found" messages add for XYZ input: the naming in use
// and, without labels in the file, the other schemes. Empty for other input.
std::vector<std::string> XyzNamingHint(const TInput& in);

// The radius of the neighbour search: r_cov(central) + the largest r_cov of
// the structure + tolerance; at least 8 Å when the ligands are named (they
// must be found even far from bonding distance); exactly `maxRadius` when
// that is positive.
double SearchRadius(const TStructure& s, const TCentre& centre, bool automatic, double tolerance,
                    double maxRadius);

}  // namespace koravel
