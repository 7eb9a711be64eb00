#include "geom/structure.h"

#include "geom/text.h"

namespace koravel {

void SyncAtomArrays(TWorkingStructure& s) {
  s.AtomFrac.resize(s.Atoms.size());
  s.AtomSu.resize(s.Atoms.size());
  for (size_t i = 0; i < s.Atoms.size(); ++i) {
    s.AtomFrac[i] = s.Atoms[i].Frac;
    s.AtomSu[i] = s.Atoms[i].FracSu;
  }
}

static int FindLabel(const TWorkingStructure& s, std::string_view name) {
  for (size_t i = 0; i < s.Atoms.size(); ++i)
    if (SameText(s.Atoms[i].Label, name)) return static_cast<int>(i);
  return -1;
}

int FindAtom(const TWorkingStructure& s, std::string_view name) {
  int index = FindLabel(s, name);
  if (index >= 0 || name.find("''") == std::string_view::npos) return index;
  std::string quoted;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\'' && i + 1 < name.size() && name[i + 1] == '\'') {
      quoted += '"';
      ++i;
    } else {
      quoted += name[i];
    }
  }
  return FindLabel(s, quoted);
}

}  // namespace koravel
