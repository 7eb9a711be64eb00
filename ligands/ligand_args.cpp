#include "ligands/ligand_args.h"

#include "base/error.h"
#include "base/text.h"

namespace koravel {

namespace {

bool IsNameSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }
bool IsBracket(char c) { return c == '[' || c == ']' || c == '(' || c == ')'; }

bool IsCentroidKeyword(std::string_view token) {
  return SameText(token, "cent") || SameText(token, "cg") || SameText(token, "centroid");
}

// The tokens of the arguments: names, and every bracket as a token of its own.
std::vector<std::string> Tokens(const std::vector<std::string>& args,
                                const std::function<bool(std::string_view)>& isLabel) {
  std::vector<std::string> tokens;
  for (const std::string& arg : args) {
    // A whole argument that is a label with a blank ('Mo (4)') stays one name.
    if (isLabel && arg.find(' ') != std::string::npos && isLabel(arg)) {
      tokens.push_back(arg);
      continue;
    }
    for (std::string_view word : SplitFields(arg, IsNameSeparator)) {
      if (isLabel && isLabel(word)) {
        tokens.emplace_back(word);
        continue;
      }
      // A label with parentheses that opens or closes a square-bracket group:
      // [C(1) C(2) C(3)], as the report names an eta-bonded ring.
      const size_t open = word.find_first_not_of('[');
      const size_t close = word.find_last_not_of(']') + 1;
      if (isLabel && open != std::string_view::npos && (open > 0 || close < word.size()) &&
          isLabel(word.substr(open, close - open))) {
        tokens.insert(tokens.end(), open, "[");
        tokens.emplace_back(word.substr(open, close - open));
        tokens.insert(tokens.end(), word.size() - close, "]");
        continue;
      }
      size_t start = 0;
      for (size_t i = 0; i <= word.size(); ++i) {
        if (i < word.size() && !IsBracket(word[i])) continue;
        if (i > start) tokens.emplace_back(word.substr(start, i - start));
        if (i < word.size()) tokens.emplace_back(1, word[i]);
        start = i + 1;
      }
    }
  }
  return tokens;
}

}  // namespace

TLigandArgs ParseLigandArgs(const std::vector<std::string>& args,
                            const std::function<bool(std::string_view)>& isLabel) {
  TLigandArgs result;
  int group = -1;
  bool afterKeyword = false;
  for (const std::string& token : Tokens(args, isLabel)) {
    if (token == "[" || token == "(") {
      if (group >= 0) Fail("nested brackets in a centroid definition.");
      // "cent", "cg" or "centroid" right before a bracket only names it.
      if (afterKeyword) {
        result.Names.pop_back();
        result.Groups.pop_back();
      }
      group = result.GroupCount++;
      afterKeyword = false;
    } else if (token == "]" || token == ")") {
      if (group < 0) Fail("closing bracket without opening bracket.");
      group = -1;
      afterKeyword = false;
    } else {
      result.Names.push_back(token);
      result.Groups.push_back(group);
      afterKeyword = group < 0 && IsCentroidKeyword(token);
    }
  }
  if (group >= 0) Fail("unclosed bracket in a centroid definition.");
  return result;
}

}  // namespace koravel
