#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "crystal/structure.h"

namespace koravel {

// What an angle sum needs from a SHELX .res or .ins file.
struct TShelxFile {
  std::string Title;     // text of the last TITL
  TStructure Structure;  // CELL with the esds of ZERR; LATT/SYMM operators; atoms
};

// A space group has at most 192 operators; a file whose SYMM cards describe
// more than that describes no space group.
constexpr int kMaxShelxSymmCards = 192;

// Reads a .res or .ins file (UTF-8 or UTF-16 with a byte-order mark). The
// atoms carry occupancies (site occupation factor × order of the site
// symmetry). Throws TError when the file cannot be read, has no CELL card, an
// unusable cell, no atoms, a SYMM card that is no operator, or more SYMM
// operators than a space group can have.
TShelxFile ReadShelxFile(const std::string& fileName);
// The same on the file's bytes; `fileName` only names the file in messages.
TShelxFile ReadShelxText(std::string_view bytes, const std::string& fileName);

// Free-variable notation of SHELXL: a coded value 10·m + p means p fixed for
// |m| = 1, p·fv(m) for m >= 2 and p·(fv(-m) - 1) for m <= -2; |x| < 5 is a
// freely refined value. `freeVars` holds the FVAR numbers, free variable 1
// (the scale factor) first.
double DecodeShelxValue(double x, const std::vector<double>& freeVars);

// The operator list of LATT `latt` and the SYMM operators: identity, the SYMM
// operators in order, their inversions through the origin when latt > 0,
// then the centred copies grouped by centring vector, each added unless
// already present; numbered 1..n. Users address operators by these numbers.
std::vector<TSymOp> ShelxSymOps(int latt, const std::vector<TSymOp>& symm);

// Q12 is a residual-density peak; Q alone and Q1A are not.
bool IsQPeak(std::string_view token);
// One of the 83 instruction names the reader recognises (ignoring case).
bool IsShelxInstruction(std::string_view name);
// The element name of an SFAC token: its leading letters, capitalised (CL -> Cl).
std::string SfacName(std::string_view token);

}  // namespace koravel
