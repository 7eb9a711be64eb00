#include "crystal/hall_symbol.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "base/error.h"
#include "base/text.h"
#include "crystal/group_ops.h"

namespace koravel {

namespace {

// Translations below are in twenty-fourths (kTransDen); an origin shift is
// written in twelfths.
constexpr int kHalf = kTransDen / 2;
constexpr int kQuarter = kTransDen / 4;
constexpr int kShiftUnit = kTransDen / 12;

// Rotation matrices along a, b, c (ITB Table A1.4.2.4) for the orders 2, 3,
// 4, 6; nothing for any other axis or order.
std::optional<TIntMat3> AxisRotation(int axis, int order) {
  static constexpr TIntMat3 kRot[3][4] = {
      {{{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}},
       {{{1, 0, 0}, {0, 0, -1}, {0, 1, -1}}},
       {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}},
       {{{1, 0, 0}, {0, 1, -1}, {0, 1, 0}}}},
      {{{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}},
       {{{-1, 0, 1}, {0, 1, 0}, {-1, 0, 0}}},
       {{{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}}},
       {{{0, 0, 1}, {0, 1, 0}, {-1, 0, 1}}}},
      {{{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}},
       {{{0, -1, 0}, {1, -1, 0}, {0, 0, 1}}},
       {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}},
       {{{1, -1, 0}, {1, 0, 0}, {0, 0, 1}}}},
  };
  const int column = order == 2 ? 0 : order == 3 ? 1 : order == 4 ? 2 : order == 6 ? 3 : -1;
  if (axis < 0 || axis > 2 || column < 0) return std::nullopt;
  return kRot[axis][column];
}

// Two-fold rotations along the face diagonals perpendicular to the preceding
// axis a, b or c (ITB Table A1.4.2.5): ' along b-c, a-c, a-b; " along b+c,
// a+c, a+b. Nothing after any other axis.
std::optional<TIntMat3> DiagonalRotation(int precedingAxis, bool doublePrime) {
  static constexpr TIntMat3 kRot[3][2] = {
      {{{{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}}}, {{{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}}}},
      {{{{0, 0, -1}, {0, -1, 0}, {-1, 0, 0}}}, {{{0, 0, 1}, {0, -1, 0}, {1, 0, 0}}}},
      {{{{0, -1, 0}, {-1, 0, 0}, {0, 0, -1}}}, {{{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}}},
  };
  if (precedingAxis < 0 || precedingAxis > 2) return std::nullopt;
  return kRot[precedingAxis][doublePrime ? 1 : 0];
}

// The three-fold rotation along a+b+c.
constexpr TIntMat3 kBodyDiagonal = {{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}};

// The translation symbols of the Hall notation.
std::optional<TIntVec3> TranslationOfLetter(char c) {
  switch (c) {
    case 'a': return TIntVec3{kHalf, 0, 0};
    case 'b': return TIntVec3{0, kHalf, 0};
    case 'c': return TIntVec3{0, 0, kHalf};
    case 'n': return TIntVec3{kHalf, kHalf, kHalf};
    case 'u': return TIntVec3{kQuarter, 0, 0};
    case 'v': return TIntVec3{0, kQuarter, 0};
    case 'w': return TIntVec3{0, 0, kQuarter};
    case 'd': return TIntVec3{kQuarter, kQuarter, kQuarter};
    default: return std::nullopt;
  }
}

// Axis of a matrix symbol: 0..2 for a, b, c, or one of these.
enum : int { kNoAxis = -1, kPrime = 3, kDoublePrime = 4, kStar = 5 };

int AxisOfSymbol(char c) {
  switch (c) {
    case 'x': return 0;
    case 'y': return 1;
    case 'z': return 2;
    case '\'': return kPrime;
    case '"': return kDoublePrime;
    case '*': return kStar;
    default: return kNoAxis;
  }
}

std::string Quoted(std::string_view s) {
  std::string q;
  q.reserve(s.size() + 2);
  q += '"';
  q += s;
  q += '"';
  return q;
}

// A matrix symbol as read: its operator, and the rotation order and axis
// that the default axis of the next symbol depends on.
struct TMatrixSymbol {
  TSymOp Op;
  int Order = 0;
  int Axis = kNoAxis;
  std::string_view Text;
};

struct TSymbol {
  std::vector<TIntVec3> Centring;
  std::vector<TMatrixSymbol> Generators;  // the inversion, when centrosymmetric, last
  // Change of basis V; an origin shift v as (I|v). As read, |M| <= 24·24
  // and 0 <= Trans < 24, well inside the bounds that Transformed keeps exact.
  std::optional<TChangeOfBasis> Basis;
};

// A factor of a change of basis beyond this is no crystallographic setting.
constexpr long long kMaxBasisFactor = 24;
// A number in a change of basis has at most this many characters.
constexpr std::size_t kMaxNumberLength = 9;
// Nor a denominator beyond this (with the length above, every product below
// stays far inside long long).
constexpr long long kMaxDenominator = 1000000;

long long FloorMod(long long a, long long n) { return ((a % n) + n) % n; }

// A rational number num/den read exactly from digits, a decimal point and a
// fraction bar ("2", "1/2", "0.25", "1/3").
struct TRational {
  long long Num = 0;
  long long Den = 1;
};

// Reads one Hall symbol (trimmed). At the first thing it cannot read, or
// when its generators make no group, Fail throws TError naming the symbol
// and the reason; a reader that does not throw only tells whether the symbol
// reads, and there Fail gives nothing.
class THallReader {
 public:
  THallReader(std::string_view text, bool throws) : Text_(text), Throws_(throws) {}

  std::optional<std::vector<TSymOp>> Operators() const {
    const std::optional<TSymbol> symbol = ReadSymbol();
    if (!symbol) return std::nullopt;
    std::optional<std::vector<TSymOp>> primitive = CompleteGroup(*symbol);
    if (!primitive) return std::nullopt;
    if (symbol->Basis) {
      std::optional<std::vector<TSymOp>> ops = InBasis(*primitive, symbol->Centring, *symbol->Basis);
      if (!ops) return std::nullopt;
      return Checked(*ops, *ops);
    }
    // Every operator is a product of the generators and the centring
    // translations, so closure under those alone makes the set a group.
    std::vector<TSymOp> generators;
    for (const TMatrixSymbol& g : symbol->Generators) generators.push_back(g.Op);
    for (const TIntVec3& c : symbol->Centring) {
      TSymOp shift = IdentitySymOp();
      shift.Trans = c;
      generators.push_back(shift);
    }
    return Checked(AllOps({std::move(*primitive), symbol->Centring}), generators);
  }

 private:
  std::optional<TSymbol> ReadSymbol() const {
    TSymbol symbol;
    std::string_view body = Text_;
    if (const size_t open = Text_.find('('); open != std::string_view::npos) {
      body = Trim(Text_.substr(0, open));
      symbol.Basis = ReadBasis(Trim(Text_.substr(open)));
      if (!symbol.Basis) return std::nullopt;
    }
    std::vector<std::string_view> tokens = SplitFields(body, IsBlankOrTab);
    if (tokens.empty()) return Fail("it is empty");

    // The lattice symbol, written apart from the first matrix symbol or, as
    // in "-P2ybc", directly before it.
    std::string_view lattice = tokens[0];
    const bool centric = lattice.front() == '-';
    if (centric) lattice.remove_prefix(1);
    if (lattice.size() > 1 && (IsDigit(lattice[1]) || lattice[1] == '-')) {
      tokens.insert(tokens.begin() + 1, lattice.substr(1));
      lattice = lattice.substr(0, 1);
    }
    std::optional<std::vector<TIntVec3>> centring;
    if (lattice.size() == 1) centring = CentringVectors(lattice[0]);
    if (!centring) return Fail(Quoted(lattice) + " is no lattice symbol");
    symbol.Centring = std::move(*centring);
    if (tokens.size() < 2) return Fail("it has no matrix symbol");
    if (tokens.size() > 5) return Fail("it has more than four matrix symbols");

    TMatrixSymbol preceding;
    for (size_t i = 1; i < tokens.size(); ++i) {
      const std::optional<TMatrixSymbol> m =
          ReadMatrixSymbol(tokens[i], static_cast<int>(i - 1), preceding);
      if (!m) return std::nullopt;
      symbol.Generators.push_back(*m);
      preceding = *m;
    }
    if (centric) {
      TMatrixSymbol inversion;
      inversion.Op = InversionSymOp();
      inversion.Order = 1;
      inversion.Text = "-";
      symbol.Generators.push_back(inversion);
    }
    return symbol;
  }

  // The `index`-th matrix symbol, after `preceding`.
  std::optional<TMatrixSymbol> ReadMatrixSymbol(std::string_view token, int index,
                                                const TMatrixSymbol& preceding) const {
    size_t pos = 0;
    const bool improper = token[pos] == '-';
    if (improper) ++pos;
    if (pos >= token.size()) return Fail(Quoted(token) + " has no rotation order");
    const char orderChar = token[pos++];
    if (orderChar != '1' && orderChar != '2' && orderChar != '3' && orderChar != '4' &&
        orderChar != '6')
      return Fail(Quoted(token) + " has no rotation order 1, 2, 3, 4 or 6");
    TMatrixSymbol m;
    m.Text = token;
    m.Order = orderChar - '0';

    m.Axis = pos < token.size() ? AxisOfSymbol(token[pos]) : kNoAxis;
    if (m.Axis != kNoAxis) {
      if (m.Order == 1) return Fail(Quoted(token) + ": the rotation order 1 takes no axis symbol");
      ++pos;
    } else if (m.Order == 1) {
      // The identity or the inversion: no axis, none for the next symbol.
    } else if (index == 0) {  // default axes, ITB A1.4.2.4
      m.Axis = 2;
    } else if (index == 1 && m.Order == 2 && (preceding.Order == 2 || preceding.Order == 4)) {
      m.Axis = 0;
    } else if (index == 1 && m.Order == 2 && (preceding.Order == 3 || preceding.Order == 6)) {
      m.Axis = kPrime;
    } else if (index == 2 && m.Order == 3) {
      m.Axis = kStar;
    } else {
      return Fail(Quoted(token) + " needs an axis symbol x, y, z, ', \" or *");
    }

    TSymOp& op = m.Op;
    if (m.Order == 1) {
      op.Rot = IdentitySymOp().Rot;
    } else if (m.Axis == kPrime || m.Axis == kDoublePrime) {
      if (m.Order != 2)
        return Fail(Quoted(token) + ": a face-diagonal axis carries a 2-fold rotation only");
      // After the body diagonal (rhombohedral axes, "P 3* 2") the 2-fold axes
      // lie along a-b, as after c.
      const std::optional<TIntMat3> rot = DiagonalRotation(
          preceding.Axis == kStar ? 2 : preceding.Axis, m.Axis == kDoublePrime);
      if (!rot)
        return Fail(Quoted(token) + ": a face-diagonal axis needs a preceding axis x, y, z or *");
      op.Rot = *rot;
    } else if (m.Axis == kStar) {
      if (m.Order != 3)
        return Fail(Quoted(token) + ": the body diagonal * carries a 3-fold rotation only");
      op.Rot = kBodyDiagonal;
    } else {
      op.Rot = *AxisRotation(m.Axis, m.Order);  // axis 0..2 and order 2, 3, 4 or 6 here
    }
    if (improper) op = Product(InversionSymOp(), op);

    bool screwed = false;
    for (; pos < token.size(); ++pos) {
      const char c = token[pos];
      if (IsDigit(c)) {  // screw: (c/order) along the axis, one digit (Hall 1981, Table 1)
        if (screwed) return Fail(Quoted(token) + " has more than one screw part");
        screwed = true;
        const int screw = c - '0';
        if (screw == 0 || screw >= m.Order)
          return Fail(Quoted(token) + ": the screw part " + c + " must be from 1 to one less than the order " +
                      orderChar);
        if (m.Axis < 0 || m.Axis > 2)
          return Fail(Quoted(token) + ": a screw part needs the axis x, y or z");
        op.Trans[m.Axis] += screw * kTransDen / m.Order;
        continue;
      }
      const std::optional<TIntVec3> t = TranslationOfLetter(c);
      if (!t)
        return Fail(Quoted(token) + ": " + Quoted(std::string(1, c)) + " is no translation symbol");
      for (int i = 0; i < 3; ++i) op.Trans[i] += (*t)[i];
    }
    op = Reduced(op);
    return m;
  }

  // "(0 0 -1)": an origin shift in three whole numbers of twelfths, the
  // change of basis (I|v); "(x-z,y,z)", "(1/2*x,y,z)": a change of basis V
  // with factors in multiples of 1/24 (the extension of the Hall notation
  // of ITB A1.4.2.5 that cctbx and gemmi read, and SHELXL and Olex2 files
  // use).
  std::optional<TChangeOfBasis> ReadBasis(std::string_view text) const {
    if (text.size() < 2 || text.back() != ')')
      return Fail("the origin shift does not end with \")\"");
    const std::string_view inner = text.substr(1, text.size() - 2);
    if (text.find(',') != std::string_view::npos) return ReadChangeOfBasis(text, inner);
    const std::string notTwelfths =
        "the origin shift " + std::string(text) + " is not three whole numbers of twelfths";
    const std::vector<std::string_view> parts = SplitFields(inner, IsBlankOrTab);
    if (parts.size() != 3) return Fail(notTwelfths);
    TChangeOfBasis shift;
    for (int i = 0; i < 3; ++i) {
      shift.M[i][i] = kTransDen;
      std::string_view p = parts[i];
      const bool negative = p.front() == '-';
      if (negative || p.front() == '+') p.remove_prefix(1);
      if (p.empty() || p.size() > 3) return Fail(notTwelfths);
      int value = 0;
      for (const char c : p) {
        if (!IsDigit(c)) return Fail(notTwelfths);
        value = value * 10 + (c - '0');
      }
      shift.Trans[i] = FloorMod((negative ? -value : value) * kShiftUnit, kTransDen);
    }
    return shift;
  }

  // Three comma-separated parts, each a sum of terms: a number ("1/4",
  // "0.5"), an axis with a factor ("x", "2x", "2*x", "1/2*x", "x/2").
  std::optional<TChangeOfBasis> ReadChangeOfBasis(std::string_view text, std::string_view inner) const {
    const std::string bad = "the change of basis " + std::string(text);
    const std::vector<std::string_view> parts = SplitFields(inner, [](char c) { return c == ','; });
    if (parts.size() != 3 || std::count(inner.begin(), inner.end(), ',') != 2)
      return Fail(bad + " does not have three parts");
    TChangeOfBasis basis;
    for (int row = 0; row < 3; ++row) {
      std::string_view p = Trim(parts[static_cast<size_t>(row)]);
      if (p.empty()) return Fail(bad + " has an empty part");
      long long constant = 0;  // twenty-fourths
      for (bool first = true; !p.empty(); first = false) {
        long long sign = 1;
        if (p.front() == '+' || p.front() == '-') {
          sign = p.front() == '-' ? -1 : 1;
          p = Trim(p.substr(1));
        } else if (!first) {
          return Fail(bad + " has two terms without a sign between them");
        }
        std::optional<TRational> factor;
        if (!p.empty() && (IsDigit(p.front()) || p.front() == '.')) {
          factor = ReadRational(p);
          if (!factor) return Fail(bad + " has a number it cannot read");
          p = Trim(p);
          if (!p.empty() && p.front() == '*') p = Trim(p.substr(1));
        }
        const int axis = p.empty() ? -1 : AxisOfSymbol(LowerAscii(p.front()));
        if (axis < 0 || axis > 2) {
          if (!factor) return Fail(bad + " has a term that is neither x, y, z nor a number");
          // A constant: it must be a multiple of 1/24.
          if ((factor->Num * kTransDen) % factor->Den != 0)
            return Fail(bad + " has a translation that is no multiple of 1/24");
          constant = FloorMod(constant + sign * (factor->Num * kTransDen / factor->Den), kTransDen);
          continue;
        }
        p = Trim(p.substr(1));
        TRational f = factor.value_or(TRational{});
        if (!factor) f.Num = 1;
        if (!p.empty() && p.front() == '/') {  // "x/2"
          p = Trim(p.substr(1));
          const std::optional<TRational> d = ReadRational(p);
          if (!d || d->Den != 1 || d->Num == 0 || d->Num > kMaxDenominator)
            return Fail(bad + " divides by no whole number");
          f.Den *= d->Num;
          p = Trim(p);
        }
        if ((f.Num * kTransDen) % f.Den != 0)
          return Fail(bad + " has a factor that is no multiple of 1/24");
        long long& entry = basis.M[static_cast<size_t>(row)][static_cast<size_t>(axis)];
        entry += sign * (f.Num * kTransDen / f.Den);
        if (entry > kMaxBasisFactor * kTransDen || entry < -kMaxBasisFactor * kTransDen)
          return Fail(bad + " has a factor beyond " + std::to_string(kMaxBasisFactor));
      }
      basis.Trans[static_cast<size_t>(row)] = constant;
    }
    if (Determinant(basis.M) == 0) return Fail(bad + " is singular");
    return basis;
  }

  // A number at the front of p, digits with an optional decimal point and an
  // optional "/digits"; p moves past it. Nothing for any other text, or one
  // longer than kMaxNumberLength characters in either part.
  static std::optional<TRational> ReadRational(std::string_view& p) {
    auto digits = [&p](TRational& r, bool decimals) {
      size_t n = 0;
      bool point = false;
      while (n < p.size() && (IsDigit(p[n]) || (decimals && p[n] == '.' && !point))) {
        if (p[n] == '.') {
          point = true;
        } else {
          r.Num = r.Num * 10 + (p[n] - '0');
          if (point) r.Den *= 10;
        }
        if (++n > kMaxNumberLength) return false;
      }
      p.remove_prefix(n);
      return n > 0 && !(n == 1 && point) && r.Den <= kMaxDenominator;
    };
    TRational r;
    if (!digits(r, true)) return std::nullopt;
    p = Trim(p);
    if (!p.empty() && p.front() == '/') {
      p = Trim(p.substr(1));
      TRational d;
      if (!digits(d, false) || d.Num == 0 || d.Num > kMaxDenominator) return std::nullopt;
      r.Den *= d.Num;
    }
    return r;
  }

  // The (0,0,0)+ set: the closure of the generators modulo the lattice with
  // its centring, breadth first from the identity. Each matrix symbol must
  // add an operator to those of the symbols before it, as the generators of
  // a Hall symbol do (Hall 1981); the lone "1" of P 1 and -P 1 is the one
  // symbol that adds none.
  std::optional<std::vector<TSymOp>> CompleteGroup(const TSymbol& symbol) const {
    std::vector<TSymOp> generators;
    std::vector<TSymOp> ops = {IdentitySymOp()};
    for (const TMatrixSymbol& g : symbol.Generators) {
      const bool known = std::any_of(ops.begin(), ops.end(), [&](const TSymOp& op) {
        return SameModCentring(op, g.Op, symbol.Centring);
      });
      const bool loneIdentity = symbol.Generators.size() == 1 ||
                                (symbol.Generators.size() == 2 && g.Text != "-" &&
                                 symbol.Generators.back().Text == "-");
      if (known && !(loneIdentity && IsIdentity(g.Op)))
        return Fail(g.Text == "-"
                        ? std::string("its \"-\" adds the inversion that its matrix symbols give")
                        : Quoted(g.Text) + " adds no operator to the symbols before it");
      generators.push_back(g.Op);
      TClosure closed = Closure(generators, symbol.Centring);
      if (closed.Fault == TClosure::kOffLattice)
        return Fail("its matrix symbols need a translation that its lattice does not have");
      if (closed.Fault == TClosure::kInfinite) return Fail("its matrix symbols do not make a finite group");
      ops = std::move(closed.Ops);
    }
    return ops;
  }

  // The whole group in the basis that V leads to: each operator of the
  // (0,0,0)+ set as V·op·V^-1 (ITB A1.4.2.5), then its copies for the
  // lattice translations of the new cell. Those are the images V·t of the
  // old ones (the centring translations and the old cell edges, which a V
  // with fractional factors turns into centring translations of a larger
  // cell), taken modulo the new cell edges. The new cell edges must
  // themselves be translations of the old lattice, else V makes a cell that
  // the structure does not repeat.
  std::optional<std::vector<TSymOp>> InBasis(const std::vector<TSymOp>& primitive,
                                             const std::vector<TIntVec3>& centring,
                                             const TChangeOfBasis& basis) const {
    const long long det = Determinant(basis.M);
    const TLongMat3 adj = Adjugate(basis.M);
    // The new cell edge i in old coordinates, in twenty-fourths: 24·V^-1·e_i
    // = 24·24·adj(M)·e_i/det.
    for (int i = 0; i < 3; ++i) {
      TSymOp edge = IdentitySymOp();
      for (int k = 0; k < 3; ++k) {
        const long long t = kTransDen * kTransDen * adj[k][i];
        if (t % det != 0)
          return Fail("its change of basis makes a cell edge that is no lattice translation");
        edge.Trans[k] = static_cast<int>(FloorMod(t / det, kTransDen));
      }
      if (!SameModCentring(IdentitySymOp(), edge, centring))
        return Fail("its change of basis makes a cell edge that is no lattice translation");
    }

    std::vector<TSymOp> ops;
    for (const TSymOp& op : primitive) {
      const TTransformedOp moved = Transformed(op, basis);
      if (moved.Fault != TBasisFault::None) {
        const std::string where = "its change of basis turns " + SymOpText(op);
        switch (moved.Fault) {
          case TBasisFault::FractionalRotation:
            return Fail(where + " into an operator with fractional factors");
          case TBasisFault::LargeRotation:
            return Fail(where + " into an operator with a factor beyond " + std::to_string(kMaxSymOpFactor));
          default:
            return Fail(where + " into one with a translation off the multiples of 1/24");
        }
      }
      ops.push_back(moved.Op);
    }

    // The new centring: the images (I|V·t) of the old centring translations
    // and cell edges (I|t), and their sums, modulo the new cell edges.
    std::vector<TIntVec3> old = centring;
    for (int k = 0; k < 3; ++k) {
      TIntVec3 edge{};
      edge[k] = kTransDen;
      old.push_back(edge);
    }
    std::vector<TIntVec3> images;
    for (const TIntVec3& t : old) {
      TSymOp shift = IdentitySymOp();
      shift.Trans = t;
      const TTransformedOp image = Transformed(shift, basis);
      if (image.Fault != TBasisFault::None)  // a cell edge's image is whole
        return Fail("its change of basis moves a centring translation off the multiples of 1/24");
      images.push_back(image.Op.Trans);
    }
    // (1 + centring translations) copies of the operators, kMaxGroupOrder at most.
    std::optional<std::vector<TIntVec3>> newCentring =
        ClosedCentring(images, kMaxGroupOrder / ops.size() - 1);
    if (!newCentring) return Fail("it gives more than " + std::to_string(kMaxGroupOrder) + " operators");
    return AllOps({std::move(ops), std::move(*newCentring)});
  }

  // The operators if they form a group modulo the lattice (GroupFault).
  std::optional<std::vector<TSymOp>> Checked(std::vector<TSymOp> ops, const std::vector<TSymOp>& by) const {
    const std::string fault = GroupFault(ops, by);
    if (!fault.empty()) return Fail(fault);
    return ops;
  }

  std::nullopt_t Fail(const std::string& reason) const {
    if (Throws_)
      koravel::Fail("Hall symbol \"" + std::string(Text_) + "\" cannot be read: " + reason + ".");
    return std::nullopt;
  }

  std::string_view Text_;
  bool Throws_;
};

}  // namespace

std::vector<TSymOp> HallSymbolOperators(std::string_view hall) {
  // A reader that throws has operators whenever it returns.
  return *THallReader(Trim(hall), true).Operators();
}

bool HallSymbolReads(std::string_view hall) {
  return THallReader(Trim(hall), false).Operators().has_value();
}

}  // namespace koravel
