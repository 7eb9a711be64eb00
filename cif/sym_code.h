#pragma once
#include <string>
#include <string_view>

namespace koravel {

// A site-symmetry value from a CIF as a full code n_klm: empty, "." and "?"
// mean the identity 1_555; a bare operator number n means n_555.
std::string NormalizeSymCode(std::string_view value);

}  // namespace koravel
