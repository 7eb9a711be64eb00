#pragma once
#include <vector>

#include "cif/cif_angle.h"
#include "cif/cif_file.h"

namespace koravel {

// The published bond angles of the block's _geom_angle loop, replacing
// `angles`. Rows whose angle is no number are left out; without the loop or
// its label or value columns the list stays empty. Missing site symmetry
// reads as 1_555.
void ReadCifAngles(const TCifBlock& block, std::vector<TCifAngle>& angles);

}  // namespace koravel
