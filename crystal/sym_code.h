#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "crystal/structure.h"

namespace koravel {

// Symmetry codes n_klm: the operator's number in the structure's list, then
// 5 + the lattice translation along a, b and c (2_645 is operator 2 shifted
// by +1, -1, 0; 1_555 the atom itself). A translation beyond -5..+4 has no
// digit: the three parts are then written out with separators, n_k_l_m
// (1_10_5_5 is operator 1 shifted by +5, 0, 0), as several programs do.

// The code of a site: n_klm, or n_k_l_m beyond one digit.
std::string SymCode(const TStructure& s, const TSiteRef& site);

// The operator a site's code stands for, its lattice translation folded in
// ("-x, 1-y, z" for 2_565 when operator 2 is -x, -y, z).
std::string SymCodeOperator(const TStructure& s, const TSiteRef& site);

// A site-symmetry value from a CIF as a full code: empty, "." and "?" mean
// 1_555; a bare operator number n means n_555.
std::string NormalizeSymCode(std::string_view value);

// The image of `atom` that a full code names: the operator numbered n and
// one digit per axis, or three integers after separators. Nothing for a
// malformed code or a number that no operator has.
std::optional<TSiteRef> ResolveSymCode(const TStructure& s, int atom, std::string_view code);

}  // namespace koravel
