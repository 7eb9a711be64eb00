#include "io/cif_document.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/file.h"
#include "base/text.h"
#include "test_support.h"

namespace koravel {
namespace {

using testing::ErrorOf;
using testing::TScratchDir;

// A value as its text; quoted strings and text fields in brackets.
std::string Show(const TCifValue& v) {
  return v.Kind == TCifValue::Bare ? v.Text() : "[" + v.Text() + "]";
}

// The item's value, or "(none)".
std::string Item(const TCifBlock& block, std::string_view tag) {
  const TCifValue* v = TCifDocument::FindItem(block, tag);
  return v ? Show(*v) : "(none)";
}

// The values of a one-column loop whose values are `values`, as one line.
std::string LoopValues(const std::string& values) {
  const TCifDocument doc("data_x\nloop_ _v\n" + values);
  const TCifTable t = doc.FindTable(doc.Blocks().at(0), {"_v"});
  std::string out;
  for (std::size_t row = 0; row < t.Rows(); ++row) {
    if (row) out += ' ';
    out += Show(t.At(row, 0));
  }
  return out;
}

TEST(CifDocument, BlocksAndItems) {
  const TCifDocument f(
      "_orphan 1\n"
      "DATA_Foo\n_Cell_Length_A 10.5\n_cell_length_a 99\n"
      "global_\n_name 'two words'\n"
      "data_\n_x ?\n_last");
  ASSERT_EQ(f.Blocks().size(), 3u);
  EXPECT_EQ(f.Blocks()[0].Name, "");  // items before any data_
  EXPECT_EQ(Item(f.Blocks()[0], "_orphan"), "1");
  const TCifBlock* foo = f.FindBlock("foo");
  ASSERT_NE(foo, nullptr);
  EXPECT_EQ(foo->Name, "Foo");
  EXPECT_EQ(foo->Items[0].Tag, "_Cell_Length_A");
  EXPECT_EQ(Item(*foo, "_CELL_LENGTH_A"), "10.5");   // the first duplicate wins
  EXPECT_EQ(Item(*foo, "_name"), "[two words]");     // global_ keeps the block
  EXPECT_EQ(Item(f.Blocks()[2], "_x"), "?");
  EXPECT_EQ(f.Blocks()[2].Items.size(), 1u);         // a tag without value is dropped
  EXPECT_EQ(Item(*foo, "_missing"), "(none)");
  EXPECT_EQ(f.FindBlock("bar"), nullptr);
}

TEST(CifDocument, TagTakesWhateverFollows) {
  const TCifDocument f("data_a\n_a _b\n_c 'data_x'\n'_q' 5\nloop_ _l 1\n");
  ASSERT_EQ(f.Blocks().size(), 1u);
  const TCifBlock& a = f.Blocks()[0];
  EXPECT_EQ(Item(a, "_a"), "_b");
  EXPECT_EQ(Item(a, "_c"), "[data_x]");  // a quoted value is no block
  EXPECT_EQ(Item(a, "_q"), "(none)");    // a quoted tag is skipped
  EXPECT_EQ(Item(a, "_l"), "(none)");    // loops are no items
}

TEST(CifDocument, Loops) {
  const TCifDocument f(
      "data_t\nloop_\n_A _b _C\n1 2 3 4 5 6\n"
      "loop_ _v '_quoted' x _tag value\n"
      "loop_ _w 1 2 data_next\n_z 9\n");
  ASSERT_EQ(f.Blocks().size(), 2u);
  const TCifBlock& t = f.Blocks()[0];
  ASSERT_EQ(t.Loops.size(), 3u);
  EXPECT_EQ(t.Loops[0].Tags, (std::vector<std::string_view>{"_A", "_b", "_C"}));
  const TCifTable abc = f.FindTable(t, {"_a", "_c", "_d", "_b"});
  ASSERT_TRUE(abc.Found());
  EXPECT_EQ(abc.Rows(), 2u);
  EXPECT_EQ(Show(abc.At(1, 0)), "4");
  EXPECT_EQ(Show(abc.At(1, 1)), "6");
  EXPECT_EQ(Show(abc.At(0, 3)), "2");
  EXPECT_FALSE(abc.Has(2));
  EXPECT_EQ(Show(abc.At(0, 2)), "");  // an absent column reads as an empty value
  EXPECT_EQ(Show(abc.At(2, 0)), "");  // and so does a row beyond the table
  // A quoted value stays a value; a bare one beginning with "_" is a tag.
  EXPECT_EQ(LoopValues("'_quoted' x _tag value"), "[_quoted] x");
  EXPECT_EQ(Item(t, "_tag"), "value");
  EXPECT_EQ(f.FindTable(t, {"_W"}).Rows(), 2u);
  EXPECT_FALSE(f.FindTable(t, {"_none", "_v"}).Found());
  EXPECT_EQ(Item(f.Blocks()[1], "_z"), "9");
  // A loop whose values do not fill its last row: the file is cut off or
  // damaged there, and reading the loop says where.
  const TCifDocument cut("data_t\nloop_\n_A _b _C\n1 2 3\n4 5 6\n7\n_z 1\n");
  EXPECT_EQ(testing::ErrorOf([&] { cut.FindTable(cut.Blocks()[0], {"_b"}); }),
            "CIF, line 6: the values of the loop opened at line 2 do not fill its last row "
            "(7 values for 3 tags).");
  // Tags without a block or values without tags.
  const TCifDocument bare("loop_ 1 2 3\n");
  ASSERT_EQ(bare.Blocks().size(), 1u);
  EXPECT_EQ(bare.Blocks()[0].Loops[0].Rows(), 0u);
}

// Alternatives "a|b" are tried in order, each in every loop before the next;
// "." matches "_" and letter case does not count, for DDLm tags.
TEST(CifDocument, AlternativeAndDdlmTags) {
  const TCifDocument f(
      "data_x\n_Cell.Length_A 5\n_cell_length_b 6\n"
      "loop_ _symmetry_equiv_pos_as_xyz x,y,z -x,-y,-z\n"
      "loop_ _space_group_symop.id _space_group_symop.operation_xyz 1 x,y,z\n");
  const TCifBlock& b = f.Blocks()[0];
  EXPECT_EQ(Item(b, "_cell_length_a"), "5");
  EXPECT_EQ(Item(b, "_none|_cell_length_b|_cell_length_a"), "6");
  const TCifTable ops = f.FindTable(
      b, {"_space_group_symop_operation_xyz|_symmetry_equiv_pos_as_xyz", "_space_group_symop_id"});
  ASSERT_TRUE(ops.Found());
  EXPECT_EQ(ops.Rows(), 1u);
  EXPECT_EQ(Show(ops.At(0, 1)), "1");
  EXPECT_TRUE(SameTag("_atom_site.fract_X", "_ATOM_SITE_FRACT_x"));
  EXPECT_FALSE(SameTag("_atom_site_fract_x", "_atom_site_fract_xx"));
}

TEST(CifDocument, SaveFramesAreInvisible) {
  const TCifDocument f("data_a\n_x 1\nsave_frame\n_y 2\nloop_ _z 3\n'save_' SAVE_\n_w 4\nsave_\n_v 5");
  ASSERT_EQ(f.Blocks().size(), 1u);
  const TCifBlock& a = f.Blocks()[0];
  ASSERT_EQ(a.Items.size(), 3u);
  EXPECT_EQ(a.Items[0].Tag, "_x");
  EXPECT_EQ(a.Items[1].Tag, "_w");
  EXPECT_EQ(a.Items[2].Tag, "_v");
  EXPECT_TRUE(a.Loops.empty());
}

TEST(CifDocument, QuotesCommentsAndLineEnds) {
  struct Case { const char* values; const char* shown; };
  const Case cases[] = {
      {"1\t2 # comment 'x'\n3", "1 2 3"},
      {"1\r\n2\r\n", "1 2"},                    // CR LF
      {"1\r2\r", "1 2"},                        // CR only
      {"N#1 x", "N#1 x"},                       // # inside a word
      {"'O'Neil' \"a b\"", "[O'Neil] [a b]"},   // a quote closes before a blank
      {"'it''s'", "[it''s]"},
      {"'unterminated\nnext", "[unterminated] next"},  // runs to the line end
      {"'a'b' c", "[a'b] c"},
      {"'' \"\"", "[] []"},
      {"'x'\t'y'", "[x] [y]"},
      {"x'y z", "x'y z"},                       // a quote inside a word
  };
  for (const Case& c : cases) EXPECT_EQ(LoopValues(c.values), c.shown) << c.values;
}

TEST(CifDocument, TextFields) {
  struct Case { const char* values; const char* shown; };
  const Case cases[] = {
      {";\nline 1\nline 2\n;\nx", "[line 1\r\nline 2] x"},  // joined with CR LF
      {"; first  \n second\n;", "[first\r\n second]"},      // opening rest kept, trimmed
      {";\n\n\nA\n\nB\n;", "[A\r\n\r\nB]"},                 // leading empty lines vanish
      {";\n \n;", "[ ]"},                                    // a blank line is not empty
      {";\na\n; ignored rest\nz", "[a] z"},
      {";\r\nx\r\n;\r\n", "[x]"},
      {";\rx\ry\r;\r", "[x\r\ny]"},
      {";\nA\r\nB\nC\r;", "[A\r\nB\r\nC]"},
      {";\nx;y\n ;z\n;", "[x;y\r\n ;z]"},                    // ";" elsewhere than in column 1
      {";\r\n;\r\n", "[]"},
      {" ;not a field", ";not a field"},
  };
  for (const Case& c : cases) EXPECT_EQ(LoopValues(c.values), c.shown) << c.values;
  // A field never closed would swallow the rest of the file.
  EXPECT_EQ(testing::ErrorOf([] { TCifDocument("data_x\n_a\n;\nnever closed\r\n_b 2\n"); }),
            "CIF, line 5: text field not closed (opened at line 3).");
}

// The rules of text fields read line by line, for text whose lines outside
// the fields hold plain words only; nothing when a field is never closed.
std::optional<std::string> LineByLine(const std::string& text) {
  std::string out;
  auto emit = [&out](const std::string& token) { out += (out.empty() ? "" : " ") + token; };
  bool inField = false;
  std::string field;
  for (std::string_view line : SplitLines(text)) {
    if (!line.empty() && line[0] == ';') {
      if (inField) emit("[" + field + "]");
      else field = std::string(Trim(line.substr(1)));
      inField = !inField;
    } else if (inField) {
      if (!field.empty()) field += "\r\n";
      field += line;
    } else {
      for (std::string_view word : SplitFields(line, IsBlankOrTab)) emit(std::string(word));
    }
  }
  if (inField) return std::nullopt;
  return out;
}

// Fields of one line-end kind or of mixed ones, long and short, closed or
// not: the document gives what reading line by line gives.
TEST(CifDocument, RandomTextFieldsAsReadLineByLine) {
  std::mt19937 rng(20240611);
  const std::vector<std::string> lines = {"", " ", "1 2 3", "  -1   0   4   12.50    0.31   1",
                                          ";", "; open ", ";;", "x;y", " ;", "\t",
                                          "a line longer than the others in this list"};
  const std::vector<std::string> ends = {"\n", "\r\n", "\r"};
  for (int round = 0; round < 500; ++round) {
    const bool oneKind = rng() % 2 == 0;
    const std::string& kind = ends[rng() % ends.size()];
    std::string text = rng() % 3 == 0 ? ";" + kind : "";  // a field from the first line on
    const int count = static_cast<int>(rng() % 60);
    for (int i = 0; i < count; ++i) {
      // Semicolon lines are rarer than others, so that fields get long.
      std::string line = lines[rng() % lines.size()];
      if (!line.empty() && line[0] == ';' && rng() % 4 != 0) line = "9 8 7";
      text += line;
      if (i + 1 < count || rng() % 2) text += oneKind ? kind : ends[rng() % ends.size()];
    }
    if (const std::optional<std::string> expected = LineByLine(text)) {
      ASSERT_EQ(LoopValues(text), *expected) << text;
    } else {
      ASSERT_NE(testing::ErrorOf([&] { LoopValues(text); }).find("text field not closed"),
                std::string::npos) << text;
    }
  }
}

TEST(CifDocument, NullValues) {
  const TCifDocument f("data_x\nloop_ _v\n? . '  ?  ' ''\n;\n;\n0 ?x .. a '.a'\n");
  const TCifTable t = f.FindTable(f.Blocks()[0], {"_v"});
  ASSERT_EQ(t.Rows(), 10u);
  for (std::size_t row = 0; row < t.Rows(); ++row)
    EXPECT_EQ(t.At(row, 0).IsNull(), row < 5) << Show(t.At(row, 0));
}

TEST(CifDocument, EncodingsAndLineEnds) {
  const char utf16Bytes[] = "\xFF\xFE" "d\0a\0t\0a\0_\0x\0\r\0\n\0_\0a\0 \0" "1\0";
  const std::string utf16(utf16Bytes, sizeof utf16Bytes - 1);
  const char utf16BeBytes[] = "\xFE\xFF" "\0d\0a\0t\0a\0_\0x\0\n\0_\0a\0 \0\xE9";
  const std::string utf16be(utf16BeBytes, sizeof utf16BeBytes - 1);
  struct Case { std::string bytes; const char* value; };
  const Case cases[] = {
      {"data_x\r\n_a 1\r\n", "1"}, {"data_x\r_a 1\r", "1"}, {"\xEF\xBB\xBF" "data_x\n_a 1", "1"},
      {utf16, "1"},                {utf16be, "\xC3\xA9"},
  };
  TScratchDir dir;
  for (const Case& c : cases) {
    // From memory and from a file, where a UTF-8 text is kept as read and a
    // UTF-16 one is converted.
    for (const TCifDocument& f : {TCifDocument(c.bytes), ReadCifFile(dir.Write("x.cif", c.bytes))}) {
      ASSERT_EQ(f.Blocks().size(), 1u) << c.bytes;
      EXPECT_EQ(f.Blocks()[0].Name, "x");
      EXPECT_EQ(Item(f.Blocks()[0], "_a"), c.value);
    }
  }
}

// A text field longer than kLongTextField is passed over while the file is
// read: its value reads as null, what follows reads as usual, and messages
// after it still count its lines, whatever the line breaks.
TEST(CifDocument, LongTextFieldPassedOverLinesCounted) {
  for (const std::string eol : {"\n", "\r\n", "\r"}) {
    std::string text = "data_x" + eol + "_hkl" + eol + ";" + eol;
    const std::string row = "  12  -3   7     1234.56    12.34" + eol;
    int lines = 3;
    for (; text.size() < kLongTextField + 3 * kFilePiece + 17; ++lines) text += row;
    text += ";" + eol + "_after 'a b'" + eol + "loop_" + eol + "_t" + eol + "_u" + eol + "1" + eol;
    TScratchDir dir;
    for (const TCifDocument& f : {TCifDocument(text), ReadCifFile(dir.Write("x.cif", text))}) {
      ASSERT_EQ(f.Blocks().size(), 1u);
      EXPECT_TRUE(TCifDocument::FindItem(f.Blocks()[0], "_hkl")->IsNull());
      EXPECT_EQ(Item(f.Blocks()[0], "_after"), "[a b]");
      EXPECT_EQ(ErrorOf([&] { f.FindTable(f.Blocks()[0], {"_t"}); }),
                f.Name() + ", line " + std::to_string(lines + 6) + ": the values of the loop opened at line " +
                    std::to_string(lines + 3) + " do not fill its last row (1 values for 2 tags).")
          << eol.size();
    }
    // Never closed: the message names the last line.
    const std::string unclosed = text.substr(0, text.find(";" + eol + "_after"));
    EXPECT_EQ(ErrorOf([&] { TCifDocument{unclosed}; }),
              "CIF, line " + std::to_string(lines) + ": text field not closed (opened at line 3).");
  }
}

TEST(CifDocument, UnreadableFileReportsTheReason) {
  EXPECT_EQ(ErrorOf([] { ReadCifFile("/nonexistent/dir/x.cif"); }),
            "cannot read /nonexistent/dir/x.cif: No such file or directory");
  EXPECT_EQ(ErrorOf([] { ReadCifFile(KORAVEL_TEST_DATA); }),
            std::string("cannot read ") + KORAVEL_TEST_DATA + ": is a directory");
}

// A 30 MB reflection loop is read in one linear pass, from memory and from a
// file alike.
TEST(CifDocument, LargeLoopIsLinear) {
  std::string text =
      "data_big\nloop_\n_refln_index_h\n_refln_index_k\n_refln_index_l\n_refln_F_squared_meas\n"
      "_refln_F_squared_sigma\n";
  const std::string row = "  12  -3   7     1234.56    12.34\n";
  std::size_t rows = 0;
  for (; text.size() < 30'000'000; ++rows) text += row;
  text += "_after ;\n";
  TScratchDir dir;
  const std::string file = dir.Write("big.cif", text);
  const auto start = std::chrono::steady_clock::now();
  for (const TCifDocument& f : {TCifDocument(text), ReadCifFile(file)}) {
    ASSERT_EQ(f.Blocks().size(), 1u);
    const TCifTable t = f.FindTable(f.Blocks()[0], {"_refln_F_squared_meas"});
    EXPECT_EQ(t.Rows(), rows);
    EXPECT_EQ(Show(t.At(t.Rows() - 1, 0)), "1234.56");
    EXPECT_EQ(Item(f.Blocks()[0], "_after"), ";");
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 20.0);
}

}  // namespace
}  // namespace koravel
