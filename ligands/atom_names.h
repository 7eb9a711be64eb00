#pragma once
#include <string>
#include <string_view>

#include "crystal/structure.h"

namespace koravel {

// An atom name as typed, looked up in the structure.
struct TNameLookup {
  int Atom = -1;          // -1 when not found
  std::string Name;       // the name looked up last (without a removed suffix)
  bool SuffixRemoved = false;
};

// Removes an Olex2 symmetry suffix: "_$" and all that follows, else "$" and
// all that follows (N1_$2 and C1_2$3 are images of N1 and C1_2).
std::string StripOlexSuffix(std::string_view label, bool& removed);

// Looks an atom up by label (FindAtom); failing that, once more without an
// Olex2 symmetry suffix.
TNameLookup FindAtomWithoutSuffix(const TStructure& s, std::string_view typed);

}  // namespace koravel
