#pragma once
#include <string>

#include "crystal/bond_valence_parameters.h"

namespace koravel {

// Reads an accumulated table of bond-valence parameters in the layout of the
// IUCr's bvparm CIF (the _valence_param loop, with the references of the
// _valence_ref loop). Throws TError naming the file when it cannot be read,
// holds no _valence_param loop, or has a row whose R0, b or valences are no
// numbers (naming the line).
TBondValenceTable ReadBondValenceTable(const std::string& name);

}  // namespace koravel
