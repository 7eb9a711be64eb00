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
