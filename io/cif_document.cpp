#include "io/cif_document.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

bool IsLineEndByte(std::uint8_t c) { return c == '\n' || c == '\r'; }

// How many LF a text holds, and whether it holds a CR. With SSE2, 64 bytes
// at a time: each LF subtracts 1 (all bits set) from its lane of four byte
// counters, emptied before a lane can wrap, and CRs are or-ed into a mask.
struct TLineFeeds {
  long long Count = 0;
  bool Cr = false;
};

TLineFeeds LineFeeds(std::string_view bytes) {
  const std::size_t n = bytes.size();
  const char* p = bytes.data();
  std::size_t i = 0;
  TLineFeeds r;
#ifdef __SSE2__
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
  auto sum = [](__m128i lanes) {
    const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    return static_cast<long long>(_mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
  };
  auto at = [p](std::size_t k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)); };
  __m128i crs = _mm_setzero_si128();
  while (i + 64 <= n) {
    __m128i a = _mm_setzero_si128(), b = a, c = a, d = a;
    for (int k = 0; k < 255 && i + 64 <= n; ++k, i += 64) {
      const __m128i w = at(i), x = at(i + 16), y = at(i + 32), z = at(i + 48);
      a = _mm_sub_epi8(a, _mm_cmpeq_epi8(w, lf));
      b = _mm_sub_epi8(b, _mm_cmpeq_epi8(x, lf));
      c = _mm_sub_epi8(c, _mm_cmpeq_epi8(y, lf));
      d = _mm_sub_epi8(d, _mm_cmpeq_epi8(z, lf));
      crs = _mm_or_si128(crs, _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(w, cr), _mm_cmpeq_epi8(x, cr)),
                                           _mm_or_si128(_mm_cmpeq_epi8(y, cr), _mm_cmpeq_epi8(z, cr))));
    }
    r.Count += sum(a) + sum(b) + sum(c) + sum(d);
  }
  r.Cr = _mm_movemask_epi8(crs) != 0;
#endif
  for (; i < n; ++i) {
    r.Count += p[i] == '\n';
    r.Cr = r.Cr || p[i] == '\r';
  }
  return r;
}

// The line breaks among bytes that are passed over, up to the first ";"
// (which may close the text field) or their end: LF, and CR not followed by
// LF (rare: files from old Macs); a CR just before that ";" or the end is
// left to the caller, who knows what follows.
struct TPassedOver {
  std::size_t Stop = 0;  // the first ";", or the size
  long long Breaks = 0;
};

TPassedOver ScanPassedOver(std::string_view bytes) {
  const void* semicolon = std::memchr(bytes.data(), ';', bytes.size());
  const std::size_t stop =
      semicolon == nullptr ? bytes.size() : static_cast<std::size_t>(static_cast<const char*>(semicolon) - bytes.data());
  const std::string_view text = bytes.substr(0, stop);
  const TLineFeeds feeds = LineFeeds(text);
  long long breaks = feeds.Count;
  if (feeds.Cr)
    for (std::size_t i = 0; i + 1 < text.size(); ++i) breaks += text[i] == '\r' && text[i + 1] != '\n';
  return {stop, breaks};
}

}  // namespace

// A long text field's body beyond its first kLongTextField bytes: never
// stored (those pages of the buffer are never written), its line breaks
// counted as it went by so that messages still name the right lines.
struct TOmittedText {
  std::size_t From = 0, To = 0;  // byte positions
  long long Breaks = 0;          // line breaks at positions From to To - 1
  bool LastIsBreak = false;      // the byte at To - 1 is one of them
  char First = 0;                // the byte at From
};

// The text of a CIF as read: the bytes (after a UTF-8 byte-order mark), the
// positions of the ";" that begin a line (which open and close every text
// field, since a quoted string and a comment both end at the line's end),
// and the long text-field bodies passed over.
struct TCifText {
  std::unique_ptr<char[]> Bytes;
  std::size_t Capacity = 0, Size = 0;
  std::size_t Start = 0;  // after a byte-order mark
  std::vector<std::size_t> FieldMarks;  // byte positions, ascending
  std::vector<TOmittedText> Omitted;    // ascending

  std::string_view View() const { return {Bytes.get() + Start, Size - Start}; }

  // The line (from 1) of a text position; a line ends at LF, CR LF or CR.
  long long Line(std::size_t textPos) const {
    const std::size_t pos = textPos + Start;
    const char* b = Bytes.get();
    long long line = 1;
    auto breakAt = [&](std::size_t i, char next, bool last) {
      return b[i] == '\n' || (b[i] == '\r' && (last || next != '\n'));
    };
    std::size_t i = Start;
    for (const TOmittedText& o : Omitted) {
      if (o.From >= pos) break;
      for (; i < o.From; ++i) line += breakAt(i, i + 1 < o.From ? b[i + 1] : o.First, false);
      if (pos < o.To) return line + o.Breaks - (o.LastIsBreak ? 1 : 0);
      line += o.Breaks;
      i = o.To;
    }
    for (; i < pos && i < Size; ++i) line += breakAt(i, i + 1 < Size ? b[i + 1] : 0, i + 1 == Size);
    return line;
  }

  // The text position of the first ";" beginning a line at or after
  // `textPos`, or npos.
  std::size_t FieldMarkFrom(std::size_t textPos) const {
    const auto it = std::lower_bound(FieldMarks.begin(), FieldMarks.end(), textPos + Start);
    return it == FieldMarks.end() ? std::string_view::npos : *it - Start;
  }

  // Whether text between two text positions was passed over.
  bool OmittedWithin(std::size_t from, std::size_t to) const {
    for (const TOmittedText& o : Omitted)
      if (o.From < to + Start && o.To > from + Start) return true;
    return false;
  }
};

namespace {

// Fills a TCifText from pieces of a file, in one pass: each piece is
// searched for ";" while it is in the cache, and copied into the buffer
// except where it lies deep inside a long text field.
class TTextReader {
 public:
  explicit TTextReader(TCifText& text) : T_(text) {}

  void Expect(std::size_t size) { Reserve(size); }

  void Take(std::string_view piece) {
    if (T_.Size == 0 && !piece.empty()) Begin(piece);
    Reserve(T_.Size + piece.size());
    if (Utf16_) return Store(piece);
    for (std::size_t i = 0; i < piece.size();) {
      std::size_t end;
      if (InField_ && T_.Size >= Keep_) {
        // Deep in a long text field: one pass finds the next ";" and
        // counts the line breaks before it.
        const TPassedOver scan = ScanPassedOver(piece.substr(i));
        end = i + scan.Stop;
        if (end > i) Omit(piece.substr(i, end - i), scan.Breaks);
      } else {
        const void* hit = std::memchr(piece.data() + i, ';', piece.size() - i);
        end = hit == nullptr ? piece.size() : static_cast<std::size_t>(static_cast<const char*>(hit) - piece.data());
        Store(piece.substr(i, end - i));
      }
      if (end == piece.size()) return;
      const bool lineStart = T_.Size == T_.Start || IsLineEndByte(static_cast<std::uint8_t>(Previous_));
      if (lineStart) Mark();
      Store(piece.substr(end, 1));
      i = end + 1;
    }
  }

  // After the last piece: a UTF-16 text converted and read again.
  void Finish() {
    if (Omitting_) CloseOmitted();
    if (!Utf16_) return;
    std::string decoded;
    const std::string decodedView(TextFromBytes(T_.View(), decoded));
    T_ = TCifText{};
    TTextReader again(T_);
    again.Expect(decodedView.size());
    again.Take(decodedView);
    again.Finish();
  }

 private:
  void Begin(std::string_view piece) {
    using namespace std::string_view_literals;
    if (piece.starts_with("\xEF\xBB\xBF"sv)) T_.Start = 3;
    Utf16_ = piece.starts_with("\xFF\xFE"sv) || piece.starts_with("\xFE\xFF"sv);
  }

  void Reserve(std::size_t size) {
    if (size <= T_.Capacity) return;
    // Grown only when a file grows while it is read, or for a .gz.
    const std::size_t capacity = std::max(size, 2 * T_.Capacity);
    auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
    if (T_.Size > 0) std::memcpy(bytes.get(), T_.Bytes.get(), T_.Size);
    T_.Bytes = std::move(bytes);
    T_.Capacity = capacity;
  }

  // A ";" beginning a line at the next position: it opens or closes a text field.
  void Mark() {
    T_.FieldMarks.push_back(T_.Size);
    if (InField_ && Omitting_) CloseOmitted();
    InField_ = !InField_;
    if (InField_) Keep_ = T_.Size + 1 + kLongTextField;
  }

  // Bytes that follow: copied, or counted and passed over past the kept
  // start of a long text field.
  void Store(std::string_view bytes) {
    if (bytes.empty()) return;
    std::size_t kept = bytes.size();
    if (InField_ && !Utf16_) kept = T_.Size >= Keep_ ? 0 : std::min(bytes.size(), Keep_ - T_.Size);
    std::memcpy(T_.Bytes.get() + T_.Size, bytes.data(), kept);
    T_.Size += kept;
    if (kept < bytes.size()) {
      const std::string_view rest = bytes.substr(kept);
      Omit(rest, ScanPassedOver(rest).Breaks);  // no ";" in them
      return;
    }
    Previous_ = bytes.back();
  }

  // Bytes passed over at the end of the text read so far, with the line
  // breaks ScanPassedOver found in them.
  void Omit(std::string_view bytes, long long breaks) {
    const std::size_t at = T_.Size;
    if (!Omitting_) {
      T_.Omitted.push_back({at, at, 0, false, bytes.front()});
      Omitting_ = true;
    }
    TOmittedText& o = T_.Omitted.back();
    o.Breaks += breaks + (PendingCr_ && bytes.front() != '\n' ? 1 : 0);
    o.To = at + bytes.size();
    PendingCr_ = bytes.back() == '\r';
    o.LastIsBreak = bytes.back() == '\n';  // a CR is settled by what follows
    T_.Size += bytes.size();
    Previous_ = bytes.back();
  }

  void CloseOmitted() {
    TOmittedText& o = T_.Omitted.back();
    // A CR at the end is a line break: a ";" or the end of the text follows.
    if (PendingCr_) ++o.Breaks, o.LastIsBreak = true;
    PendingCr_ = false;
    Omitting_ = false;
  }

  TCifText& T_;
  bool Utf16_ = false;
  bool InField_ = false, Omitting_ = false, PendingCr_ = false;
  std::size_t Keep_ = 0;  // the byte position from which an open text field is passed over
  char Previous_ = 0;
};

// Hands out the values of CIF text one at a time, in text order. Blanks and
// tabs separate them; "#" starts a comment that runs to the line end; a
// quoted string closes at its quote followed by a blank, a tab or the line
// end (so 'O'Neil' keeps its inner apostrophe) and an unclosed one at the
// line end; a line that begins with ";" opens a text field that the next such
// line closes (the rest of the closing line is ignored); one that the text
// never closes is an error, `name` naming the text.
class TTokenizer {
 public:
  TTokenizer(const TCifText& text, std::size_t pos, bool atLineStart, std::string_view name)
      : Source_(text), Text_(text.View()), Pos_(pos), AtLineStart_(atLineStart), Name_(name) {}

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

  // The field runs to the next ";" that begins a line, found when the file
  // was read.
  bool TextField(TCifValue& value) {
    const std::size_t n = Text_.size();
    const std::size_t start = ++Pos_;
    const std::size_t semi = Source_.FieldMarkFrom(start);
    if (semi == std::string_view::npos)
      throw TError({Name_, Source_.Line(n - 1)},
                   "text field not closed (opened at line " + std::to_string(Source_.Line(start - 1)) + ").");
    if (Source_.OmittedWithin(start, semi)) {
      value = TCifValue{Text_.substr(start, 0), TCifValue::Omitted};
    } else {
      std::size_t end = semi - 1;  // the line break before the closing ";"
      if (Text_[end] == '\n' && end > start && Text_[end - 1] == '\r') --end;
      value = TCifValue{Text_.substr(start, end > start ? end - start : 0), TCifValue::TextField};
    }
    Pos_ = semi + 1;
    while (Pos_ < n && !IsLineEnd(Text_[Pos_])) ++Pos_;
    AtLineStart_ = false;
    return true;
  }

  const TCifText& Source_;
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
  TBlockBuilder(const TCifText& text, std::string_view name, std::vector<TCifBlock>& blocks)
      : Text_(text.View()), Tokens_(text, 0, true, name), Blocks_(blocks) {}

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
  if (Kind == Omitted) return {};
  if (Kind != TextField) return Utf8Text(Raw, storage);
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
  std::string latin1;
  if (Utf8Text(storage, latin1).data() == latin1.data()) storage = std::move(latin1);
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

std::string TextOf(std::string_view raw) {
  std::string storage;
  return std::string(Utf8Text(raw, storage));
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

TCifDocument::TCifDocument(std::string_view text, std::string name) : Name_(std::move(name)) {
  Text_ = std::make_unique<TCifText>();
  TTextReader reader(*Text_);
  reader.Expect(text.size());
  reader.Take(text);
  reader.Finish();
  TBlockBuilder(*Text_, Name_, Blocks_).Run();
}

TCifDocument::TCifDocument(std::unique_ptr<TCifText> text, std::string name)
    : Text_(std::move(text)), Name_(std::move(name)) {
  TBlockBuilder(*Text_, Name_, Blocks_).Run();
}

TCifDocument::TCifDocument(TCifDocument&&) noexcept = default;
TCifDocument& TCifDocument::operator=(TCifDocument&&) noexcept = default;
TCifDocument::~TCifDocument() = default;

long long TCifDocument::LineOf(const TCifValue& value) const {
  const std::string_view text = Text_->View();
  const char* at = value.Raw.data();
  if (at == nullptr || at < text.data() || at > text.data() + text.size()) return 0;
  return Text_->Line(static_cast<std::size_t>(at - text.data()));
}

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
    throw TError({Name_, Text_->Line(loop->LastValueAt)},
                 "the values of the loop opened at line " + std::to_string(Text_->Line(loop->OpenedAt)) +
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
  TTokenizer tokens(*Text_, loop->ValuesFrom, false, Name_);
  TCifValue value;
  while (table.Values_.size() < table.Width_ * table.Rows_ && tokens.Next(value))
    table.Values_.push_back(value);
  return table;
}

TCifDocument ReadCifFile(const std::string& name) {
  auto text = std::make_unique<TCifText>();
  TTextReader reader(*text);
  ReadFileInPieces(
      name, [&](std::size_t size) { reader.Expect(size); }, [&](std::string_view piece) { reader.Take(piece); });
  reader.Finish();
  return TCifDocument(std::move(text), name);
}

}  // namespace koravel
