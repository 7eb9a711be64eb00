#include "inputs/tokens.h"

namespace koravel {

namespace {

bool IsTokenSeparator(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string_view> SplitTokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsTokenSeparator(line[i])) ++i;
    size_t start = i;
    while (i < line.size() && !IsTokenSeparator(line[i])) ++i;
    if (i > start) tokens.push_back(line.substr(start, i - start));
  }
  return tokens;
}

}  // namespace koravel
