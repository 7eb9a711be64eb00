#include "cif/cif_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

namespace koravel {
namespace {

TCifFile Parse(std::string_view text) {
  TCifFile f;
  f.LoadFromText(text);
  return f;
}

TEST(CifFile, BlocksAndItems) {
  TCifFile f = Parse(
      "_orphan 1\n"
      "DATA_Foo\n_Cell_Length_A 10.5\n_cell_length_a 99\n"
      "global_\n_name 'two words'\n"
      "data_\n_x ?\n_last");
  ASSERT_EQ(f.BlockCount(), 3);
  EXPECT_EQ(f.Block(0).Name, "");                 // items before any data_
  EXPECT_EQ(f.Block(0).GetItem("_orphan"), "1");
  const TCifBlock* foo = f.FindBlock("foo");
  ASSERT_NE(foo, nullptr);
  EXPECT_EQ(foo->Name, "Foo");
  EXPECT_EQ(foo->ItemNames[0], "_cell_length_a");
  EXPECT_EQ(foo->GetItem("_CELL_LENGTH_A"), "10.5");  // the first duplicate wins
  EXPECT_EQ(foo->GetItem("_name"), "two words");      // global_ keeps the block
  EXPECT_EQ(f.Block(2).GetItem("_x"), "?");
  EXPECT_EQ(f.Block(2).ItemNames.size(), 1u);         // a tag without value is dropped
  EXPECT_EQ(foo->GetItem("_missing"), "");
  EXPECT_EQ(f.FindBlock("bar"), nullptr);
}

TEST(CifFile, TagTakesWhateverFollows) {
  TCifFile f = Parse("data_a\n_a _b\n_c 'data_x'\n'_q' 5\n");
  ASSERT_EQ(f.BlockCount(), 1);
  EXPECT_EQ(f.Block(0).GetItem("_a"), "_b");
  EXPECT_EQ(f.Block(0).GetItem("_c"), "data_x");  // a quoted value is no block
  EXPECT_EQ(f.Block(0).GetItem("_q"), "");        // a quoted tag is skipped
}

TEST(CifFile, Loops) {
  TCifFile f = Parse(
      "data_t\nloop_\n_A _b _C\n1 2 3 4 5 6 7\n"
      "loop_ _v '_quoted' x _tag value\n"
      "loop_ _w 1 2 data_next\n_z 9\n");
  ASSERT_EQ(f.BlockCount(), 2);
  const TCifBlock& t = f.Block(0);
  ASSERT_EQ(t.Loops.size(), 3u);
  const TCifLoop& l = *t.Loops[0];
  EXPECT_EQ(l.Names, (std::vector<std::string>{"_a", "_b", "_c"}));
  EXPECT_EQ(l.IndexOfName("_C"), 2);
  EXPECT_EQ(l.IndexOfName("_d"), -1);
  EXPECT_EQ(l.RowCount(), 2u);              // the incomplete third row is not counted
  EXPECT_EQ(l.Value(2, 0), "7");
  EXPECT_EQ(l.Value(2, 1), "");
  EXPECT_EQ(l.Value(0, 3), "");
  EXPECT_EQ(l.Value(0, -1), "");
  EXPECT_EQ(l.Value(static_cast<std::size_t>(-1), 2), "");
  // A quoted value stays a value; a bare one beginning with "_" is a tag.
  EXPECT_EQ(t.Loops[1]->Values, (std::vector<std::string>{"_quoted", "x"}));
  EXPECT_EQ(t.GetItem("_tag"), "value");
  EXPECT_EQ(t.Loops[2]->Values.size(), 2u);
  EXPECT_EQ(t.FindLoop("_W"), t.Loops[2].get());
  EXPECT_EQ(t.FindLoopAny({"_none", "_v", "_a"}), t.Loops[1].get());
  EXPECT_EQ(t.FindLoopAny({"_none"}), nullptr);
  EXPECT_EQ(f.Block(1).GetItem("_z"), "9");
}

TEST(CifFile, LoopWithoutBlockAndWithoutNames) {
  TCifFile f = Parse("loop_ 1 2 3\n");
  ASSERT_EQ(f.BlockCount(), 1);
  EXPECT_EQ(f.Block(0).Name, "");
  EXPECT_EQ(f.Block(0).Loops[0]->RowCount(), 0u);
  EXPECT_EQ(f.Block(0).Loops[0]->Value(0, 0), "");
}

TEST(CifFile, SaveFramesAreInvisible) {
  TCifFile f = Parse("data_a\n_x 1\nsave_frame\n_y 2\nloop_ _z 3\n'save_' SAVE_\n_w 4\nsave_\n_v 5");
  ASSERT_EQ(f.BlockCount(), 1);
  const TCifBlock& a = f.Block(0);
  EXPECT_EQ(a.ItemNames, (std::vector<std::string>{"_x", "_w", "_v"}));
  EXPECT_TRUE(a.Loops.empty());
}

TEST(CifFile, EncodingsAndLineEnds) {
  const char utf16Bytes[] = "\xFF\xFE" "d\0a\0t\0a\0_\0x\0\r\0\n\0_\0a\0 \0" "1\0";
  const std::string utf16(utf16Bytes, sizeof utf16Bytes - 1);
  for (const std::string& text :
       {std::string("data_x\r\n_a 1\r\n"), std::string("data_x\r_a 1\r"),
        std::string("\xEF\xBB\xBF" "data_x\n_a 1"), utf16}) {
    TCifFile f = Parse(text);
    ASSERT_EQ(f.BlockCount(), 1) << text;
    EXPECT_EQ(f.Block(0).Name, "x");
    EXPECT_EQ(f.Block(0).GetItem("_a"), "1");
  }
}

TEST(CifFile, NullValues) {
  for (const char* v : {"", "?", ".", "  ?  ", "\t"}) EXPECT_TRUE(IsNullValue(v)) << v;
  for (const char* v : {"0", "?x", "..", "a"}) EXPECT_FALSE(IsNullValue(v)) << v;
}

TEST(CifFile, UnreadableFileReportsTheReason) {
  TCifFile f;
  f.LoadFromText("data_old\n");
  std::string error;
  EXPECT_FALSE(f.LoadFromFile("/nonexistent/dir/x.cif", error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(f.BlockCount(), 0);
  EXPECT_FALSE(f.LoadFromFile(KORAVEL_TEST_DATA, error));  // a directory
  EXPECT_FALSE(error.empty());
}

// Random bytes, with CIF's special characters over-represented, must never
// crash the reader or leave an inconsistent loop.
TEST(CifFile, SurvivesArbitraryBytes) {
  std::mt19937 rng(12345);
  const std::string alphabet = "_;'\"# \t\r\n?.()loop_data_save_global_ab01\xFF\xFE\xEF";
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int n = static_cast<int>(rng() % 400);
    for (int i = 0; i < n; ++i)
      text += rng() % 4 ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng() % 256);
    TCifFile f = Parse(text);
    for (const auto& b : f.Blocks)
      for (const auto& l : b->Loops)
        for (std::size_t r = 0; r < l->RowCount() + 1; ++r)
          for (int c = -1; c <= static_cast<int>(l->Names.size()); ++c) (void)l->Value(r, c);
  }
}

// A 30 MB reflection loop must be read in one linear pass.
TEST(CifFile, LargeLoopIsLinear) {
  std::string text = "data_big\nloop_\n_refln_index_h\n_refln_index_k\n_refln_index_l\n_refln_F_squared_meas\n";
  const std::string row = "  12  -3   7     1234.56    12.34\n";
  while (text.size() < 30'000'000) text += row;
  auto start = std::chrono::steady_clock::now();
  TCifFile f = Parse(text);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(f.BlockCount(), 1);
  EXPECT_GT(f.Block(0).Loops[0]->RowCount(), 1'000'000u);
  EXPECT_LT(seconds, 20.0);
}

}  // namespace
}  // namespace koravel
