#include "crystal/symop.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>

#include "base/error.h"
#include "base/numbers.h"
#include "base/text.h"

namespace koravel {

namespace {

// A constant this close to a multiple of 1/24 (in twenty-fourths) is that
// multiple: 0.3333 is 7.9992/24, one third.
constexpr double kTransTolerance = 0.02;

int AxisOfLetter(char c) {
  switch (LowerAscii(c)) {
    case 'x': return 0;
    case 'y': return 1;
    case 'z': return 2;
    default: return -1;
  }
}

bool IsNumberChar(char c) { return IsDigit(c) || c == '.'; }

struct TPartReader {
  std::string_view Part;
  size_t Pos = 0;

  void SkipBlanks() {
    while (Pos < Part.size() && IsBlank(Part[Pos])) ++Pos;
  }
  bool AtEnd() {
    SkipBlanks();
    return Pos >= Part.size();
  }
  std::string_view NumberRun() {
    const size_t start = Pos;
    while (Pos < Part.size() && IsNumberChar(Part[Pos])) ++Pos;
    return Part.substr(start, Pos - start);
  }
};

std::string TooLarge(char axis) {
  return std::string("its terms in ") + axis + " add up to a factor beyond " +
         std::to_string(kMaxSymOpFactor);
}

// One output coordinate of an operator: the factors of x, y, z and the
// translation in twenty-fourths.
struct TRow {
  TIntVec3 Rot{};
  int Trans = 0;
};

// Reads the text of one operator. At the first thing it cannot read, Fail
// throws TError naming the text and the place it stands; a reader given no
// place only tells whether the text reads, and there Fail gives nothing.
class TSymOpReader {
 public:
  TSymOpReader(std::string_view text, std::optional<std::string_view> where, TPlace place = {})
      : Text_(text), Where_(where), Place_(place) {}

  std::optional<TSymOp> Read() const {
    TSymOp op;
    std::string_view rest = Text_;
    for (int row = 0; row < 3; ++row) {
      const size_t comma = rest.find(',');
      if ((comma == std::string_view::npos) != (row == 2))
        return Fail("it needs exactly three parts separated by commas");
      const std::string_view part = row == 2 ? rest : rest.substr(0, comma);
      if (row < 2) rest.remove_prefix(comma + 1);
      const std::optional<TRow> read = ReadPart(part);
      if (!read) return std::nullopt;
      op.Rot[row] = read->Rot;
      op.Trans[row] = read->Trans;
    }
    const long long det = Determinant(op.Rot);
    if (det != 1 && det != -1)
      return Fail("its rotation part has determinant " + std::to_string(det) + ", not +1 or -1");
    return op;
  }

 private:
  // One part such as -x+1/2.
  std::optional<TRow> ReadPart(std::string_view part) const {
    TPartReader r{part};
    if (r.AtEnd()) return Fail("one of its three parts is empty");
    TRow row;
    double constant = 0;
    while (!r.AtEnd()) {
      int sign = 1;
      bool signed_ = false;
      while (!r.AtEnd() && (r.Part[r.Pos] == '+' || r.Part[r.Pos] == '-')) {
        if (signed_) return Fail("two signs stand together");
        sign = r.Part[r.Pos] == '-' ? -1 : 1;
        signed_ = true;
        ++r.Pos;
      }
      if (r.AtEnd()) return Fail("a sign stands at the end of a part");
      const char c = r.Part[r.Pos];
      if (AxisOfLetter(c) >= 0) {
        int& entry = row.Rot[AxisOfLetter(c)];
        entry += sign;
        if (std::abs(entry) > kMaxSymOpFactor) return Fail(TooLarge(c));
        ++r.Pos;
        continue;
      }
      if (!IsNumberChar(c)) return Fail(std::string("\"") + c + "\" is not x, y, z or a number");
      const size_t numberStart = r.Pos;
      const std::string_view numerator = r.NumberRun();
      double value = 0;
      if (!ParseNumber(numerator, value))
        return Fail("\"" + std::string(numerator) + "\" is no number");
      r.SkipBlanks();
      bool fraction = false;
      if (r.Pos < r.Part.size() && r.Part[r.Pos] == '/') {
        ++r.Pos;
        r.SkipBlanks();
        const std::string_view denominatorText = r.NumberRun();
        double denominator = 0;
        if (!ParseNumber(denominatorText, denominator) || denominator == 0)
          return Fail("the fraction " + std::string(numerator) + "/" + std::string(denominatorText) +
                      " is no number");
        value /= denominator;
        fraction = true;
        r.SkipBlanks();
      }
      const std::string_view number = Trim(r.Part.substr(numberStart, r.Pos - numberStart));
      if (r.Pos < r.Part.size() && r.Part[r.Pos] == '*') {
        ++r.Pos;
        r.SkipBlanks();
      }
      if (r.Pos < r.Part.size() && AxisOfLetter(r.Part[r.Pos]) >= 0) {
        const char axis = r.Part[r.Pos];
        long long factor = 0;
        if (fraction || !ParseInteger(numerator, factor) || factor > kMaxSymOpFactor)
          return Fail("the factor " + std::string(number) + " of " + axis + " is no small integer");
        int& entry = row.Rot[AxisOfLetter(axis)];
        entry += sign * static_cast<int>(factor);
        if (std::abs(entry) > kMaxSymOpFactor) return Fail(TooLarge(axis));
        ++r.Pos;
        continue;
      }
      constant += sign * value;
    }
    const double inTwentyFourths = constant * kTransDen;
    const double nearest = std::round(inTwentyFourths);
    if (!(std::fabs(inTwentyFourths - nearest) <= kTransTolerance) || std::fabs(nearest) > 1e6)
      return Fail("the translation " + FormatFixed(constant, 6) + " is no multiple of 1/24");
    row.Trans = static_cast<int>(nearest);
    return row;
  }

  std::nullopt_t Fail(const std::string& reason) const {
    if (Where_)
      throw TError(Place_, "symmetry operator \"" + std::string(Trim(Text_)) + "\" (" +
                               std::string(*Where_) + ") cannot be read: " + reason + ".");
    return std::nullopt;
  }

  std::string_view Text_;
  std::optional<std::string_view> Where_;
  TPlace Place_;
};

}  // namespace

TSymOp IdentitySymOp() {
  TSymOp op;
  op.Rot = {TIntVec3{1, 0, 0}, TIntVec3{0, 1, 0}, TIntVec3{0, 0, 1}};
  return op;
}

bool IsIdentity(const TSymOp& op) { return op == IdentitySymOp(); }

TSymOp InversionSymOp() {
  TSymOp op;
  op.Rot = {TIntVec3{-1, 0, 0}, TIntVec3{0, -1, 0}, TIntVec3{0, 0, -1}};
  return op;
}

TSymOp ParseSymOp(std::string_view text, std::string_view where, const TPlace& place) {
  return *TSymOpReader(text, where, place).Read();
}

std::optional<TSymOp> SymOpOfText(std::string_view text) {
  return TSymOpReader(text, std::nullopt).Read();
}

namespace {

// An entry of a product or inverse, exact in long long, as an int.
int Checked(long long value, const char* what, const TSymOp& a, const TSymOp* b = nullptr) {
  if (value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())
    return static_cast<int>(value);
  std::string message = "the ";
  ((message += what) += " of the symmetry operator ") += SymOpText(a);
  if (b != nullptr) (message += " and ") += SymOpText(*b);
  message += " has an entry beyond the range of whole numbers it can hold.";
  Fail(message);
}

TLongMat3 Widened(const TIntMat3& m) {
  TLongMat3 w{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) w[i][j] = m[i][j];
  return w;
}

long long FloorMod(long long a, long long n) { return ((a % n) + n) % n; }

}  // namespace

TSymOp Product(const TSymOp& a, const TSymOp& b) {
  TSymOp r;
  for (int i = 0; i < 3; ++i) {
    long long t = a.Trans[i];
    for (int j = 0; j < 3; ++j) {
      t += static_cast<long long>(a.Rot[i][j]) * b.Trans[j];
      long long rot = 0;
      for (int k = 0; k < 3; ++k) rot += static_cast<long long>(a.Rot[i][k]) * b.Rot[k][j];
      r.Rot[i][j] = Checked(rot, "product", a, &b);
    }
    r.Trans[i] = Checked(t, "product", a, &b);
  }
  return r;
}

long long Determinant(const TLongMat3& m) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
         m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

long long Determinant(const TIntMat3& m) { return Determinant(Widened(m)); }

TLongMat3 Adjugate(const TLongMat3& m) {
  TLongMat3 a{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      // The cofactor of m[j][i]: the minor without row j and column i.
      const int r0 = j == 0 ? 1 : 0, r1 = j == 2 ? 1 : 2;
      const int c0 = i == 0 ? 1 : 0, c1 = i == 2 ? 1 : 2;
      a[i][j] = ((i + j) % 2 == 0 ? 1 : -1) * (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]);
    }
  return a;
}

TLongMat3 Adjugate(const TIntMat3& m) { return Adjugate(Widened(m)); }

TSymOp Inverse(const TSymOp& op) {
  const long long det = Determinant(op.Rot);
  const TLongMat3 adj = Adjugate(op.Rot);
  TSymOp inv;
  // adj(R)/det(R) = adj(R)·det(R), the determinant being +1 or -1.
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) inv.Rot[i][j] = Checked(adj[i][j] * det, "inverse", op);
  for (int i = 0; i < 3; ++i) {
    long long t = 0;
    for (int j = 0; j < 3; ++j) t -= static_cast<long long>(inv.Rot[i][j]) * op.Trans[j];
    inv.Trans[i] = Checked(t, "inverse", op);
  }
  return inv;
}

TTransformedOp Transformed(const TSymOp& op, const TChangeOfBasis& basis) {
  const long long det = Determinant(basis.M);
  if (det == 0) Fail("a singular change of basis has no inverse.");
  const TLongMat3 adj = Adjugate(basis.M);
  TLongMat3 mr{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) mr[i][j] += basis.M[i][k] * op.Rot[k][j];
  TTransformedOp r;
  r.Op.Number = op.Number;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      long long w = 0;
      for (int k = 0; k < 3; ++k) w += mr[i][k] * adj[k][j];
      if (w % det != 0) return {r.Op, TBasisFault::FractionalRotation};
      w /= det;
      if (w > kMaxSymOpFactor || w < -kMaxSymOpFactor) return {r.Op, TBasisFault::LargeRotation};
      r.Op.Rot[i][j] = static_cast<int>(w);
    }
  for (int i = 0; i < 3; ++i) {
    long long mt = 0;
    for (int k = 0; k < 3; ++k) mt += basis.M[i][k] * op.Trans[k];
    if (mt % kTransDen != 0) return {r.Op, TBasisFault::FractionalTranslation};
    long long t = mt / kTransDen + basis.Trans[i];
    for (int k = 0; k < 3; ++k) t -= r.Op.Rot[i][k] * basis.Trans[k];
    r.Op.Trans[i] = static_cast<int>(FloorMod(t, kTransDen));
  }
  return r;
}

TVec3 RotatedPart(const TSymOp& op, const TVec3& f) {
  TVec3 r{};
  for (int i = 0; i < 3; ++i)
    r[i] = op.Rot[i][2] * f[2] + (op.Rot[i][1] * f[1] + op.Rot[i][0] * f[0]);
  return r;
}

TVec3 AddTranslation(const TSymOp& op, const TVec3& rotated, const TIntVec3& cell) {
  TVec3 r{};
  for (int i = 0; i < 3; ++i)
    r[i] = rotated[i] + (op.Trans[i] / static_cast<double>(kTransDen) + cell[i]);
  return r;
}

TVec3 ApplySymOp(const TSymOp& op, const TVec3& f, const TIntVec3& cell) {
  return AddTranslation(op, RotatedPart(op, f), cell);
}

bool SameModLattice(const TSymOp& a, const TSymOp& b) {
  if (a.Rot != b.Rot) return false;
  for (int i = 0; i < 3; ++i)
    if ((a.Trans[i] - b.Trans[i]) % kTransDen != 0) return false;
  return true;
}

TSymOp Reduced(TSymOp op) {
  for (int& t : op.Trans) t = ((t % kTransDen) + kTransDen) % kTransDen;
  return op;
}

TMat3 RotationMatrix(const TSymOp& op) {
  TMat3 m{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m[i][j] = op.Rot[i][j];
  return m;
}

std::string SymOpText(const TSymOp& op) {
  static const char* const kAxes[] = {"x", "y", "z"};
  std::string text;
  for (size_t i = 0; i < 3; ++i) {
    std::string part;
    const int t = op.Trans[i];
    if (t != 0) {
      const int g = std::gcd(t, kTransDen);
      part = std::to_string(t / g);
      if (kTransDen / g != 1) (part += '/') += std::to_string(kTransDen / g);
    }
    for (size_t j = 0; j < 3; ++j) {
      const int r = op.Rot[i][j];
      if (r == 0) continue;
      part += r < 0 ? "-" : part.empty() ? "" : "+";
      if (std::abs(r) != 1) part += std::to_string(std::abs(r));
      part += kAxes[j];
    }
    if (part.empty()) part += '0';
    (text += i ? ", " : "") += part;
  }
  return text;
}

}  // namespace koravel
