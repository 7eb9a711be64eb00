#include "sum/ligand_args.h"

#include "geom/fatal.h"
#include "geom/text.h"

namespace koravel {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }

bool IsCentroidKeyword(std::string_view token) {
  return SameText(token, "cent") || SameText(token, "cg") || SameText(token, "centroid");
}

// Puts blanks around every bracket so that each is a token of its own.
std::string SeparateBrackets(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (char c : text) {
    if (c == '[' || c == ']' || c == '(' || c == ')') {
      out += ' ';
      out += c;
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

void SplitAtomList(std::string_view text, std::vector<std::string>& tokens) {
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsSeparator(text[pos])) ++pos;
    size_t start = pos;
    while (pos < text.size() && !IsSeparator(text[pos])) ++pos;
    if (pos > start) tokens.emplace_back(text.substr(start, pos - start));
  }
}

TLigandArgs ParseLigandArgs(const std::vector<std::string>& args, size_t first) {
  std::string joined;
  for (size_t i = first; i < args.size(); ++i) joined += " " + args[i];
  std::vector<std::string> tokens;
  SplitAtomList(SeparateBrackets(joined), tokens);

  TLigandArgs result;
  int group = -1;
  bool afterKeyword = false;
  for (const std::string& token : tokens) {
    if (token == "[" || token == "(") {
      if (group >= 0) Fatal("nested brackets in a centroid definition.");
      // "cent", "cg" or "centroid" right before a bracket only names it.
      if (afterKeyword) {
        result.Names.pop_back();
        result.Groups.pop_back();
      }
      group = result.GroupCount++;
      afterKeyword = false;
    } else if (token == "]" || token == ")") {
      if (group < 0) Fatal("closing bracket without opening bracket.");
      group = -1;
      afterKeyword = false;
    } else {
      result.Names.push_back(token);
      result.Groups.push_back(group);
      afterKeyword = group < 0 && IsCentroidKeyword(token);
    }
  }
  if (group >= 0) Fatal("unclosed bracket in a centroid definition.");
  return result;
}

std::string StripOlexSuffix(std::string_view label, bool& removed) {
  size_t pos = label.find("_$");
  removed = pos != std::string_view::npos;
  return std::string(removed ? label.substr(0, pos) : label);
}

}  // namespace koravel
