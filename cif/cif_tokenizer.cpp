#include "cif/cif_tokenizer.h"

#include "geom/text.h"

namespace koravel {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

// A text field that grows past this size is probably an embedded reflection
// or instruction file of many megabytes.
constexpr std::size_t kLargeField = 1 << 16;

}  // namespace

// Takes the next token of the current line, if any is left on it.
bool TCifTokenizer::ScanLine(TTok& tok) {
  const std::string_view line = Line_;
  std::size_t i = LinePos_;
  while (i < line.size() && IsSeparator(line[i])) ++i;
  if (i >= line.size() || line[i] == '#') {  // a comment runs to the line end
    LinePos_ = line.size();
    return false;
  }
  const char first = line[i];
  if (first == '\'' || first == '"') {
    // A quote closes the string only when a blank, a tab or the line end
    // follows it, so that 'O'Neil' keeps its inner apostrophe.
    std::size_t start = i + 1;
    std::size_t j = start;
    while (j < line.size() &&
           !(line[j] == first && (j + 1 == line.size() || IsSeparator(line[j + 1]))))
      ++j;
    tok.Text.assign(line.substr(start, j - start));
    tok.Quoted = true;
    LinePos_ = j < line.size() ? j + 1 : line.size();
    return true;
  }
  std::size_t j = i;
  while (j < line.size() && !IsSeparator(line[j])) ++j;
  tok.Text.assign(line.substr(i, j - i));
  tok.Quoted = false;
  LinePos_ = j;
  return true;
}

// Lines of a field are joined with CR LF; leading empty lines vanish, inner
// ones remain.
void TCifTokenizer::AppendFieldLine(std::string_view line) {
  if (!Field_.empty()) Field_ += "\r\n";
  Field_ += line;
  if (FieldReserved_ || Field_.size() < kLargeField) return;
  // A large field will hold about the rest of the file (a CR added to every
  // LF): room for that at once spares the copies of a string that doubles.
  const std::uintmax_t rest = Lines_.RemainingBytes();
  const std::uintmax_t room = rest + rest / 8;
  if (room < Field_.max_size() - Field_.size()) Field_.reserve(Field_.size() + room);
  FieldReserved_ = true;
}

// Reads the rest of a text field whose opening line has been read: up to the
// closing semicolon line (the rest of which is ignored) or the end of the
// text, where an open field ends too.
void TCifTokenizer::ReadField(std::string_view openingLine, TTok& tok) {
  Field_.assign(Trim(openingLine.substr(1)));
  FieldReserved_ = false;
  std::string_view line;
  while (Lines_.NextLine(line) && !(!line.empty() && line.front() == ';')) AppendFieldLine(line);
  // A field that ended far short of the room reserved for it gives it back.
  if (FieldReserved_ && Field_.capacity() / 2 > Field_.size()) Field_.shrink_to_fit();
  tok.Text = std::move(Field_);
  tok.Quoted = true;
  Field_.clear();
}

bool TCifTokenizer::Next(TTok& tok) {
  for (;;) {
    if (ScanLine(tok)) return true;
    std::string_view line;
    if (!Lines_.NextLine(line)) return false;
    Line_ = {};
    LinePos_ = 0;
    if (!line.empty() && line.front() == ';') {
      ReadField(line, tok);
      return true;
    }
    Line_ = line;
  }
}

TTokArray TokenizeCif(std::string_view text) {
  TTokArray tokens;
  tokens.reserve(4096);
  TCifTokenizer tokenizer(text);
  TTok tok;
  while (tokenizer.Next(tok)) tokens.push_back(std::move(tok));
  tokens.shrink_to_fit();
  return tokens;
}

}  // namespace koravel
