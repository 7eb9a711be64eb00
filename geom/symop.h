#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "geom/vec3.h"

namespace koravel {

// A space-group operator with its lattice translation: x' = Rot·x + Trans.
struct TSymOp {
  TMat3 Rot{};          // Rot[i][j]: coefficient of input j in output i
  TVec3 Trans{};        // fractions of the cell edges, lattice part included
  int Num = 1;          // 1-based number in the structure's operator list
  std::string Code = "1_555";  // symmetry code n_klm
};

// An atom image: atom index into the working structure and its operator.
struct TSiteRef {
  int Atom = 0;
  TSymOp Op;
};

TSymOp IdentitySymOp();
bool ParseSymOp(std::string_view text, TSymOp& op);
TVec3 ApplySymOp(const TSymOp& op, const TVec3& f);
TSymOp TranslatedSymOp(const TSymOp& op, int ta, int tb, int tc);
TVec3 SiteCartesian(const TVec3& f, const TSymOp& op, const TMat3& ortho);
bool SameSite(const std::vector<TVec3>& frac, const TSiteRef& a, const TSiteRef& b);

}  // namespace koravel
