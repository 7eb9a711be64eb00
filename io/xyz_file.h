#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "base/vec3.h"

namespace koravel {

// How the atoms of an XYZ file that carry no label of their own are named.
enum TXyzNaming {
  xnOlex = 0,      // element + (k + 1) for the k-th atom line, as Olex2 numbers them
  xnPosition = 1,  // element + position in the atom list, first atom = 1
  xnElement = 2,   // element + running number per element: C1, H1, H2, ...
};

// One atom of an XYZ file.
struct TXyzAtom {
  std::string Label;    // the file's own label, or the generated name
  std::string Element;  // element symbol
  TVec3 Cart{};         // x, y, z in ångström as written
  int OlexNumber = 0;   // k + 1 for the k-th line Olex2 reads as an atom
  long long Line = 0;   // its line in the file, the first being 1
};

// The first structure of an XYZ file.
struct TXyzFile {
  std::string Comment;         // trimmed line after the count line
  int StructureCount = 0;      // frames in the file, at least 1 after reading
  bool HasLabels = false;      // some atom line starts with a label (C12, Fe1)
  std::vector<TXyzAtom> Atoms; // exactly as many as announced, in file order
};

// Reads the first structure and names the atoms without a label by `naming`.
// Throws TError when the file is missing, unreadable, empty, has no atom
// count, a malformed atom line, an unknown element or too few atoms.
TXyzFile ReadXyzFile(const std::string& fileName, TXyzNaming naming);
// The same on the file's bytes; `fileName` only names the file in messages.
TXyzFile ReadXyzText(std::string_view bytes, const std::string& fileName, TXyzNaming naming);

// The names a scheme gives the atoms without a label of their own, in atom
// order, "" for a labelled atom; in a file without labels every atom is
// named, also after the file was read.
std::vector<std::string> UnlabelledNames(const TXyzFile& data, TXyzNaming naming);

// The scheme as a hint names it: "Olex2 numbering".
std::string XyzNumberingName(TXyzNaming naming);

// How the atoms are named: "as given in the file" when the file has its own
// labels, otherwise the chosen scheme.
std::string XyzNamingDescription(bool hasLabels, TXyzNaming naming);
// A coordinate, also with a Fortran exponent (1.5D-03).
bool ParseXyzFloat(std::string_view field, double& value);
// The element of an atom line's first field (a symbol, an atomic number or a
// label such as C12) and whether the field is a label; "" when none is found.
std::string XyzElement(std::string_view field, bool& isLabel);

}  // namespace koravel
