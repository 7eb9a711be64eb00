#include "io/cif_document.h"

#include <cstring>

#include "base/encoding.h"
#include "base/error.h"
#include "base/file.h"
#include "base/text.h"

namespace koravel {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }
// Blank, tab, CR and LF all sort at or below the blank: one comparison
// settles nearly every character of a value.
bool EndsValue(char c) {
  return static_cast<unsigned char>(c) <= ' ' && (IsSeparator(c) || IsLineEnd(c));
}

// The line (from 1) of a text position; a line ends at LF, CR LF or CR.
long long LineOf(std::string_view text, std::size_t pos) {
  long long line = 1;
  for (std::size_t i = 0; i < pos && i < text.size(); ++i)
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++line;
  return line;
}

// Hands out the values of CIF text one at a time, in text order. Blanks and
// tabs separate them; "#" starts a comment that runs to the line end; a
// quoted string closes at its quote followed by a blank, a tab or the line
// end (so 'O'Neil' keeps its inner apostrophe) and an unclosed one at the
// line end; a line that begins with ";" opens a text field that the next such
// line closes (the rest of the closing line is ignored); one that the text
// never closes is an error, `name` naming the text.
class TTokenizer {
 public:
  TTokenizer(std::string_view text, std::size_t pos, bool atLineStart, std::string_view name)
      : Text_(text), Pos_(pos), AtLineStart_(atLineStart), Name_(name) {}

  bool Next(TCifValue& value) {
    const std::size_t n = Text_.size();
    for (;;) {
      if (Pos_ >= n) return false;
      const char c = Text_[Pos_];
      if (IsLineEnd(c)) {
        ++Pos_;
        AtLineStart_ = true;
        continue;
      }
      if (AtLineStart_ && c == ';') return TextField(value);
      AtLineStart_ = false;
      if (IsSeparator(c)) {
        ++Pos_;
        continue;
      }
      if (c == '#') {
        while (Pos_ < n && !IsLineEnd(Text_[Pos_])) ++Pos_;
        continue;
      }
      if (c == '\'' || c == '"') return QuotedString(c, value);
      const std::size_t start = Pos_;
      while (Pos_ < n && !EndsValue(Text_[Pos_])) ++Pos_;
      value = TCifValue{Text_.substr(start, Pos_ - start), TCifValue::Bare};
      return true;
    }
  }

  std::size_t Position() const { return Pos_; }

 private:
  bool QuotedString(char quote, TCifValue& value) {
    const std::size_t n = Text_.size();
    const std::size_t start = ++Pos_;
    while (Pos_ < n && !IsLineEnd(Text_[Pos_]) &&
           !(Text_[Pos_] == quote &&
             (Pos_ + 1 == n || IsSeparator(Text_[Pos_ + 1]) || IsLineEnd(Text_[Pos_ + 1]))))
      ++Pos_;
    value = TCifValue{Text_.substr(start, Pos_ - start), TCifValue::Quoted};
    if (Pos_ < n && Text_[Pos_] == quote) ++Pos_;
    return true;
  }

  // The field runs to the first ";" that begins a line, that is, the first
  // one after a CR or an LF. Reflection and instruction files hardly hold
  // any, so one search covers millions of lines.
  bool TextField(TCifValue& value) {
    const std::size_t n = Text_.size();
    const std::size_t start = ++Pos_;
    std::size_t from = start;
    for (;;) {
      const void* hit = from < n ? std::memchr(Text_.data() + from, ';', n - from) : nullptr;
      if (hit == nullptr)
        throw TError({Name_, LineOf(Text_, n - 1)},
                     "text field not closed (opened at line " + std::to_string(LineOf(Text_, start - 1)) + ").");
      const std::size_t semi = static_cast<std::size_t>(static_cast<const char*>(hit) - Text_.data());
      if (!IsLineEnd(Text_[semi - 1])) {
        from = semi + 1;
        continue;
      }
      std::size_t end = semi - 1;  // the line break before the closing ";"
      if (Text_[end] == '\n' && end > start && Text_[end - 1] == '\r') --end;
      value = TCifValue{Text_.substr(start, end > start ? end - start : 0), TCifValue::TextField};
      Pos_ = semi + 1;
      while (Pos_ < n && !IsLineEnd(Text_[Pos_])) ++Pos_;
      AtLineStart_ = false;
      return true;
    }
  }

  std::string_view Text_;
  std::size_t Pos_;
  bool AtLineStart_;
  std::string_view Name_;
};

bool IsTag(const TCifValue& v) {
  return v.Kind == TCifValue::Bare && !v.Raw.empty() && v.Raw.front() == '_';
}

// Reserved words and tags end a loop's values; quoted text never does.
bool EndsLoop(const TCifValue& v) {
  if (v.Kind != TCifValue::Bare) return false;
  const std::string_view t = v.Raw;
  return SameText(t, "loop_") || SameText(t, "global_") || StartsWithText(t, "data_") ||
         StartsWithText(t, "save_") || (!t.empty() && t.front() == '_');
}

// Walks the values with one value of look-ahead: `Tok_` holds the value to
// be handled next, `Have_` whether there is one.
class TBlockBuilder {
 public:
  TBlockBuilder(std::string_view text, std::string_view name, std::vector<TCifBlock>& blocks)
      : Text_(text), Tokens_(text, 0, true, name), Blocks_(blocks) {}

  void Run() {
    Advance();
    while (Have_) Step();
  }

 private:
  void Advance() { Have_ = Tokens_.Next(Tok_); }

  TCifBlock& CurrentBlock() {
    if (Blocks_.empty() || !InBlock_) {
      Blocks_.emplace_back();
      InBlock_ = true;
    }
    return Blocks_.back();
  }

  void Step() {
    if (Tok_.Kind != TCifValue::Bare) return Advance();  // a stray value
    const std::string_view t = Tok_.Raw;
    if (StartsWithText(t, "data_")) {
      Blocks_.emplace_back();
      Blocks_.back().Name = t.substr(5);
      InBlock_ = true;
      return Advance();
    }
    if (SameText(t, "global_")) return Advance();
    if (StartsWithText(t, "save_")) return SkipSaveFrame();
    if (SameText(t, "loop_")) return ReadLoop();
    if (IsTag(Tok_)) return ReadItem();
    Advance();  // a stray value
  }

  // save_name up to and including the next bare save_ is invisible.
  void SkipSaveFrame() {
    const bool opens = Tok_.Raw.size() > 5;
    Advance();
    if (!opens) return;
    while (Have_ && !(Tok_.Kind == TCifValue::Bare && SameText(Tok_.Raw, "save_"))) Advance();
    if (Have_) Advance();
  }

  void ReadLoop() {
    TCifLoop& loop = CurrentBlock().Loops.emplace_back();
    loop.OpenedAt = static_cast<std::size_t>(Tok_.Raw.data() - Text_.data());
    Advance();
    while (Have_ && IsTag(Tok_)) {
      loop.Tags.push_back(Tok_.Raw);
      loop.ValuesFrom = Tokens_.Position();
      Advance();
    }
    while (Have_ && !EndsLoop(Tok_)) {
      ++loop.ValueCount;
      loop.LastValueAt = static_cast<std::size_t>(Tok_.Raw.data() - Text_.data());
      Advance();
    }
    // The value that ended the loop is handled by the next Step.
  }

  void ReadItem() {
    const std::string_view tag = Tok_.Raw;
    TCifBlock& block = CurrentBlock();
    Advance();
    if (!Have_) return;  // a tag at the very end has no value
    block.Items.push_back({tag, Tok_});
    Advance();
  }

  std::string_view Text_;
  TTokenizer Tokens_;
  std::vector<TCifBlock>& Blocks_;
  bool InBlock_ = false;
  TCifValue Tok_;
  bool Have_ = false;
};

// Calls `f` on each "|"-separated alternative of a column until it is true.
template <typename F>
bool AnyAlternative(std::string_view column, F&& f) {
  for (;;) {
    const std::size_t bar = column.find('|');
    if (f(column.substr(0, bar))) return true;
    if (bar == std::string_view::npos) return false;
    column.remove_prefix(bar + 1);
  }
}

int ColumnOf(const TCifLoop& loop, std::string_view tag) {
  for (std::size_t i = 0; i < loop.Tags.size(); ++i)
    if (SameTag(loop.Tags[i], tag)) return static_cast<int>(i);
  return -1;
}

const TCifValue kEmptyValue{};

}  // namespace

std::string_view TCifValue::Text(std::string& storage) const {
  if (Kind != TextField) return Raw;
  storage.clear();
  std::size_t pos = 0;
  bool first = true;
  for (;;) {
    std::size_t end = pos;
    while (end < Raw.size() && !IsLineEnd(Raw[end])) ++end;
    const std::string_view line = Raw.substr(pos, end - pos);
    if (first)
      storage.assign(Trim(line));
    else if (storage.empty())
      storage.assign(line);  // leading empty lines vanish
    else
      storage.append("\r\n").append(line);
    first = false;
    if (end >= Raw.size()) break;
    pos = end + 1;
    if (Raw[end] == '\r' && pos < Raw.size() && Raw[pos] == '\n') ++pos;
  }
  return storage;
}

std::string TCifValue::Text() const {
  std::string storage;
  return std::string(Text(storage));
}

bool TCifValue::IsNull() const {
  std::string storage;
  const std::string_view t = Trim(Text(storage));
  return t.empty() || t == "?" || t == ".";
}

const TCifValue& TCifTable::At(std::size_t row, int column) const {
  const int c = Columns_[static_cast<std::size_t>(column)];
  if (c < 0 || row >= Rows_) return kEmptyValue;
  return Values_[row * Width_ + static_cast<std::size_t>(c)];
}

bool SameTag(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char x = a[i] == '.' ? '_' : LowerAscii(a[i]);
    const char y = b[i] == '.' ? '_' : LowerAscii(b[i]);
    if (x != y) return false;
  }
  return true;
}

TCifDocument::TCifDocument(std::string text, std::string name)
    : Own_(std::make_unique<std::string>(std::move(text))), Name_(std::move(name)) {
  SetText(*Own_);
}

TCifDocument::TCifDocument(TFileBytes&& file, std::string name)
    : File_(std::make_unique<TFileBytes>(std::move(file))), Name_(std::move(name)) {
  SetText(File_->View());
}

// The text of the bytes (Own_ or File_): a view into them, or the decoded
// UTF-16 text, which then replaces Own_.
void TCifDocument::SetText(std::string_view bytes) {
  std::string decoded;
  const std::string_view text = TextFromBytes(bytes, decoded);
  const bool inBytes = text.data() >= bytes.data() && text.data() <= bytes.data() + bytes.size();
  if (inBytes) {
    Text_ = text;
  } else {
    Own_ = std::make_unique<std::string>(std::move(decoded));
    Text_ = *Own_;
  }
  TBlockBuilder(Text_, Name_, Blocks_).Run();
}

TCifDocument::TCifDocument(TCifDocument&&) noexcept = default;
TCifDocument& TCifDocument::operator=(TCifDocument&&) noexcept = default;
TCifDocument::~TCifDocument() = default;

const TCifBlock* TCifDocument::FindBlock(std::string_view name) const {
  for (const TCifBlock& block : Blocks_)
    if (SameText(block.Name, name)) return &block;
  return nullptr;
}

const TCifValue* TCifDocument::FindItem(const TCifBlock& block, std::string_view tag) {
  const TCifValue* found = nullptr;
  AnyAlternative(tag, [&](std::string_view t) {
    for (const TCifItem& item : block.Items)
      if (SameTag(item.Tag, t)) {
        found = &item.Value;
        return true;
      }
    return false;
  });
  return found;
}

bool TCifDocument::HasColumn(const TCifBlock& block, std::string_view column) {
  return AnyAlternative(column, [&](std::string_view tag) {
    for (const TCifLoop& l : block.Loops)
      if (ColumnOf(l, tag) >= 0) return true;
    return false;
  });
}

TCifTable TCifDocument::FindTable(const TCifBlock& block,
                                  const std::vector<std::string_view>& columns) const {
  TCifTable table;
  table.Columns_.assign(columns.size(), -1);
  if (columns.empty()) return table;
  const TCifLoop* loop = nullptr;
  AnyAlternative(columns[0], [&](std::string_view tag) {
    for (const TCifLoop& l : block.Loops)
      if (ColumnOf(l, tag) >= 0) {
        loop = &l;
        table.Columns_[0] = ColumnOf(l, tag);
        return true;
      }
    return false;
  });
  if (loop == nullptr) return table;
  if (!loop->Tags.empty() && loop->ValueCount % loop->Tags.size() != 0)
    throw TError({Name_, LineOf(Text_, loop->LastValueAt)},
                 "the values of the loop opened at line " + std::to_string(LineOf(Text_, loop->OpenedAt)) +
                     " do not fill its last row (" + std::to_string(loop->ValueCount) + " values for " +
                     std::to_string(loop->Tags.size()) + " tags).");
  for (std::size_t c = 1; c < columns.size(); ++c)
    AnyAlternative(columns[c], [&](std::string_view tag) {
      table.Columns_[c] = ColumnOf(*loop, tag);
      return table.Columns_[c] >= 0;
    });
  table.Width_ = loop->Tags.size();
  table.Rows_ = loop->Rows();
  table.Values_.reserve(table.Width_ * table.Rows_);
  TTokenizer tokens(Text_, loop->ValuesFrom, false, Name_);
  TCifValue value;
  while (table.Values_.size() < table.Width_ * table.Rows_ && tokens.Next(value))
    table.Values_.push_back(value);
  return table;
}

TCifDocument ReadCifFile(const std::string& name) { return TCifDocument(TFileBytes(name), name); }

}  // namespace koravel
