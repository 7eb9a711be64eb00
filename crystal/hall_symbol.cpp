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

TIntVec3 TranslationOfLetter(char c) {
  switch (c) {
    case 'a': return {kHalf, 0, 0};
    case 'b': return {0, kHalf, 0};
    case 'c': return {0, 0, kHalf};
    case 'n': return {kHalf, kHalf, kHalf};
    case 'u': return {kQuarter, 0, 0};
    case 'v': return {0, kQuarter, 0};
    case 'w': return {0, 0, kQuarter};
    case 'd': return {kQuarter, kQuarter, kQuarter};
    default: return {-1, -1, -1};
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

struct TSymbol {
  std::vector<TIntVec3> Centring;
  std::vector<TSymOp> Generators;  // the inversion, when centrosymmetric, last
  TIntVec3 Shift{};                // origin shift in twenty-fourths
  std::optional<TSymOp> Basis;     // change of basis V
};

std::string Quoted(std::string_view s) {
  std::string q;
  q.reserve(s.size() + 2);
  q += '"';
  q += s;
  q += '"';
  return q;
}

// One matrix symbol, the `index`-th; `precedingOrder` and `precedingAxis`
// are those of the symbol before it. "" or the reason it cannot be read.
std::string ReadMatrixSymbol(std::string_view token, int index, int& precedingOrder,
                             int& precedingAxis, TSymOp& op) {
  size_t pos = 0;
  const bool improper = token[pos] == '-';
  if (improper) ++pos;
  if (pos >= token.size()) return Quoted(token) + " has no rotation order";
  const char orderChar = token[pos++];
  if (orderChar != '1' && orderChar != '2' && orderChar != '3' && orderChar != '4' &&
      orderChar != '6')
    return Quoted(token) + " has no rotation order 1, 2, 3, 4 or 6";
  const int order = orderChar - '0';

  int axis = pos < token.size() ? AxisOfSymbol(token[pos]) : kNoAxis;
  if (axis != kNoAxis) {
    ++pos;
  } else if (index == 0) {  // default axes, ITB A1.4.2.4
    axis = 2;
  } else if (index == 1 && order == 2 && (precedingOrder == 2 || precedingOrder == 4)) {
    axis = 0;
  } else if (index == 1 && order == 2 && (precedingOrder == 3 || precedingOrder == 6)) {
    axis = kPrime;
  } else if (index == 2 && order == 3) {
    axis = kStar;
  } else if (order != 1) {
    return Quoted(token) + " needs an axis symbol x, y, z, ', \" or *";
  }

  if (order == 1) {
    op.Rot = IdentitySymOp().Rot;
  } else if (axis == kPrime || axis == kDoublePrime) {
    if (order != 2) return Quoted(token) + ": a face-diagonal axis carries a 2-fold rotation only";
    if (precedingAxis == kNoAxis)
      return Quoted(token) + ": a face-diagonal axis needs a preceding axis";
    // After the body diagonal (rhombohedral axes, "P 3* 2") the 2-fold axes
    // lie along a-b, as after c.
    op.Rot = DiagonalRotation(precedingAxis == kStar ? 2 : precedingAxis, axis == kDoublePrime);
  } else if (axis == kStar) {
    if (order != 3) return Quoted(token) + ": the body diagonal * carries a 3-fold rotation only";
    op.Rot = kBodyDiagonal;
  } else {
    op.Rot = AxisRotation(axis, order);
  }
  if (improper)
    for (TIntVec3& row : op.Rot)
      for (int& v : row) v = -v;

  op.Trans = {};
  for (; pos < token.size(); ++pos) {
    const char c = token[pos];
    if (c >= '1' && c <= '5') {  // screw: (c/order) along the axis
      const int screw = c - '0';
      if (screw >= order)
        return Quoted(token) + ": the screw part " + c + " must be smaller than the order " +
               orderChar;
      if (axis < 0 || axis > 2) return Quoted(token) + ": a screw part needs the axis x, y or z";
      op.Trans[axis] += screw * kTransDen / order;
      continue;
    }
    const TIntVec3 t = TranslationOfLetter(c);
    if (t[0] < 0)
      return Quoted(token) + ": " + Quoted(std::string(1, c)) + " is no translation symbol";
    for (int i = 0; i < 3; ++i) op.Trans[i] += t[i];
  }
  op = Reduced(op);
  precedingOrder = order;
  precedingAxis = axis;
  return "";
}

// "(x-z,y,z)": a change of basis V with whole-number coefficients (the
// extension of the Hall notation of ITB A1.4.2.5 and cctbx, which SHELXL
// and Olex2 files use).
std::string ReadChangeOfBasis(std::string_view text, std::optional<TSymOp>& basis) {
  try {
    basis = ParseSymOp(text.substr(1, text.size() - 2), "change of basis");
  } catch (const TError&) {
    return "the change of basis " + std::string(text) +
           " is no operator x,y,z with whole-number factors";
  }
  return "";
}

// "(0 0 -1)": three whole numbers of twelfths; or a change of basis.
std::string ReadOriginShift(std::string_view text, TSymbol& symbol) {
  if (text.size() < 2 || text.back() != ')')
    return "the origin shift does not end with \")\"";
  if (text.find(',') != std::string_view::npos) return ReadChangeOfBasis(text, symbol.Basis);
  TIntVec3& shift = symbol.Shift;
  std::vector<std::string_view> parts =
      SplitFields(text.substr(1, text.size() - 2), IsBlankOrTab);
  if (parts.size() != 3)
    return "the origin shift " + std::string(text) + " is not three whole numbers of twelfths";
  for (int i = 0; i < 3; ++i) {
    std::string_view p = parts[i];
    const bool negative = p.front() == '-';
    if (negative || p.front() == '+') p.remove_prefix(1);
    if (p.empty() || p.size() > 3)
      return "the origin shift " + std::string(text) + " is not three whole numbers of twelfths";
    int value = 0;
    for (const char c : p) {
      if (!IsDigit(c))
        return "the origin shift " + std::string(text) + " is not three whole numbers of twelfths";
      value = value * 10 + (c - '0');
    }
    shift[i] = (negative ? -value : value) * kShiftUnit;
  }
  return "";
}

std::string ReadSymbol(std::string_view text, TSymbol& symbol) {
  std::string_view body = text;
  if (const size_t open = text.find('('); open != std::string_view::npos) {
    body = Trim(text.substr(0, open));
    if (std::string reason = ReadOriginShift(Trim(text.substr(open)), symbol);
        !reason.empty())
      return reason;
  }
  const std::vector<std::string_view> tokens = SplitFields(body, IsBlankOrTab);
  if (tokens.empty()) return "it is empty";

  std::string_view lattice = tokens[0];
  const bool centric = lattice.front() == '-';
  if (centric) lattice.remove_prefix(1);
  std::optional<std::vector<TIntVec3>> centring;
  if (lattice.size() == 1) centring = CentringVectors(lattice[0]);
  if (!centring) return Quoted(lattice) + " is no lattice symbol";
  symbol.Centring = std::move(*centring);
  if (tokens.size() < 2) return "it has no matrix symbol";
  if (tokens.size() > 5) return "it has more than four matrix symbols";

  int precedingOrder = 0, precedingAxis = kNoAxis;
  for (size_t i = 1; i < tokens.size(); ++i) {
    TSymOp op;
    if (std::string reason = ReadMatrixSymbol(tokens[i], static_cast<int>(i - 1), precedingOrder,
                                              precedingAxis, op);
        !reason.empty())
      return reason;
    symbol.Generators.push_back(op);
  }
  if (centric) {
    TSymOp inversion;
    inversion.Rot = {TIntVec3{-1, 0, 0}, TIntVec3{0, -1, 0}, TIntVec3{0, 0, -1}};
    symbol.Generators.push_back(inversion);
  }
  return "";
}

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

// The (0,0,0)+ set: the closure of the generators modulo the lattice with its
// centring, breadth first from the identity. "" or the reason it fails.
std::string CompleteGroup(const TSymbol& symbol, std::vector<TSymOp>& ops) {
  ops = {IdentitySymOp()};
  for (size_t next = 0; next < ops.size(); ++next) {
    for (const TSymOp& g : symbol.Generators) {
      const TSymOp product = Reduced(Product(ops[next], g));
      bool known = false;
      for (const TSymOp& op : ops) {
        if (op.Rot != product.Rot) continue;
        if (!SameModCentring(op, product, symbol.Centring))
          return "its matrix symbols need a translation that its lattice does not have";
        known = true;
        break;
      }
      if (known) continue;
      if (ops.size() == kMaxPointGroupOrder)
        return "its matrix symbols do not make a finite group";
      ops.push_back(product);
    }
  }
  return "";
}

}  // namespace

std::vector<TSymOp> HallSymbolOperators(std::string_view hall) {
  const std::string_view text = Trim(hall);
  TSymbol symbol;
  std::vector<TSymOp> primitive;
  std::string reason = ReadSymbol(text, symbol);
  if (reason.empty()) reason = CompleteGroup(symbol, primitive);
  if (!reason.empty())
    Fail("Hall symbol \"" + std::string(text) + "\" cannot be read: " + reason + ".");

  // The shifted origin: (R, t) becomes (R, t + (I - R) v), ITB A1.4.2.5.
  for (TSymOp& op : primitive) {
    for (int i = 0; i < 3; ++i) {
      op.Trans[i] += symbol.Shift[i];
      for (int j = 0; j < 3; ++j) op.Trans[i] -= op.Rot[i][j] * symbol.Shift[j];
    }
    op = Reduced(op);
  }
  std::vector<TSymOp> ops = AllOps({std::move(primitive), symbol.Centring});
  // In the basis wanted: V·op·V^-1 for each operator of the full set
  // (centring translations included, which the change of basis moves too),
  // as an origin shift v is applied with V = (I|v).
  if (symbol.Basis)
    for (TSymOp& op : ops) op = Reduced(Product(*symbol.Basis, Reduced(Product(op, Inverse(*symbol.Basis)))));
  for (size_t i = 0; i < ops.size(); ++i) ops[i].Number = static_cast<int>(i) + 1;
  return ops;
}

}  // namespace koravel
