#include "ligands/atom_names.h"

#include <algorithm>

#include "base/text.h"
#include "crystal/elements.h"

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

std::vector<std::string> SimilarLabels(const TStructure& s, std::string_view typed, size_t count) {
  auto withoutParentheses = [](std::string text) {
    std::erase_if(text, [](char c) { return c == '(' || c == ')'; });
    return text;
  };
  bool removed = false;
  const std::string name = withoutParentheses(StripOlexSuffix(typed.substr(0, typed.find('#')), removed));
  const size_t slip = name.size() >= 4 ? 2 : 1;
  const std::string element = ElementFromLabel(name);
  struct TCandidate {
    bool SameElement;
    size_t Distance;
    size_t Atom;
  };
  std::vector<TCandidate> near, sameElement;
  for (size_t i = 0; i < s.Atoms.size(); ++i) {
    const TAtom& a = s.Atoms[i];
    const size_t distance = EditDistance(name, withoutParentheses(a.Label));
    const bool same = !element.empty() && SameText(a.Element, element);
    if (distance <= slip) near.push_back({same, distance, i});
    else if (same) sameElement.push_back({same, distance, i});
  }
  // Among equally near labels, those of the element typed first (Co2 before
  // C11 for Co1), then file order.
  auto better = [](const TCandidate& x, const TCandidate& y) {
    if (x.Distance != y.Distance) return x.Distance < y.Distance;
    if (x.SameElement != y.SameElement) return x.SameElement;
    return x.Atom < y.Atom;
  };
  std::sort(near.begin(), near.end(), better);
  std::sort(sameElement.begin(), sameElement.end(), better);
  // A label that differs only in letter case or parentheses is the one meant;
  // a name that begins with an element symbol means an atom of that element
  // (O1 in a structure without oxygen is no slip for C1).
  if (!near.empty() && near.front().Distance == 0) {
    std::erase_if(near, [](const TCandidate& c) { return c.Distance > 0; });
    sameElement.clear();
  } else if (IsElement(element)) {
    std::erase_if(near, [](const TCandidate& c) { return !c.SameElement; });
  }
  near.insert(near.end(), sameElement.begin(), sameElement.end());
  std::vector<std::string> labels;
  for (const TCandidate& c : near) {
    const std::string& label = s.Atoms[c.Atom].Label;
    if (labels.size() == count) break;
    if (std::none_of(labels.begin(), labels.end(), [&](const std::string& l) { return SameText(l, label); }))
      labels.push_back(label);
  }
  return labels;
}

std::vector<TSharedLabel> SharedLabels(const TStructure& s, int centralAtom,
                                       const std::vector<std::string>& ligandNames) {
  std::vector<TSharedLabel> shared;
  auto add = [&](int atom, std::string name, bool central, bool coded) {
    if (atom < 0) return;
    const std::string& label = s.Atoms[static_cast<size_t>(atom)].Label;
    auto same = [&](const TAtom& a) { return SameText(a.Label, label); };
    const int sites = static_cast<int>(std::count_if(s.Atoms.begin(), s.Atoms.end(), same));
    if (sites < 2) return;
    for (const TSharedLabel& seen : shared)
      if (seen.Name == name && seen.Central == central) return;
    const int position = static_cast<int>(std::count_if(s.Atoms.begin(), s.Atoms.begin() + atom + 1, same));
    shared.push_back({std::move(name), sites, central, coded, position});
  };
  add(centralAtom, s.Atoms[static_cast<size_t>(centralAtom)].Label, true, false);
  for (const std::string& name : ligandNames) {
    const size_t hash = name.find('#');
    const TNameLookup found = FindAtomWithoutSuffix(s, name.substr(0, hash));
    const int atom = found.Atom;
    if (atom < 0 || NumberedSite(s, found.Name) == atom) continue;
    const std::string label = s.Atoms[static_cast<size_t>(atom)].Label;
    add(atom, hash == std::string::npos ? label : label + name.substr(hash), false,
        hash != std::string::npos);
  }
  return shared;
}

}  // namespace koravel
