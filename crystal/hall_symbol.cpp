#include "crystal/hall_symbol.h"

#include <optional>
#include <string>

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

// A finite group of integer 3x3 matrices has at most 48 elements (m-3m).
constexpr std::size_t kMaxPointGroupOrder = 48;

// Rotation matrices along a, b, c (ITB Table A1.4.2.4), index [axis][order]
// for the orders 2, 3, 4, 6.
TIntMat3 AxisRotation(int axis, int order) {
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
  const int column = order == 2 ? 0 : order == 3 ? 1 : order == 4 ? 2 : 3;
  return kRot[axis][column];
}

// Two-fold rotations along the face diagonals perpendicular to the preceding
// axis (ITB Table A1.4.2.5): ' along b-c, a-c, a-b; " along b+c, a+c, a+b.
TIntMat3 DiagonalRotation(int precedingAxis, bool doublePrime) {
  static constexpr TIntMat3 kRot[3][2] = {
      {{{{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}}}, {{{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}}}},
      {{{{0, 0, -1}, {0, -1, 0}, {-1, 0, 0}}}, {{{0, 0, 1}, {0, -1, 0}, {1, 0, 0}}}},
      {{{{0, -1, 0}, {-1, 0, 0}, {0, 0, -1}}}, {{{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}}},
  };
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
};

struct TSymbol {
  std::vector<TIntVec3> Centring;
  std::vector<TSymOp> Generators;  // the inversion, when centrosymmetric, last
  std::optional<TSymOp> Basis;     // change of basis V; an origin shift v as (I|v)
};

// Whether a and b differ by a centring translation (or none).
bool SameModCentring(const TSymOp& a, const TSymOp& b, const std::vector<TIntVec3>& centring) {
  if (a.Rot != b.Rot) return false;
  if (SameModLattice(a, b)) return true;
  for (const TIntVec3& c : centring) {
    TSymOp shifted = b;
    for (int i = 0; i < 3; ++i) shifted.Trans[i] += c[i];
    if (SameModLattice(a, shifted)) return true;
  }
  return false;
}

// V·op·V^-1 with the translation reduced: the operator in the basis that V
// leads to (ITB A1.4.2.5); the number stays. A lattice translation in V
// changes the result by one only, so V's is reduced first, which keeps the
// products small.
TSymOp InBasis(const TSymOp& op, const TSymOp& basis) {
  const TSymOp v = Reduced(basis);
  TSymOp r = Reduced(Product(v, Product(op, Inverse(v))));
  r.Number = op.Number;
  return r;
}

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
    std::vector<TSymOp> ops = AllOps({std::move(*primitive), symbol->Centring});
    // The whole set, centring translations included (which a change of basis
    // moves too), goes into the basis wanted.
    if (symbol->Basis)
      for (TSymOp& op : ops) op = InBasis(op, *symbol->Basis);
    return ops;
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
    const std::vector<std::string_view> tokens = SplitFields(body, IsBlankOrTab);
    if (tokens.empty()) return Fail("it is empty");

    std::string_view lattice = tokens[0];
    const bool centric = lattice.front() == '-';
    if (centric) lattice.remove_prefix(1);
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
      symbol.Generators.push_back(m->Op);
      preceding = *m;
    }
    if (centric) {
      TSymOp inversion;
      inversion.Rot = {TIntVec3{-1, 0, 0}, TIntVec3{0, -1, 0}, TIntVec3{0, 0, -1}};
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
    m.Order = orderChar - '0';

    m.Axis = pos < token.size() ? AxisOfSymbol(token[pos]) : kNoAxis;
    if (m.Axis != kNoAxis) {
      ++pos;
    } else if (index == 0) {  // default axes, ITB A1.4.2.4
      m.Axis = 2;
    } else if (index == 1 && m.Order == 2 && (preceding.Order == 2 || preceding.Order == 4)) {
      m.Axis = 0;
    } else if (index == 1 && m.Order == 2 && (preceding.Order == 3 || preceding.Order == 6)) {
      m.Axis = kPrime;
    } else if (index == 2 && m.Order == 3) {
      m.Axis = kStar;
    } else if (m.Order != 1) {
      return Fail(Quoted(token) + " needs an axis symbol x, y, z, ', \" or *");
    }

    TSymOp& op = m.Op;
    if (m.Order == 1) {
      op.Rot = IdentitySymOp().Rot;
    } else if (m.Axis == kPrime || m.Axis == kDoublePrime) {
      if (m.Order != 2)
        return Fail(Quoted(token) + ": a face-diagonal axis carries a 2-fold rotation only");
      if (preceding.Axis == kNoAxis)
        return Fail(Quoted(token) + ": a face-diagonal axis needs a preceding axis");
      // After the body diagonal (rhombohedral axes, "P 3* 2") the 2-fold axes
      // lie along a-b, as after c.
      op.Rot = DiagonalRotation(preceding.Axis == kStar ? 2 : preceding.Axis,
                                m.Axis == kDoublePrime);
    } else if (m.Axis == kStar) {
      if (m.Order != 3)
        return Fail(Quoted(token) + ": the body diagonal * carries a 3-fold rotation only");
      op.Rot = kBodyDiagonal;
    } else {
      op.Rot = AxisRotation(m.Axis, m.Order);
    }
    if (improper)
      for (TIntVec3& row : op.Rot)
        for (int& v : row) v = -v;

    for (; pos < token.size(); ++pos) {
      const char c = token[pos];
      if (c >= '1' && c <= '5') {  // screw: (c/order) along the axis
        const int screw = c - '0';
        if (screw >= m.Order)
          return Fail(Quoted(token) + ": the screw part " + c + " must be smaller than the order " +
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
  // change of basis (I|v); "(x-z,y,z)": a change of basis V with
  // whole-number factors (the extension of the Hall notation of ITB
  // A1.4.2.5 and cctbx, which SHELXL and Olex2 files use).
  std::optional<TSymOp> ReadBasis(std::string_view text) const {
    if (text.size() < 2 || text.back() != ')')
      return Fail("the origin shift does not end with \")\"");
    const std::string_view inner = text.substr(1, text.size() - 2);
    if (text.find(',') != std::string_view::npos) {
      std::optional<TSymOp> basis = SymOpOfText(inner);
      if (!basis)
        return Fail("the change of basis " + std::string(text) +
                    " is no operator x,y,z with whole-number factors");
      return basis;
    }
    const std::string notTwelfths =
        "the origin shift " + std::string(text) + " is not three whole numbers of twelfths";
    const std::vector<std::string_view> parts = SplitFields(inner, IsBlankOrTab);
    if (parts.size() != 3) return Fail(notTwelfths);
    TSymOp shift = IdentitySymOp();
    for (int i = 0; i < 3; ++i) {
      std::string_view p = parts[i];
      const bool negative = p.front() == '-';
      if (negative || p.front() == '+') p.remove_prefix(1);
      if (p.empty() || p.size() > 3) return Fail(notTwelfths);
      int value = 0;
      for (const char c : p) {
        if (!IsDigit(c)) return Fail(notTwelfths);
        value = value * 10 + (c - '0');
      }
      shift.Trans[i] = (negative ? -value : value) * kShiftUnit;
    }
    return shift;
  }

  // The (0,0,0)+ set: the closure of the generators modulo the lattice with
  // its centring, breadth first from the identity.
  std::optional<std::vector<TSymOp>> CompleteGroup(const TSymbol& symbol) const {
    std::vector<TSymOp> ops = {IdentitySymOp()};
    for (size_t next = 0; next < ops.size(); ++next) {
      for (const TSymOp& g : symbol.Generators) {
        const TSymOp product = Reduced(Product(ops[next], g));
        bool known = false;
        for (const TSymOp& op : ops) {
          if (op.Rot != product.Rot) continue;
          if (!SameModCentring(op, product, symbol.Centring))
            return Fail("its matrix symbols need a translation that its lattice does not have");
          known = true;
          break;
        }
        if (known) continue;
        if (ops.size() == kMaxPointGroupOrder)
          return Fail("its matrix symbols do not make a finite group");
        ops.push_back(product);
      }
    }
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
