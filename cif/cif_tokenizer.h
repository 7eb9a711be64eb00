#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "cif/cif_line_reader.h"

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
// LF, CR LF or CR.
class TCifTokenizer {
 public:
  // The text must outlive the tokenizer.
  explicit TCifTokenizer(std::string_view text) : Lines_(text) {}
  explicit TCifTokenizer(TCifLineReader&& lines) : Lines_(std::move(lines)) {}

  // False when the text is exhausted.
  bool Next(TTok& tok);
  // True when the file could not be read to its end.
  bool ReadFailed() const { return Lines_.ReadFailed(); }

 private:
  bool ScanLine(TTok& tok);
  void ReserveForLargeField(std::size_t incoming);
  void AppendFieldLine(std::string_view line);
  void AppendFieldLines(std::string_view lines);
  void ReadField(std::string_view openingLine, TTok& tok);

  TCifLineReader Lines_;
  std::string_view Line_;     // line being split into tokens
  std::size_t LinePos_ = 0;
  std::string Field_;         // text field accumulated so far
  bool FieldReserved_ = false;  // whether room for a large field was reserved
};

// All tokens of the text at once (for inspection and tests).
TTokArray TokenizeCif(std::string_view text);

}  // namespace koravel
