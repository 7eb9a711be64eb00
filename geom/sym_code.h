#pragma once
#include <string_view>
#include <vector>

#include "geom/symop.h"

namespace koravel {

// Reads a full symmetry code n_klm against the structure's operator list: the
// operator n (1-based) with the lattice translation (k-5, l-5, m-5). False for
// a malformed code or an operator number outside the list; `op` then carries
// no meaning.
bool ResolveSymCode(const std::vector<TSymOp>& symOps, std::string_view code, TSymOp& op);

}  // namespace koravel
