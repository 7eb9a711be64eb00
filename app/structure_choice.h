#pragma once
#include "app/run_state.h"

namespace koravel {

// The data block of a CIF: the one named by --block=, else the first with a
// structure that holds the central atom, else the first with a structure.
const TCifBlock& ChooseDataBlock(const TCifFile& cif, const std::string& blockName,
                                 const std::string& centralName);

// The naming hint that "not found" messages add for XYZ input ("" otherwise).
std::string NotFoundHint(const TRunState& state);

// Finds the central atom and records it in the run state; Fatal when the
// structure has no such atom.
void LookUpCentralAtom(TRunState& state);

// The radius of the neighbour search around the central atom.
double ChooseSearchRadius(const TRunState& state);

}  // namespace koravel
