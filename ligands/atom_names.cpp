#include "ligands/atom_names.h"

#include <algorithm>

#include "base/text.h"

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

std::vector<TSharedLabel> SharedLabels(const TStructure& s, int centralAtom,
                                       const std::vector<std::string>& ligandNames) {
  std::vector<TSharedLabel> shared;
  auto add = [&](int atom, std::string name, bool central, bool coded) {
    if (atom < 0) return;
    const std::string& label = s.Atoms[static_cast<size_t>(atom)].Label;
    const int sites = static_cast<int>(std::count_if(
        s.Atoms.begin(), s.Atoms.end(), [&](const TAtom& a) { return SameText(a.Label, label); }));
    if (sites < 2) return;
    for (const TSharedLabel& seen : shared)
      if (seen.Name == name && seen.Central == central) return;
    shared.push_back({std::move(name), sites, central, coded});
  };
  add(centralAtom, s.Atoms[static_cast<size_t>(centralAtom)].Label, true, false);
  for (const std::string& name : ligandNames) {
    const size_t hash = name.find('#');
    const int atom = FindAtomWithoutSuffix(s, name.substr(0, hash)).Atom;
    if (atom < 0) continue;
    const std::string label = s.Atoms[static_cast<size_t>(atom)].Label;
    add(atom, hash == std::string::npos ? label : label + name.substr(hash), false,
        hash != std::string::npos);
  }
  return shared;
}

}  // namespace koravel
