#include "inputs/shelx_reader.h"

#include <array>
#include <cmath>
#include <cstdlib>

#include "geom/number_text.h"
#include "geom/text.h"
#include "inputs/round_integer.h"
#include "inputs/tokens.h"

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

// What the line-by-line reading collects before the operators are generated.
struct TShelxScan {
  bool CellFound = false;
  int Latt = 1;  // centrosymmetric primitive unless LATT says otherwise
  std::vector<std::string> SfacNames;
  std::vector<double> FreeVars;
  std::vector<std::string> SymmTexts;
};

// Physical lines joined at a final "=" into the logical lines of SHELX.
std::vector<std::string> JoinContinuations(const std::vector<std::string>& physical) {
  std::vector<std::string> logical;
  std::string pending;
  for (const std::string& raw : physical) {
    std::string_view line = TrimRight(raw);
    if (!line.empty() && line.back() == '=') {
      pending.append(line.substr(0, line.size() - 1));
      pending += ' ';
      continue;
    }
    logical.push_back(pending + std::string(line));
    pending.clear();
  }
  if (!pending.empty()) logical.push_back(pending);
  return logical;
}

void ReadSixNumbers(const std::vector<std::string_view>& tokens, std::array<double*, 6> fields) {
  for (size_t i = 0; i < 6; ++i) {
    double value = 0;
    if (ParseNumber(tokens[i + 2], value)) *fields[i] = value;
  }
}

// The SYMM text: everything after the instruction name, without blanks.
std::string SymmText(std::string_view trimmedLine) {
  std::string_view rest = trimmedLine.size() > 4 ? trimmedLine.substr(4) : std::string_view();
  std::string text;
  for (char c : Trim(rest))
    if (c != ' ') text += c;
  return text;
}

void ReadSfac(const std::vector<std::string_view>& tokens, TShelxScan& scan) {
  double value = 0;
  // Long form: one element followed by its scattering-factor coefficients.
  if (tokens.size() >= 3 && ParseNumber(tokens[2], value)) {
    scan.SfacNames.push_back(SfacName(tokens[1]));
    return;
  }
  for (size_t i = 1; i < tokens.size(); ++i) scan.SfacNames.push_back(SfacName(tokens[i]));
}

// An atom line: label, scattering-factor number, x, y, z, optional sof.
void ReadAtomLine(const std::vector<std::string_view>& tokens, const TShelxScan& scan,
                  TShelxData& data) {
  if (tokens.size() < 5 || IsQPeak(tokens[0])) return;
  double sfac = 0;
  long long n = 0;
  if (!ParseNumber(tokens[1], sfac) || !RoundToInt64(sfac, n)) return;
  if (n < 1 || n > static_cast<long long>(scan.SfacNames.size())) return;
  TVec3 coded{};
  for (int i = 0; i < 3; ++i)
    if (!ParseNumber(tokens[2 + i], coded[i])) return;
  TShelxAtom atom;
  atom.Label = std::string(tokens[0]);
  atom.Element = scan.SfacNames[n - 1];
  for (int i = 0; i < 3; ++i) atom.Frac[i] = DecodeShelxValue(coded[i], scan.FreeVars);
  double sof = 0;
  if (tokens.size() >= 6 && ParseNumber(tokens[5], sof)) atom.Occ = DecodeShelxOcc(sof, scan.FreeVars);
  data.Atoms.push_back(std::move(atom));
}

// Interprets one logical line; false at END or HKLF, where reading stops.
bool InterpretLine(std::string_view rawLine, TShelxScan& scan, TShelxData& data) {
  std::string_view line = Trim(rawLine);
  std::vector<std::string_view> tokens = SplitTokens(line);
  if (tokens.empty()) return true;
  std::string name = UpperAscii(tokens[0]);
  TCell& cell = data.Cell;
  if (name == "TITL") {
    data.Title = std::string(Trim(line.substr(4)));
  } else if (name == "CELL") {
    if (tokens.size() < 8) return true;
    scan.CellFound = true;
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
    std::string text = SymmText(line);
    if (!text.empty()) scan.SymmTexts.push_back(std::move(text));
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
    ReadAtomLine(tokens, scan, data);
  }
  return true;
}

// The same test a CIF cell passes: positive finite lengths, angles strictly
// between 0 and 180 degrees, and angles that can close a cell (a positive
// metric term; three angles such as 10, 10, 170 cannot).
bool CellIsUsable(const TCell& cell) {
  for (double length : {cell.A, cell.B, cell.C})
    if (!std::isfinite(length) || !(length > 0)) return false;
  for (double angle : {cell.Alpha, cell.Beta, cell.Gamma})
    if (!std::isfinite(angle) || !(angle > 0) || !(angle < 180)) return false;
  const double toRad = 0.017453292519943295;
  double ca = std::cos(cell.Alpha * toRad), cb = std::cos(cell.Beta * toRad),
         cg = std::cos(cell.Gamma * toRad);
  double g = 2 * ca * cb * cg + (1 - ca * ca - cb * cb - cg * cg);
  return g > 1e-6;
}

bool ParseSymmCards(const std::vector<std::string>& texts, std::vector<TSymOp>& ops) {
  for (const std::string& text : texts) {
    TSymOp op;
    if (!ParseSymOp(text, op)) continue;
    for (double& t : op.Trans) t = Wrap01(t);
    if (static_cast<int>(ops.size()) >= kMaxShelxSymmCards) return false;
    ops.push_back(op);
  }
  return true;
}

}  // namespace

bool ReadShelxFile(const std::string& fileName, TShelxData& data, std::string& error) {
  std::string bytes, reason;
  if (!ReadWholeFile(fileName, bytes, reason)) {
    data = TShelxData{};
    error = "cannot read " + fileName + ": " + reason;
    return false;
  }
  return ReadShelxText(bytes, fileName, data, error);
}

bool ReadShelxText(std::string_view bytes, const std::string& fileName, TShelxData& data,
                   std::string& error) {
  data = TShelxData{};
  error.clear();
  TShelxScan scan;
  for (const std::string& line : JoinContinuations(SplitLines(bytes)))
    if (!InterpretLine(line, scan, data)) break;
  if (!scan.CellFound) {
    error = "no CELL card found in " + fileName + ".";
    return false;
  }
  if (!CellIsUsable(data.Cell)) {
    error = "cell parameters in " + fileName + " are unusable.";
    return false;
  }
  if (data.Atoms.empty()) {
    error = "no atoms found in " + fileName + ".";
    return false;
  }
  if (!GenerateShelxSymOps(scan.Latt, scan.SymmTexts, data.SymOps)) {
    error = "too many SYMM cards in " + fileName + " (a space group has at most " +
            std::to_string(kMaxShelxSymmCards) + " operators).";
    return false;
  }
  return true;
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

double DecodeShelxOcc(double x, const std::vector<double>& freeVars) {
  double value = DecodeShelxValue(x, freeVars);
  return value < 0 ? 0 : value;
}

double Wrap01(double t) {
  double f = t - std::trunc(t);
  if (f < -1e-9) f += 1;
  if (std::fabs(f) < 1e-9) f = 0;
  if (std::fabs(f - 1) < 1e-9) f = 0;
  return f;
}

std::vector<TVec3> LattCentrings(int latt) {
  const double third = 1.0 / 3.0, twoThirds = 2.0 / 3.0;
  switch (latt < 0 ? -static_cast<long long>(latt) : latt) {
    case 2: return {{0.5, 0.5, 0.5}};
    case 3: return {{twoThirds, third, third}, {third, twoThirds, twoThirds}};
    case 4: return {{0, 0.5, 0.5}, {0.5, 0, 0.5}, {0.5, 0.5, 0}};
    case 5: return {{0, 0.5, 0.5}};
    case 6: return {{0.5, 0, 0.5}};
    case 7: return {{0.5, 0.5, 0}};
    default: return {};
  }
}

bool SameSymOp(const TSymOp& p, const TSymOp& q) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (!(std::fabs(p.Rot[i][j] - q.Rot[i][j]) <= 1e-6)) return false;
  // Translations are equal modulo whole cell edges: a difference just below 1
  // (1/3 written as 0.3333333 against 1/3) is as close as one just above 0.
  for (int i = 0; i < 3; ++i) {
    double f = Wrap01(p.Trans[i] - q.Trans[i]);
    if (!(std::fmin(f, 1 - f) <= 1e-6)) return false;
  }
  return true;
}

bool GenerateShelxSymOps(int latt, const std::vector<std::string>& symmTexts,
                         std::vector<TSymOp>& ops) {
  ops.clear();
  std::vector<TSymOp> base{IdentitySymOp()};
  std::vector<TSymOp> symm;
  if (!ParseSymmCards(symmTexts, symm)) return false;
  base.insert(base.end(), symm.begin(), symm.end());
  if (latt > 0) {
    const size_t count = base.size();
    for (size_t k = 0; k < count; ++k) {
      TSymOp inverse = base[k];
      for (auto& row : inverse.Rot)
        for (double& r : row) r = -r;
      for (double& t : inverse.Trans) t = Wrap01(-t);
      base.push_back(inverse);
    }
  }
  ops = base;
  for (const TVec3& v : LattCentrings(latt)) {
    for (const TSymOp& b : base) {
      TSymOp candidate = b;
      for (int i = 0; i < 3; ++i) candidate.Trans[i] = Wrap01(b.Trans[i] + v[i]);
      bool present = false;
      for (const TSymOp& existing : ops)
        if (SameSymOp(existing, candidate)) {
          present = true;
          break;
        }
      if (!present) ops.push_back(candidate);
    }
  }
  for (size_t k = 0; k < ops.size(); ++k) {
    ops[k].Num = static_cast<int>(k + 1);
    ops[k].Code = std::to_string(k + 1) + "_555";
  }
  return true;
}

bool IsQPeak(std::string_view token) {
  if (token.size() < 2 || (token[0] != 'Q' && token[0] != 'q')) return false;
  for (char c : token.substr(1))
    if (c < '0' || c > '9') return false;
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
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!letter) break;
    name += name.empty() ? UpperAscii(c) : LowerAscii(c);
  }
  return name;
}

}  // namespace koravel
