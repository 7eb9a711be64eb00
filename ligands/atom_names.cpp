#include "ligands/atom_names.h"

namespace koravel {

// Olex2 names a symmetry image of N1 N1_$2, and one of C1_2 (an atom of
// residue 2) C1_2$3; C1_2_$3 is read the same way.
std::string StripOlexSuffix(std::string_view label, bool& removed) {
  size_t pos = label.find("_$");
  if (pos == std::string_view::npos) pos = label.find('$');
  removed = pos != std::string_view::npos;
  return std::string(removed ? label.substr(0, pos) : label);
}

TNameLookup FindAtomWithoutSuffix(const TStructure& s, std::string_view typed) {
  TNameLookup r;
  r.Name = std::string(typed);
  r.Atom = FindAtom(s, typed);
  if (r.Atom >= 0) return r;
  bool removed = false;
  std::string stripped = StripOlexSuffix(typed, removed);
  if (!removed) return r;
  r.SuffixRemoved = true;
  r.Name = std::move(stripped);
  r.Atom = FindAtom(s, r.Name);
  return r;
}

}  // namespace koravel
