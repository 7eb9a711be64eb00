#include "io/shelx_file.h"

#include <array>
#include <cmath>

#include "base/encoding.h"
#include "base/error.h"
#include "base/file.h"
#include "base/numbers.h"
#include "base/text.h"
#include "crystal/group_ops.h"
#include "crystal/site_symmetry.h"

namespace koravel {

namespace {

constexpr std::array<std::string_view, 83> kInstructions = {
    "TITL", "CELL", "ZERR", "LATT", "SYMM", "SFAC", "DISP", "UNIT", "LAUE", "REM",
    "MORE", "TIME", "OMIT", "SHEL", "BASF", "TWIN", "EXTI", "SWAT", "HOPE", "MERG",
    "SPEC", "RESI", "MOVE", "ANIS", "AFIX", "HFIX", "FRAG", "FEND", "EXYZ", "EADP",
    "EQIV", "CONN", "PART", "BIND", "FREE", "DFIX", "DANG", "BUMP", "SAME", "SADI",
    "CHIV", "FLAT", "DELU", "SIMU", "DEFS", "ISOR", "NCSY", "SUMP", "BLOC", "DAMP",
    "STIR", "WGHT", "FVAR", "BOND", "CONF", "MPLA", "RTAB", "HTAB", "LIST", "ACTA",
    "SIZE", "TEMP", "WPDB", "FMAP", "GRID", "PLAN", "MOLE", "ABIN", "ANSC", "ANSR",
    "RIGU", "PRIG", "XNPD", "SLIM", "CGLS", "L.S.", "END",  "HKLF", "NEUT", "ELEC",
    "BEDE", "LONE", "WIGL"};

// An atom line as read, before the operators are known.
struct TAtomLine {
  TAtom Atom;
  double Sof = 1.0;  // decoded site occupation factor (not yet an occupancy)
};

// A logical line of SHELX: physical lines joined at a final "=", with the
// number of its first physical line, which messages name.
struct TCard {
  std::string Text;
  long long Line = 0;
};

// What the line-by-line reading collects.
struct TScan {
  std::string FileName;
  std::string Title;
  TCell Cell;
  long long CellLine = 0;  // 0: no CELL card
  int Latt = 1;  // centrosymmetric primitive unless LATT says otherwise
  std::vector<std::string> SfacNames;
  std::vector<double> FreeVars;
  std::vector<TCard> Symm;
  std::vector<TAtomLine> Atoms;
  long long Residue = 0;  // the current RESI number; 0 outside residues
};

std::vector<TCard> JoinContinuations(const std::vector<std::string_view>& physical) {
  std::vector<TCard> logical;
  TCard pending;
  for (size_t i = 0; i < physical.size(); ++i) {
    const std::string_view line = TrimRight(physical[i]);
    if (pending.Line == 0) pending.Line = static_cast<long long>(i) + 1;
    if (!line.empty() && line.back() == '=') {
      pending.Text.append(line.substr(0, line.size() - 1));
      pending.Text += ' ';
      continue;
    }
    pending.Text.append(line);
    logical.push_back(std::move(pending));
    pending = TCard{};
  }
  if (!pending.Text.empty()) logical.push_back(std::move(pending));
  return logical;
}

void ReadSixNumbers(const std::vector<std::string_view>& tokens, std::array<double*, 6> fields) {
  for (size_t i = 0; i < 6; ++i) {
    double value = 0;
    if (ParseNumber(tokens[i + 2], value)) *fields[i] = value;
  }
}

// An instruction's text after "!": a comment.
std::string_view WithoutComment(std::string_view line) {
  return line.substr(0, line.find('!'));
}

// The operators of the SYMM cards, read once the file is known to hold a
// structure at all.
std::vector<TSymOp> ReadSymmCards(const TScan& scan) {
  if (scan.Symm.size() > kMaxShelxSymmCards)
    throw TError({scan.FileName, scan.Symm[kMaxShelxSymmCards].Line},
                 "too many SYMM cards (a space group has at most " +
                     std::to_string(kMaxShelxSymmCards) + " operators).");
  std::vector<TSymOp> symm;
  for (const TCard& card : scan.Symm) {
    const std::string where = "SYMM card " + std::to_string(symm.size() + 1);
    symm.push_back(Reduced(ParseSymOp(card.Text, where, {scan.FileName, card.Line})));
  }
  return symm;
}

// RESI class number (or number class): the atoms that follow, up to the
// next RESI, belong to residue `number`; 0 is the main residue.
long long ResidueNumber(const std::vector<std::string_view>& tokens) {
  for (size_t i = 1; i < tokens.size(); ++i) {
    long long number = 0;
    if (ParseInteger(tokens[i], number)) return number;
  }
  return 0;
}

void ReadSfac(const std::vector<std::string_view>& tokens, TScan& scan) {
  double value = 0;
  // Long form: one element followed by its scattering-factor coefficients.
  if (tokens.size() >= 3 && ParseNumber(tokens[2], value)) {
    scan.SfacNames.push_back(SfacName(tokens[1]));
    return;
  }
  for (size_t i = 1; i < tokens.size(); ++i) scan.SfacNames.push_back(SfacName(tokens[i]));
}

// An atom line: label, scattering-factor number, x, y, z, optional sof. An
// atom of a residue is named label_number (C1_2), as SHELXL writes it to its
// CIF and Olex2 shows it.
void ReadAtomLine(const std::vector<std::string_view>& tokens, TScan& scan) {
  if (tokens.size() < 5 || IsQPeak(tokens[0])) return;
  double sfac = 0;
  long long n = 0;
  if (!ParseNumber(tokens[1], sfac) || !RoundToInt64(sfac, n)) return;
  if (n < 1 || n > static_cast<long long>(scan.SfacNames.size())) return;
  TVec3 coded{};
  for (int i = 0; i < 3; ++i)
    if (!ParseNumber(tokens[2 + i], coded[i])) return;
  TAtomLine line;
  line.Atom.Label = std::string(tokens[0]);
  if (scan.Residue != 0) (line.Atom.Label += '_') += std::to_string(scan.Residue);
  line.Atom.Element = scan.SfacNames[n - 1];
  for (int i = 0; i < 3; ++i) line.Atom.Frac[i] = DecodeShelxValue(coded[i], scan.FreeVars);
  double sof = 0;
  if (tokens.size() >= 6 && ParseNumber(tokens[5], sof))
    line.Sof = std::max(0.0, DecodeShelxValue(sof, scan.FreeVars));
  scan.Atoms.push_back(std::move(line));
}

// Interprets one logical line; false at END or HKLF, where reading stops.
bool InterpretLine(const TCard& card, TScan& scan) {
  const std::string_view line = Trim(card.Text);
  const std::vector<std::string_view> tokens = SplitFields(line, IsBlankOrTab);
  if (tokens.empty()) return true;
  const std::string name = UpperAscii(tokens[0]);
  TCell& cell = scan.Cell;
  if (name == "TITL") {
    scan.Title = std::string(Trim(line.substr(4)));
  } else if (name == "CELL") {
    if (tokens.size() < 8) return true;
    scan.CellLine = card.Line;
    ReadSixNumbers(tokens, {&cell.A, &cell.B, &cell.C, &cell.Alpha, &cell.Beta, &cell.Gamma});
  } else if (name == "ZERR") {
    if (tokens.size() < 8) return true;
    ReadSixNumbers(tokens, {&cell.SuA, &cell.SuB, &cell.SuC, &cell.SuAlpha, &cell.SuBeta,
                            &cell.SuGamma});
  } else if (name == "LATT") {
    double value = 0;
    int latt = 0;
    if (tokens.size() >= 2 && ParseNumber(tokens[1], value) && RoundToInt(value, latt))
      scan.Latt = latt;
  } else if (name == "SYMM") {
    const std::string_view text = Trim(WithoutComment(line).substr(4));
    if (!text.empty()) scan.Symm.push_back({std::string(text), card.Line});
  } else if (name == "RESI") {
    scan.Residue = ResidueNumber(tokens);
  } else if (name == "SFAC") {
    ReadSfac(tokens, scan);
  } else if (name == "FVAR") {
    for (size_t i = 1; i < tokens.size(); ++i) {
      double value = 0;
      if (ParseNumber(tokens[i], value)) scan.FreeVars.push_back(value);
    }
  } else if (name == "END" || name == "HKLF") {
    return false;
  } else if (!IsShelxInstruction(name)) {
    ReadAtomLine(SplitFields(WithoutComment(line), IsBlankOrTab), scan);
  }
  return true;
}

// The lattice symbol of a SHELX lattice type, its sign aside: 1..7 are P,
// I, R (obverse), F, A, B, C; any other number is read as P.
char LatticeOfLatt(int latt) {
  const long long n = latt < 0 ? -static_cast<long long>(latt) : latt;
  return n >= 1 && n <= 7 ? "PIRFABC"[n - 1] : 'P';
}

// SHELXL writes the site occupation factor of an atom on a special position
// as occupancy x site multiplicity / general multiplicity (0.5 on an
// inversion centre for a fully occupied atom). The order of the site
// symmetry undoes that division, so that --occ= compares occupancies.
std::vector<TAtom> AtomsWithOccupancy(const std::vector<TAtomLine>& lines,
                                      const std::vector<TSymOp>& ops) {
  const std::vector<TSymOp> distinct = DistinctSymOps(ops);
  std::vector<TAtom> atoms;
  atoms.reserve(lines.size());
  for (const TAtomLine& line : lines) {
    TAtom atom = line.Atom;
    atom.Occ = SiteOccupancy(line.Sof, SiteSymmetryOrder(atom.Frac, distinct));
    atoms.push_back(std::move(atom));
  }
  return atoms;
}

}  // namespace

TShelxFile ReadShelxFile(const std::string& fileName) {
  const TFileBytes bytes(fileName);
  return ReadShelxText(bytes.View(), fileName);
}

TShelxFile ReadShelxText(std::string_view bytes, const std::string& fileName) {
  std::string decoded;
  TScan scan;
  scan.FileName = fileName;
  for (const TCard& card : JoinContinuations(SplitLines(TextFromBytes(bytes, decoded))))
    if (!InterpretLine(card, scan)) break;
  if (scan.CellLine == 0) Fail("no CELL card found in " + fileName + ".");
  if (!IsUsable(scan.Cell)) throw TError({fileName, scan.CellLine}, "the cell parameters are unusable.");
  if (scan.Atoms.empty()) Fail("no atoms found in " + fileName + ".");
  TShelxFile file;
  file.Title = scan.Title;
  file.Structure.Cell = scan.Cell;
  file.Structure.SymOps = ShelxSymOps(scan.Latt, ReadSymmCards(scan));
  file.Structure.Atoms = AtomsWithOccupancy(scan.Atoms, file.Structure.SymOps);
  return file;
}

double DecodeShelxValue(double x, const std::vector<double>& freeVars) {
  if (std::fabs(x) < 5) return x;
  const double m = std::floor(x / 10 + 0.5);
  const double p = x - 10 * m;
  const double count = static_cast<double>(freeVars.size());
  if (std::fabs(m) == 1) return p;
  if (m >= 2) return m <= count ? p * freeVars[static_cast<size_t>(m) - 1] : p;
  if (m <= -2) return -m <= count ? (freeVars[static_cast<size_t>(-m) - 1] - 1) * p : p;
  return p;  // m = 0: only x = -5 exactly
}

std::vector<TSymOp> ShelxSymOps(int latt, const std::vector<TSymOp>& symm) {
  TGroupOps group;
  group.Sym = {IdentitySymOp()};
  group.Sym.insert(group.Sym.end(), symm.begin(), symm.end());
  if (latt > 0) {  // centrosymmetric: each operator also after the inversion through the origin
    const size_t count = group.Sym.size();
    for (size_t k = 0; k < count; ++k)
      group.Sym.push_back(Reduced(Product(InversionSymOp(), group.Sym[k])));
  }
  group.Cen = *CentringVectors(LatticeOfLatt(latt));
  return AllOps(group);
}

bool IsQPeak(std::string_view token) {
  if (token.size() < 2 || (token[0] != 'Q' && token[0] != 'q')) return false;
  for (char c : token.substr(1))
    if (!IsDigit(c)) return false;
  return true;
}

bool IsShelxInstruction(std::string_view name) {
  for (std::string_view known : kInstructions)
    if (SameText(name, known)) return true;
  return false;
}

std::string SfacName(std::string_view token) {
  std::string name;
  for (char c : token) {
    if (!IsAsciiLetter(c)) break;
    name += name.empty() ? UpperAscii(c) : LowerAscii(c);
  }
  return name;
}

}  // namespace koravel
