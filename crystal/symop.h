#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/vec3.h"

namespace koravel {

// Translations are held in twenty-fourths of the cell edges: every
// translation part of a space-group operator in the settings of International
// Tables Vol. A is a multiple of 1/24 (halves, thirds, quarters, sixths,
// eighths, twelfths), so operators compare and combine exactly.
constexpr int kTransDen = 24;

using TIntVec3 = std::array<int, 3>;
using TIntMat3 = std::array<TIntVec3, 3>;
using TLongVec3 = std::array<long long, 3>;
using TLongMat3 = std::array<TLongVec3, 3>;

// A factor of x, y or z beyond this is no crystallographic operator; the
// bound keeps every sum of terms, determinant and product exact.
constexpr int kMaxSymOpFactor = 24;

// A space-group operator x' = Rot·x + Trans/24, with the number by which
// symmetry codes n_klm address it in its structure's operator list.
struct TSymOp {
  TIntMat3 Rot{};   // Rot[i][j]: coefficient of input j in output i
  TIntVec3 Trans{};  // twenty-fourths of the cell edges
  int Number = 1;

  // The same mapping (the number does not count).
  bool operator==(const TSymOp& other) const {
    return Rot == other.Rot && Trans == other.Trans;
  }
};

TSymOp IdentitySymOp();
bool IsIdentity(const TSymOp& op);
// -x,-y,-z: the inversion through the origin.
TSymOp InversionSymOp();

// Reads the usual text form: exactly three comma-separated parts, each a sum
// of terms x, y, z (with an optional integer factor, 2x or 2*x) and
// constants (1/2, 0.5, 0.3333 as files write them; each must be a multiple
// of 1/24 within 0.02/24). The rotation part must have determinant +1 or -1.
// Anything else throws TError naming the text and `where` it stands (e.g.
// "row 2 of the operator loop", "SYMM card 3"), after the file and line
// `place` names.
TSymOp ParseSymOp(std::string_view text, std::string_view where, const TPlace& place = {});

// The operator of a text that ParseSymOp reads; nothing for any other text.
std::optional<TSymOp> SymOpOfText(std::string_view text);

// The product a·b, the mapping b followed by a: (Ra·Rb, Ra·tb + ta), its
// translation not reduced. Exact: summed in long long, and a TError naming
// both operators when an entry leaves the range of int.
TSymOp Product(const TSymOp& a, const TSymOp& b);

// The inverse (R^-1, -R^-1·t) of an operator whose rotation has determinant
// +1 or -1, for which R^-1 is integral too (the adjugate times the
// determinant). Exact: summed in long long, and a TError naming the operator
// when an entry leaves the range of int (a translation near the 10^6
// twenty-fourths that ParseSymOp allows, with large factors).
TSymOp Inverse(const TSymOp& op);

// The determinant, exact for entries up to about 10^6 in size.
long long Determinant(const TLongMat3& m);
long long Determinant(const TIntMat3& m);

// The adjugate (transposed cofactors): m·adj(m) = adj(m)·m = det(m)·I.
TLongMat3 Adjugate(const TLongMat3& m);
TLongMat3 Adjugate(const TIntMat3& m);

// A change of basis x' = V·x + v (International Tables A, ch. 5.1) with
// rational V: M = 24·V, so that factors such as 1/2 and 1/3 are exact, and
// v in twenty-fourths. M must be regular.
struct TChangeOfBasis {
  TLongMat3 M{};
  TLongVec3 Trans{};
};

// Why an operator has no integral form in a new basis.
enum class TBasisFault {
  None,
  FractionalRotation,     // W has a fractional entry
  LargeRotation,          // W has an entry beyond kMaxSymOpFactor
  FractionalTranslation,  // the translation is off the multiples of 1/24
};

struct TTransformedOp {
  TSymOp Op;  // with the number of the operator; meaningless after a fault
  TBasisFault Fault = TBasisFault::None;
};

// The operator in the new basis, V·op·V^-1 = (W | M·t/24 + v - W·v) with
// W = M·R·adj(M)/det(M) (ITB A1.4.2.5), translation reduced into [0, 24).
// Exact in long long for |M| up to 24·24 and factors of R up to 24; the
// first entry of W, row by row, that is fractional or too large, or else the
// first component of the translation off the multiples of 1/24, is the
// fault. A lattice translation (I | t) becomes (I | M·t/24). A TError for a
// singular M.
TTransformedOp Transformed(const TSymOp& op, const TChangeOfBasis& basis);

// The rotation part Rot·f of the image of a fractional position, each
// component summed as Rot(i,2)·f2 + (Rot(i,1)·f1 + Rot(i,0)·f0).
TVec3 RotatedPart(const TSymOp& op, const TVec3& f);

// The image from its rotation part: rotated + (Trans/24 + cell) per component.
TVec3 AddTranslation(const TSymOp& op, const TVec3& rotated, const TIntVec3& cell);

// The fractional image Rot·f + Trans/24 + cell, summed as RotatedPart and
// AddTranslation sum it.
TVec3 ApplySymOp(const TSymOp& op, const TVec3& f, const TIntVec3& cell = {});

// The same operator modulo lattice translations.
bool SameModLattice(const TSymOp& a, const TSymOp& b);

// `op` with every translation component reduced into [0, 24).
TSymOp Reduced(TSymOp op);

// The operator as papers print it, the translation before the terms and as
// a fraction in lowest terms: "-x, 1-y, z", "1/2+x, 1/2-y, -1/2+z".
std::string SymOpText(const TSymOp& op);

// The rotation as a matrix of doubles.
TMat3 RotationMatrix(const TSymOp& op);

}  // namespace koravel
