#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

// One CIF token. A quoted string or a semicolon text field is never a
// reserved word or a tag, whatever its text looks like.
struct TTok {
  std::string Text;     // without quotes or semicolons
  bool Quoted = false;  // quoted string or text field
};

using TTokArray = std::vector<TTok>;

// Hands out the tokens of CIF text one at a time, in file order, so that a
// file of many megabytes is never held twice as a token list. Lines end at
// LF, CR LF or CR. The text must outlive the tokenizer.
class TCifTokenizer {
 public:
  explicit TCifTokenizer(std::string_view text) : Text_(text) {}

  // False when the text is exhausted.
  bool Next(TTok& tok);

 private:
  bool NextLine(std::string_view& line);
  bool ScanLine(TTok& tok);

  std::string_view Text_;
  std::size_t TextPos_ = 0;   // start of the next unread line
  std::string_view Line_;     // line being split into tokens
  std::size_t LinePos_ = 0;
  bool InTextField_ = false;
  std::string Field_;         // text field accumulated so far
};

// All tokens of the text at once (for inspection and tests).
TTokArray TokenizeCif(std::string_view text);

}  // namespace koravel
