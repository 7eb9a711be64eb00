#include "cif/cif_tokenizer.h"

#include <algorithm>
#include <cstring>

#include "geom/text.h"

namespace koravel {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

// A text field that grows past this size is probably an embedded reflection
// or instruction file of many megabytes.
constexpr std::size_t kLargeField = 1 << 16;

// Hands out whole lines (each with its line end: LF, CR LF or CR) one at a
// time, without their ends. The next CR and the next LF are each searched
// once and remembered until passed, so that text with one kind of line end
// costs one search per line.
class TLineSplitter {
 public:
  explicit TLineSplitter(std::string_view lines)
      : Pos_(lines.data()),
        End_(lines.data() + lines.size()),
        NextCr_(Find('\r')),
        NextLf_(Find('\n')) {}

  bool Next(std::string_view& line) {
    if (Pos_ >= End_) return false;
    if (NextCr_ < Pos_) NextCr_ = Find('\r');
    if (NextLf_ < Pos_) NextLf_ = Find('\n');
    const char* end = std::min(NextCr_, NextLf_);
    line = std::string_view(Pos_, static_cast<std::size_t>(end - Pos_));
    Pos_ = end < End_ ? end + 1 : End_;
    if (end < End_ && *end == '\r' && Pos_ < End_ && *Pos_ == '\n') ++Pos_;
    return true;
  }
  // The lines not yet handed out.
  std::string_view Rest() const { return {Pos_, static_cast<std::size_t>(End_ - Pos_)}; }
  // Whether a CR is left among them.
  bool HasCr() {
    if (NextCr_ < Pos_) NextCr_ = Find('\r');
    return NextCr_ < End_;
  }

 private:
  const char* Find(char c) const {
    const void* hit = std::memchr(Pos_, c, static_cast<std::size_t>(End_ - Pos_));
    return hit ? static_cast<const char*>(hit) : End_;
  }

  const char* Pos_;
  const char* End_;
  const char* NextCr_;  // first CR at or after Pos_, End_ when none
  const char* NextLf_;  // first LF at or after Pos_, End_ when none
};

// Whether every line of `lines` (whole lines, at least one) ends with CR LF
// and no CR or LF stands anywhere else: then they are joined as they are.
// Written without early exits, so that the compiler can compare many bytes
// at once.
bool HasOnlyCrLfLineEnds(std::string_view lines) {
  const std::size_t n = lines.size();
  if (n < 2 || lines[0] == '\n' || lines[n - 1] != '\n') return false;
  const char* p = lines.data();
  unsigned char misplaced = 0;
  for (std::size_t i = 0; i + 1 < n; ++i)
    misplaced |= static_cast<unsigned char>((p[i] == '\r') != (p[i + 1] == '\n'));
  return misplaced == 0;
}

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

// A field that grows past kLargeField will hold about the rest of the file
// (a CR added to every LF): room for that at once spares the copies of a
// string that doubles. `incoming` bytes have been taken from the lines but
// not yet appended.
void TCifTokenizer::ReserveForLargeField(std::size_t incoming) {
  if (FieldReserved_ || Field_.size() + incoming < kLargeField) return;
  const std::uintmax_t rest = incoming + Lines_.RemainingBytes();
  const std::uintmax_t room = rest + rest / 8;
  if (room < Field_.max_size() - Field_.size()) Field_.reserve(Field_.size() + room);
  FieldReserved_ = true;
}

// Lines of a field are joined with CR LF; leading empty lines vanish, inner
// ones remain.
void TCifTokenizer::AppendFieldLine(std::string_view line) {
  ReserveForLargeField(line.size() + 2);
  if (!Field_.empty()) Field_ += "\r\n";
  Field_ += line;
}

// Appends whole lines of a field, each with its line end, as AppendFieldLine
// would one by one. An embedded reflection file has a million lines or more,
// so the common kinds of text take short cuts: with LF line ends each line
// goes in together with the LF before it, text that uses CR LF throughout is
// copied as it is.
void TCifTokenizer::AppendFieldLines(std::string_view lines) {
  ReserveForLargeField(lines.size());
  TLineSplitter split(lines);
  std::string_view line;
  while (Field_.empty() && split.Next(line)) AppendFieldLine(line);  // leading empty lines vanish
  lines = split.Rest();
  if (lines.empty()) return;
  // From here on every line is preceded by CR LF.
  if (!split.HasCr()) {
    const char* const end = lines.data() + lines.size();
    const char* lf = static_cast<const char*>(std::memchr(lines.data(), '\n', lines.size()));
    Field_ += "\r\n";
    Field_.append(lines.data(), static_cast<std::size_t>(lf - lines.data()));
    while (const void* next = std::memchr(lf + 1, '\n', static_cast<std::size_t>(end - lf - 1))) {
      Field_ += '\r';
      Field_.append(lf, static_cast<std::size_t>(static_cast<const char*>(next) - lf));
      lf = static_cast<const char*>(next);
    }
    return;
  }
  if (HasOnlyCrLfLineEnds(lines)) {
    Field_ += "\r\n";
    Field_.append(lines.data(), lines.size() - 2);
    return;
  }
  while (split.Next(line)) {
    Field_ += "\r\n";
    Field_ += line;
  }
}

// Reads the rest of a text field whose opening line has been read: up to the
// closing semicolon line (the rest of which is ignored) or the end of the
// text, where an open field ends too.
void TCifTokenizer::ReadField(std::string_view openingLine, TTok& tok) {
  Field_.assign(Trim(openingLine.substr(1)));
  FieldReserved_ = false;
  for (;;) {
    std::string_view lines;
    if (Lines_.NextFieldLines(lines)) {
      AppendFieldLines(lines);
      continue;
    }
    std::string_view line;
    if (!Lines_.NextLine(line) || (!line.empty() && line.front() == ';')) break;
    AppendFieldLine(line);
  }
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
