#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "geom/vec3.h"
#include "inputs/xyz_naming.h"

namespace koravel {

// One atom of an XYZ file.
struct TXyzAtom {
  std::string Label;    // the file's own label, or the generated name
  std::string Element;  // element symbol
  TVec3 Cart{};         // x, y, z in ångström as written
  int Line = 0;         // 0-based index of its line (blank lines count)
};

// The first structure of an XYZ file.
struct TXyzData {
  std::string Comment;         // trimmed line after the count line
  int StructureCount = 0;      // frames in the file, at least 1 after reading
  bool HasLabels = false;      // some atom line starts with a label (C12, Fe1)
  std::vector<TXyzAtom> Atoms; // exactly as many as announced, in file order
};

// Reads the first structure and names the atoms without a label by `naming`.
// False with a message when the file is missing, unreadable, empty, has no
// atom count, a malformed atom line, an unknown element or too few atoms.
bool ReadXyzFile(const std::string& fileName, TXyzNaming naming, TXyzData& data,
                 std::string& error);
// The same on the file's bytes; `fileName` only names the file in messages.
bool ReadXyzText(std::string_view bytes, const std::string& fileName, TXyzNaming naming,
                 TXyzData& data, std::string& error);

// Fields separated by blanks, tabs and commas; no empty fields.
std::vector<std::string_view> SplitXyzFields(std::string_view line);
// A coordinate, also with a Fortran exponent (1.5D-03).
bool ParseXyzFloat(std::string_view field, double& value);
// The element of an atom line's first field (a symbol, an atomic number or a
// label such as C12) and whether the field is a label; "" when none is found.
std::string XyzElement(std::string_view field, bool& isLabel);

}  // namespace koravel
