#pragma once
#include <string_view>
#include <vector>

namespace koravel {

// The tokens of a SHELX or matrix-file line: separated by blanks and tabs, a
// run of separators counting as one.
std::vector<std::string_view> SplitTokens(std::string_view line);

}  // namespace koravel
