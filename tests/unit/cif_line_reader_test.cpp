#include "cif/cif_line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cif/cif_blocks.h"
#include "cif/cif_file.h"
#include "cif/cif_tokenizer.h"
#include "geom/text.h"

namespace koravel {
namespace {

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

// An anonymous temporary file holding `bytes`, positioned at its start.
TFilePtr FileWith(const std::string& bytes) {
  TFilePtr f(std::tmpfile());
  EXPECT_NE(f, nullptr);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f.get());
  std::rewind(f.get());
  return f;
}

std::vector<std::string> AllLines(TCifLineReader& reader) {
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.NextLine(line)) lines.emplace_back(line);
  return lines;
}

// Every block, item and loop of a parsed file, as one text to compare.
std::string Dump(const TCifFile& f) {
  std::string out;
  for (int b = 0; b < f.BlockCount(); ++b) {
    const TCifBlock& block = f.Block(b);
    out += "data_[" + block.Name + "]\n";
    for (size_t i = 0; i < block.ItemNames.size(); ++i)
      out += block.ItemNames[i] + "=[" + block.ItemValues[i] + "]\n";
    for (const auto& loop : block.Loops) {
      out += "loop";
      for (const std::string& n : loop->Names) out += " " + n;
      for (const std::string& v : loop->Values) out += " [" + v + "]";
      out += "\n";
    }
  }
  return out;
}

TCifFile ParseInBlocks(const std::string& bytes, size_t blockSize) {
  TFilePtr file = FileWith(bytes);
  TCifTokenizer tokens(TCifLineReader(file.get(), "", bytes.size(), blockSize));
  TCifFile f;
  BuildCifBlocks(tokens, f);
  EXPECT_FALSE(tokens.ReadFailed());
  return f;
}

// Line ends of every kind, also where a block boundary falls between the CR
// and the LF of a CR LF, and lines longer than a block.
TEST(CifLineReader, FileInBlocksGivesTheLinesOfTheText) {
  const std::string texts[] = {
      "",
      "one line without end",
      "a\nb\n",
      "a\r\nb\r\nc",
      "a\rb\rc\r",
      "\n\n\r\n\r\r",
      "mixed\r\nends\nand\rmore\r\n\r\nx",
      "trailing lone CR\r",
      "a line much longer than any of the small blocks used here\r\nshort\n",
  };
  for (const std::string& text : texts) {
    const std::vector<std::string> expected = SplitLines(text);
    TCifLineReader inMemory(text);
    EXPECT_EQ(AllLines(inMemory), expected) << text;
    for (size_t block : {1, 2, 3, 5, 64}) {
      TFilePtr file = FileWith(text);
      TCifLineReader reader(file.get(), "", text.size(), block);
      EXPECT_EQ(AllLines(reader), expected) << text << " block " << block;
      EXPECT_FALSE(reader.ReadFailed());
    }
  }
}

TEST(CifLineReader, BytesAlreadyTakenComeFirst) {
  TFilePtr file = FileWith("c\r\nd");
  TCifLineReader reader(file.get(), "a\nb\r", 8, 2);  // the CR LF spans start and file
  EXPECT_EQ(AllLines(reader), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(CifLineReader, RemainingBytesCountDown) {
  const std::string text = "ab\ncd\n";
  TCifLineReader reader(text);
  std::string_view line;
  EXPECT_EQ(reader.RemainingBytes(), 6u);
  ASSERT_TRUE(reader.NextLine(line));
  EXPECT_EQ(reader.RemainingBytes(), 3u);
  ASSERT_TRUE(reader.NextLine(line));
  EXPECT_EQ(reader.RemainingBytes(), 0u);
  EXPECT_FALSE(reader.NextLine(line));
}

// Reading a file block by block must build exactly what reading it whole
// builds, whatever the block size: random CIF-like text with text fields,
// quotes and every kind of line end.
TEST(CifLineReader, BlockwiseParsingEqualsWholeText) {
  std::mt19937 rng(4711);
  const std::vector<std::string> pieces = {
      "data_a", "loop_", "_x", "_y", "1", "'q r'", "\"s\"", ";", "; rest", "#c", "save_f",
      "save_", "_t", "v", "", " ", "\t", "global_", "_last"};
  const std::vector<std::string> ends = {"\n", "\r\n", "\r"};
  for (int round = 0; round < 200; ++round) {
    std::string text;
    const int lines = static_cast<int>(rng() % 40);
    for (int i = 0; i < lines; ++i) {
      const int words = static_cast<int>(rng() % 4);
      for (int w = 0; w < words; ++w) text += (w ? " " : "") + pieces[rng() % pieces.size()];
      if (i + 1 < lines || rng() % 2) text += ends[rng() % ends.size()];
    }
    TCifFile whole;
    whole.LoadFromText(text);
    for (size_t block : {1, 4, 7}) ASSERT_EQ(Dump(ParseInBlocks(text, block)), Dump(whole)) << text;
  }
}

// A field of many lines, like an embedded reflection file: its lines joined
// with CR LF whatever the file used, and no more memory kept than it needs.
TEST(CifLineReader, LargeTextField) {
  for (const std::string eol : {"\n", "\r\n", "\r"}) {
    std::string text = "data_big" + eol + "_shelx_hkl_file" + eol + ";" + eol;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
      const std::string line = "   " + std::to_string(i % 97) + "   1   2  123.45    6.78   1";
      text += line + eol;
      expected += (i ? "\r\n" : "") + line;
    }
    text += ";" + eol + "_after 1" + eol;
    for (int i = 0; i < 40000; ++i) text += "_pad_" + std::to_string(i) + " x" + eol;
    for (size_t block : {size_t{4096}, kCifReadBlock}) {
      const TCifFile f = ParseInBlocks(text, block);
      ASSERT_EQ(f.BlockCount(), 1);
      const std::string& value = f.Block(0).ItemValues.at(0);
      EXPECT_EQ(value, expected);
      EXPECT_LE(value.capacity(), 2 * value.size());
      EXPECT_EQ(f.Block(0).GetItem("_after"), "1");
    }
  }
}

// Every CIF of the test data reads the same from the file as from memory.
TEST(CifLineReader, LoadFromFileEqualsLoadFromText) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KORAVEL_TEST_DATA)) {
    if (entry.path().extension() != ".cif") continue;
    const std::string name = entry.path().string();
    std::string bytes, error;
    ASSERT_TRUE(ReadWholeFile(name, bytes, error)) << name;
    TCifFile fromFile, fromText;
    ASSERT_TRUE(fromFile.LoadFromFile(name, error)) << name << ": " << error;
    fromText.LoadFromText(bytes);
    EXPECT_EQ(Dump(fromFile), Dump(fromText)) << name;
    ++files;
  }
  EXPECT_GT(files, 10);
}

// Byte-order marks at the start of a file: UTF-8 is skipped, UTF-16 converted.
TEST(CifLineReader, LoadFromFileWithByteOrderMarks) {
  struct Case { std::string bytes; const char* value; };
  const Case cases[] = {
      {"\xEF\xBB\xBF_a 1\n", "1"},
      {std::string("\xFF\xFE_\0a\0 \0\xE9\0", 10), "\xC3\xA9"},
      {std::string("\xFE\xFF\0_\0a\0 \0x", 10), "x"},
      {"_a", ""},  // shorter than any mark; a tag without a value is dropped
  };
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "koravel_line_reader_bom.cif";
  for (const Case& c : cases) {
    {
      TFilePtr f(std::fopen(path.string().c_str(), "wb"));
      ASSERT_NE(f, nullptr);
      std::fwrite(c.bytes.data(), 1, c.bytes.size(), f.get());
    }
    TCifFile file;
    std::string error;
    ASSERT_TRUE(file.LoadFromFile(path.string(), error)) << error;
    if (*c.value == '\0') {
      EXPECT_EQ(file.BlockCount(), 1);
      continue;
    }
    ASSERT_EQ(file.BlockCount(), 1);
    EXPECT_EQ(file.Block(0).GetItem("_a"), c.value);
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace koravel
