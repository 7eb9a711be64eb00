#pragma once
#include "crystal/structure.h"
#include "ligands/atom_names.h"
#include "ligands/ligand.h"

namespace koravel {

// The central atom that a name lookup (FindAtomWithoutSuffix) found.
TCentre CentreOf(const TStructure& s, const TNameLookup& found);

// The radius of the neighbour search: r_cov(central) + the largest r_cov of
// the structure + tolerance; at least 8 Å when the ligands are named (they
// must be found even far from bonding distance); exactly `maxRadius` when
// that is positive.
double SearchRadius(const TStructure& s, const TCentre& centre, bool automatic, double tolerance,
                    double maxRadius);

}  // namespace koravel
