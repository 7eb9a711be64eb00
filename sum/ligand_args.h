#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

using TIntArray = std::vector<int>;

// The atom arguments split into names and centroid groups.
struct TLigandArgs {
  std::vector<std::string> Names;  // as typed, "#" codes and suffixes included
  TIntArray Groups;                // per name: its bracket group, or -1
  int GroupCount = 0;
};

// Tokens separated by blanks, tabs and commas.
void SplitAtomList(std::string_view text, std::vector<std::string>& tokens);

// Joins the arguments from `first` on and reads names and bracket groups:
// [C1 C2 C3], (C1 C2 C3), cent(...), Cg(...) and centroid [...] each define
// one centroid. Fatal for nested, unopened or unclosed brackets.
TLigandArgs ParseLigandArgs(const std::vector<std::string>& args, size_t first);

// Removes an Olex2 symmetry suffix ("_$" and all that follows).
std::string StripOlexSuffix(std::string_view label, bool& removed);

}  // namespace koravel
