#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "geom/cell.h"
#include "geom/symop.h"
#include "geom/vec3.h"

namespace koravel {

// One atom line of a SHELX .res/.ins file.
struct TShelxAtom {
  std::string Label;    // first token, exactly as written
  std::string Element;  // the SFAC name its scattering-factor number selects
  TVec3 Frac{};         // decoded fractional coordinates
  double Occ = 1.0;     // decoded site occupation factor (not yet an occupancy)
};

// What an angle sum needs from a SHELX file.
struct TShelxData {
  std::string Title;                // text of the last TITL
  TCell Cell;                       // CELL, with the esds of ZERR
  std::vector<TSymOp> SymOps;       // full list generated from LATT and SYMM
  std::vector<TShelxAtom> Atoms;    // in file order
};

// A space group has at most 192 operators; a file whose SYMM cards parse to
// more operators than that describes no space group.
constexpr int kMaxShelxSymmCards = 192;

// Reads a .res or .ins file. False with a message when the file cannot be
// read, has no CELL card, an unusable cell, no atoms, or more SYMM operators
// than a space group can have; `data` is then not to be used.
bool ReadShelxFile(const std::string& fileName, TShelxData& data, std::string& error);
// The same on the file's bytes; `fileName` only names the file in messages.
bool ReadShelxText(std::string_view bytes, const std::string& fileName, TShelxData& data,
                   std::string& error);

// Free-variable notation of SHELXL: a coded value 10·m + p means p fixed for
// |m| = 1, p·fv(m) for m >= 2 and p·(fv(-m) - 1) for m <= -2; |x| < 5 is a
// freely refined value. `freeVars` holds the FVAR numbers, free variable 1
// (the scale factor) first.
double DecodeShelxValue(double x, const std::vector<double>& freeVars);
// DecodeShelxValue, with negative results replaced by 0.
double DecodeShelxOcc(double x, const std::vector<double>& freeVars);

// The value reduced into [0, 1); values within 1e-9 of 0 or 1 become 0.
double Wrap01(double t);
// Centring vectors of the SHELX lattice type (its absolute value is used).
std::vector<TVec3> LattCentrings(int latt);
// The same operator modulo lattice translations (tolerance 1e-6).
bool SameSymOp(const TSymOp& p, const TSymOp& q);
// The operator list of LATT `latt` and the SYMM texts: identity, the SYMM
// operators in order, their inverses when latt > 0, then the centred copies
// grouped by centring vector, each added unless already present. Numbered
// 1..n with codes n_555. SYMM texts that do not parse are skipped; false when
// more than kMaxShelxSymmCards of them parse.
bool GenerateShelxSymOps(int latt, const std::vector<std::string>& symmTexts,
                         std::vector<TSymOp>& ops);

// Q12 is a residual-density peak; Q alone and Q1A are not.
bool IsQPeak(std::string_view token);
// One of the 83 instruction names the reader recognises (ignoring case).
bool IsShelxInstruction(std::string_view name);
// The element name of an SFAC token: its leading letters, capitalised (CL -> Cl).
std::string SfacName(std::string_view token);

}  // namespace koravel
