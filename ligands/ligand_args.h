#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

// The atom arguments split into names and centroid groups.
struct TLigandArgs {
  std::vector<std::string> Names;  // as typed, "#" codes and suffixes included
  std::vector<int> Groups;         // per name: its bracket group, or -1
  int GroupCount = 0;
};

// Joins the arguments and reads names and bracket groups: [C1 C2 C3],
// (C1 C2 C3), cent(...), Cg(...) and centroid [...] each define one centroid.
// Names are separated by blanks, tabs and commas. A word for which `isLabel`
// (when given) is true, an atom label such as Fe(1), is a name as it stands,
// brackets and all; so is a whole argument with a blank for which it is
// true ('Mo (4)', a label some CIFs have). Throws TError for nested, unopened or unclosed brackets.
TLigandArgs ParseLigandArgs(const std::vector<std::string>& args,
                            const std::function<bool(std::string_view)>& isLabel);

}  // namespace koravel
