#include "geom/symop.h"

#include <charconv>
#include <cmath>

#include "geom/number_text.h"
#include "geom/text.h"

namespace koravel {

namespace {

bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.'; }

int AxisOfLetter(char c) {
  switch (LowerAscii(c)) {
    case 'x': return 0;
    case 'y': return 1;
    case 'z': return 2;
    default: return -1;
  }
}

// The longest run of digits and points from `pos`, converted as a decimal.
bool ReadNumberRun(std::string_view piece, size_t& pos, double& value) {
  size_t start = pos;
  while (pos < piece.size() && IsNumberChar(piece[pos])) ++pos;
  return ParseNumber(piece.substr(start, pos - start), value);
}

// One comma-separated expression such as -x+1/2 into row `row` of the operator.
bool ScanPiece(std::string_view piece, int row, TSymOp& op) {
  double sign = 1;
  size_t pos = 0;
  while (pos < piece.size()) {
    char c = piece[pos];
    if (c == '+') {
      sign = 1;
      ++pos;
    } else if (c == '-') {
      sign = -1;
      ++pos;
    } else if (AxisOfLetter(c) >= 0) {
      op.Rot[row][AxisOfLetter(c)] += sign;
      sign = 1;
      ++pos;
    } else if (IsNumberChar(c)) {
      double number = 0;
      if (!ReadNumberRun(piece, pos, number)) return false;
      if (pos < piece.size() && piece[pos] == '/') {
        ++pos;
        double denominator = 0;
        if (!ReadNumberRun(piece, pos, denominator) || denominator == 0) return false;
        number /= denominator;
      }
      if (pos < piece.size() && piece[pos] == '*') ++pos;
      if (pos < piece.size() && AxisOfLetter(piece[pos]) >= 0) {
        op.Rot[row][AxisOfLetter(piece[pos])] += sign * number;
        ++pos;
      } else {
        op.Trans[row] += sign * number;
      }
      sign = 1;
    } else {
      ++pos;  // blanks, other letters, a stray "/"
    }
  }
  return true;
}

}  // namespace

TSymOp IdentitySymOp() {
  TSymOp op;
  op.Rot = {TVec3{1, 0, 0}, TVec3{0, 1, 0}, TVec3{0, 0, 1}};
  return op;
}

bool ParseSymOp(std::string_view text, TSymOp& op) {
  op = TSymOp{};
  std::string_view rest = Trim(text);
  for (int row = 0; row < 3; ++row) {
    std::string_view piece;
    size_t comma = rest.find(',');
    if (comma == std::string_view::npos) {
      piece = rest;
      rest = {};
    } else {
      piece = rest.substr(0, comma);
      rest = rest.substr(comma + 1);
    }
    if (!ScanPiece(piece, row, op)) return false;
  }
  return true;
}

TVec3 ApplySymOp(const TSymOp& op, const TVec3& f) {
  TVec3 r{};
  for (int i = 0; i < 3; ++i)
    r[i] = op.Rot[i][2] * f[2] + (op.Rot[i][1] * f[1] + op.Rot[i][0] * f[0]) + op.Trans[i];
  return r;
}

TSymOp TranslatedSymOp(const TSymOp& op, int ta, int tb, int tc) {
  TSymOp r = op;
  r.Trans[0] += ta;
  r.Trans[1] += tb;
  r.Trans[2] += tc;
  // n_klm, written without printf: a wide neighbour search makes many codes.
  char code[64];
  char* end = code + sizeof code;
  char* p = std::to_chars(code, end, op.Num).ptr;
  *p++ = '_';
  for (int t : {ta, tb, tc}) p = std::to_chars(p, end, 5 + static_cast<long long>(t)).ptr;
  r.Code.assign(code, p);
  return r;
}

TVec3 SiteCartesian(const TVec3& f, const TSymOp& op, const TMat3& ortho) {
  return MatVec(ortho, ApplySymOp(op, f));
}

bool SameSite(const std::vector<TVec3>& frac, const TSiteRef& a, const TSiteRef& b) {
  if (a.Atom != b.Atom) return false;
  // Equal codes name the same image only under the same operator: a file whose
  // operator 1 is not the identity still gives its images codes like 1_555.
  if (a.Op.Code == b.Op.Code && a.Op.Rot == b.Op.Rot && a.Op.Trans == b.Op.Trans) return true;
  if (a.Atom < 0 || static_cast<size_t>(a.Atom) >= frac.size()) return false;
  const TVec3 pa = ApplySymOp(a.Op, frac[a.Atom]);
  const TVec3 pb = ApplySymOp(b.Op, frac[b.Atom]);
  for (int i = 0; i < 3; ++i)
    if (!(std::fabs(pa[i] - pb[i]) <= 0.001)) return false;
  return true;
}

}  // namespace koravel
