#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

struct TCifText;

// A CIF (1.1 or the DDLm dictionaries' CIF 2 style tags) read once into
// memory and kept raw: every value is a view into the file's bytes. A text
// field is interpreted (its lines joined) only when its text is asked for,
// and the values of a loop are split off only when a table of the loop is
// asked for, so that an embedded reflection file costs no more than reading
// it.

// One value: a bare word, a quoted string or a text field. A text field
// longer than kLongTextField (reflection data, an embedded file) is passed
// over while the file is read: nothing Koravel takes from a CIF is that
// long. Its value is Omitted, and reads as null.
struct TCifValue {
  enum TKind : unsigned char { Bare, Quoted, TextField, Omitted };
  // The bare word; the text between the quotes; for a text field everything
  // between its opening ";" and the line break before its closing ";".
  std::string_view Raw;
  TKind Kind = Bare;

  // The value as text, UTF-8 (bytes that are not UTF-8 are Latin-1). A text
  // field's lines are joined with CR LF, its first line trimmed and leading
  // empty lines dropped. Text that is not the raw bytes goes into `storage`,
  // which the result then views.
  std::string_view Text(std::string& storage) const;
  std::string Text() const;
  // "?", "." or nothing (after trimming): the CIF null values.
  bool IsNull() const;
};

// A loop: its tags, in column order, and where its values stand in the text.
struct TCifLoop {
  std::vector<std::string_view> Tags;
  std::size_t ValueCount = 0;
  std::size_t ValuesFrom = 0;  // text position from which the values are read
  std::size_t OpenedAt = 0;    // text position of its loop_
  std::size_t LastValueAt = 0; // text position of its last value

  std::size_t Rows() const { return Tags.empty() ? 0 : ValueCount / Tags.size(); }
};

struct TCifItem {
  std::string_view Tag;
  TCifValue Value;
};

struct TCifBlock {
  std::string_view Name;  // as written after "data_"; empty for an anonymous block
  std::vector<TCifItem> Items;
  std::vector<TCifLoop> Loops;
};

// Columns of one loop, found by one query (FindTable). Each column is given
// as a tag or as alternatives separated by "|"; tags match ignoring letter
// case, and "." matches "_", so that DDLm's _atom_site.fract_x is read like
// _atom_site_fract_x.
class TCifTable {
 public:
  bool Found() const { return Width_ > 0; }
  bool Has(int column) const { return Columns_[static_cast<std::size_t>(column)] >= 0; }
  std::size_t Rows() const { return Rows_; }
  // The value in `column` of `row`; an empty bare value where the column is
  // absent.
  const TCifValue& At(std::size_t row, int column) const;

 private:
  friend class TCifDocument;
  std::vector<int> Columns_;  // column of each query in the loop, -1 absent
  std::vector<TCifValue> Values_;
  std::size_t Width_ = 0;
  std::size_t Rows_ = 0;
};

constexpr std::size_t kLongTextField = std::size_t{1} << 20;

// The text is read whole when the document is made: a text field that is
// never closed throws TError naming the file and the line ("x.cif, line 118:
// text field not closed (opened at line 112)."), since it swallows whatever
// follows it. `name` names the text in such messages.
class TCifDocument {
 public:
  explicit TCifDocument(std::string_view text, std::string name = "CIF");
  TCifDocument(std::unique_ptr<TCifText> text, std::string name);
  TCifDocument(TCifDocument&&) noexcept;
  TCifDocument& operator=(TCifDocument&&) noexcept;
  ~TCifDocument();

  const std::vector<TCifBlock>& Blocks() const { return Blocks_; }
  const std::string& Name() const { return Name_; }  // as messages name the text

  // The line (from 1) on which a value of this document begins; 0 for a
  // value that is not in its text.
  long long LineOf(const TCifValue& value) const;

  // First block whose name equals `name` ignoring ASCII case; null when none.
  const TCifBlock* FindBlock(std::string_view name) const;

  // The value of the first single-valued item with this tag (or one of its
  // "|" alternatives, tried in order); null when there is none. Loops are not
  // searched.
  static const TCifValue* FindItem(const TCifBlock& block, std::string_view tag);

  // Whether a loop holds this column (or one of its alternatives); cheap:
  // no value is read.
  static bool HasColumn(const TCifBlock& block, std::string_view column);

  // The first loop that holds the first column (its alternatives tried in
  // order, each in every loop before the next), with the other columns where
  // that loop has them. Not found when no loop holds the first column.
  // Throws TError naming the line when the loop's values do not fill its
  // last row: a file cut off or damaged there.
  TCifTable FindTable(const TCifBlock& block, const std::vector<std::string_view>& columns) const;

 private:
  std::unique_ptr<TCifText> Text_;
  std::string Name_;
  std::vector<TCifBlock> Blocks_;
};

// Reads a CIF file once, into a buffer of its size whose pages are written
// only where text is kept; throws TError "cannot read NAME: reason" when it
// cannot be read, or for a text field that is never closed. Otherwise what
// cannot be placed is skipped.
TCifDocument ReadCifFile(const std::string& name);

// Raw bytes of a CIF (a block name) as UTF-8 text, Latin-1 where they are
// not UTF-8.
std::string TextOf(std::string_view raw);

// Whether two tags are the same ignoring ASCII case, "." matching "_".
bool SameTag(std::string_view a, std::string_view b);

}  // namespace koravel
