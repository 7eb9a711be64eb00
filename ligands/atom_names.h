#pragma once
#include <string>
#include <string_view>
#include <vector>

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

// The labels of the structure that a name it lacks was probably meant to be,
// best first and at most `count`: those a typing slip away (an edit
// distance of 1, or 2 for names of four characters or more; letter case,
// the symmetry code, an Olex2 suffix and parentheses ignored, as Fe(1) is
// printed for Fe1), of the element the name begins with when it begins with
// one, then others of that element, each group by distance. A label that
// differs only in case or parentheses is the only one given.
std::vector<std::string> SimilarLabels(const TStructure& s, std::string_view typed, size_t count = 3);

// A looked-up name whose label more than one atom site of the structure
// carries (58 blocks of a survey of real CIFs do this).
struct TSharedLabel {
  std::string Name;  // as the report names it: the label, "#" and a typed code
  int Sites = 0;     // atom sites with the label
  bool Central = false;
  bool Coded = false;  // a ligand name with a symmetry code: the first site's image
  int Position = 1;    // the central atom's rank among the sites (Ni@2 is the second)
};

// The central atom's and the named ligands' labels that several atom sites
// carry, each name once. The central atom is the site named (the first, or
// the k-th for label@k); a coded name takes the first such site, a plain
// ligand name the nearest image of any of them, and a ligand named label@k
// that site, which needs no note.
std::vector<TSharedLabel> SharedLabels(const TStructure& s, int centralAtom,
                                       const std::vector<std::string>& ligandNames);

}  // namespace koravel
