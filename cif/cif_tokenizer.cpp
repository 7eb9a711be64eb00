#include "cif/cif_tokenizer.h"

#include "geom/text.h"

namespace koravel {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool TCifTokenizer::NextLine(std::string_view& line) {
  if (TextPos_ >= Text_.size()) return false;
  std::size_t end = Text_.find_first_of("\r\n", TextPos_);
  if (end == std::string_view::npos) {
    line = Text_.substr(TextPos_);
    TextPos_ = Text_.size();
    return true;
  }
  line = Text_.substr(TextPos_, end - TextPos_);
  TextPos_ = end + 1;
  if (Text_[end] == '\r' && TextPos_ < Text_.size() && Text_[TextPos_] == '\n') ++TextPos_;
  return true;
}

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

bool TCifTokenizer::Next(TTok& tok) {
  for (;;) {
    if (ScanLine(tok)) return true;
    std::string_view line;
    if (!NextLine(line)) break;
    Line_ = {};
    LinePos_ = 0;
    if (!line.empty() && line.front() == ';') {
      if (!InTextField_) {
        InTextField_ = true;
        Field_.assign(Trim(line.substr(1)));
        continue;
      }
      // The closing semicolon line ends the field; the rest of it is ignored.
      InTextField_ = false;
      tok.Text = std::move(Field_);
      tok.Quoted = true;
      Field_.clear();
      return true;
    }
    if (InTextField_) {
      // Leading empty lines of a field vanish; inner ones remain.
      if (!Field_.empty()) Field_ += "\r\n";
      Field_ += line;
      continue;
    }
    Line_ = line;
  }
  if (!InTextField_) return false;
  // A text field left open at the end of the file ends there.
  InTextField_ = false;
  tok.Text = std::move(Field_);
  tok.Quoted = true;
  Field_.clear();
  return true;
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
