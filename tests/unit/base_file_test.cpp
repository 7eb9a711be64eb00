#include "base/file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "base/encoding.h"
#include "base/error.h"
#include "io/cif_document.h"
#include "test_support.h"

namespace koravel {
namespace {

using testing::ErrorOf;
using testing::TScratchDir;

TEST(FileNames, PiecesOfTheLastComponent) {
  struct Case { const char* path; const char* name; const char* extension; const char* stem; };
  const Case cases[] = {
      {"dir.v2/x", "x", "", "dir.v2/x"},
      {"dir/x.CIF", "x.CIF", ".CIF", "dir/x"},
      {"dir/x.y.cif", "x.y.cif", ".cif", "dir/x.y"},
      {"x.", "x.", ".", "x"},
      {".res", ".res", ".res", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileNameOnly(c.path), c.name) << c.path;
    EXPECT_EQ(FileExtension(c.path), c.extension) << c.path;
    EXPECT_EQ(FileStem(c.path), c.stem) << c.path;
  }
  EXPECT_EQ(ChangeExtension("dir.v2/x", ".mat"), "dir.v2/x.mat");
  EXPECT_EQ(ChangeExtension("a/x.res", ".mat"), "a/x.mat");
}

// Bytes as gzip writes them.
std::string Gzipped(const TScratchDir& dir, std::string_view text) {
  const std::string path = dir.Path("packed.bin");
  gzFile gz = gzopen(path.c_str(), "wb");
  gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
  gzclose(gz);
  return ReadFile(path);
}

TEST(FileBytes, DecompressesGzipNames) {
  TScratchDir dir;
  std::string large;
  for (int i = 0; i < 30000; ++i) large += std::to_string(i) + ' ';  // beyond one output block
  const std::string members = Gzipped(dir, large) + Gzipped(dir, "end\n");
  EXPECT_EQ(ReadFile(dir.Write("x.cif.GZ", members)), large + "end\n");
  EXPECT_EQ(ReadFile(dir.Write("x.gz.txt", members)), members);
  struct Case { const char* name; std::string bytes; const char* reason; };
  const Case bad[] = {
      {"cut.gz", members.substr(0, 40), "the compressed data end early"},
      {"empty.gz", "", "the compressed data end early"},
      {"plain.gz", "data_x\n", "not gzip data (incorrect header check)"},
  };
  for (const Case& c : bad)
    EXPECT_EQ(ErrorOf([&] { ReadFile(dir.Write(c.name, c.bytes)); }),
              "cannot read " + dir.Path(c.name) + ": " + c.reason);
}

TEST(FileBytes, ReadsOrNamesTheReason) {
  TScratchDir dir;
  const std::string bytes("a\0b\r\n", 5);
  EXPECT_EQ(ReadFile(dir.Write("x.bin", bytes)), bytes);
  EXPECT_EQ(ReadFile(dir.Write("empty", "")), "");
  EXPECT_EQ(ErrorOf([&] { TFileBytes b(dir.Path("")); }),
            "cannot read " + dir.Path("") + ": is a directory");
  EXPECT_EQ(ErrorOf([&] { ReadFile(dir.Path("none")); }),
            "cannot read " + dir.Path("none") + ": No such file or directory");
  EXPECT_TRUE(SameFile(dir.Path("x.bin"), dir.Path("./x.bin")));
  EXPECT_FALSE(SameFile(dir.Path("x.bin"), dir.Path("empty")));
  EXPECT_FALSE(FileExists(dir.Path("")));
  EXPECT_TRUE(IsDirectory(dir.Path("")));
}

// The bytes are the file's, also after a move.
TEST(FileBytes, SmallAndLargeFilesAsWritten) {
  TScratchDir dir;
  std::string large;
  for (int i = 0; large.size() < (3u << 20); ++i) large += std::to_string(i) + "\r\n";
  for (const std::string& bytes : {std::string("short"), large}) {
    TFileBytes file(dir.Write("f", bytes));
    const TFileBytes moved(std::move(file));
    EXPECT_EQ(moved.View(), bytes);
    EXPECT_TRUE(file.View().empty());
  }
}

// A file that another program shortens and lengthens while it is read
// ends in a result or an error, never in a signal.
TEST(FileBytes, FileChangingWhileReadNeverKillsTheProcess) {
  TScratchDir dir;
  std::string text = "data_x\n_cell_length_a 5\n_hkl\n;\n";
  while (text.size() < (6u << 20)) text += "   1   2   3    12.5     1.1\n";
  const std::string name = dir.Write("moving.cif", text + ";\n");
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    std::error_code ignored;  // Windows may refuse while the file is open
    for (std::size_t k = 0; !stop; ++k)
      std::filesystem::resize_file(name, k % 2 ? text.size() / (k % 7 + 2) : text.size(), ignored);
  });
  for (int i = 0; i < 40; ++i) {
    try {
      const TCifDocument cif = ReadCifFile(name);
      EXPECT_LE(cif.Blocks().size(), 1u);
    } catch (const TError&) {
    }
  }
  stop = true;
  writer.join();
}

TEST(TextFromBytes, ByteOrderMarks) {
  struct Case { std::string bytes; std::string text; };
  const Case cases[] = {
      {"\xEF\xBB\xBF_a 1", "_a 1"},
      {std::string("\xFF\xFE_\0a\0 \0\xE9\0\n\0", 12), "_a \xC3\xA9\n"},
      {std::string("\xFE\xFF\0_\0a\xD8\x3D\xDE\x00", 10), "_a\xF0\x9F\x98\x80"},  // a pair
      {std::string("\xFF\xFE\x00\xD8x", 5), "\xEF\xBF\xBD"},  // lone surrogate, odd byte
      {"plain", "plain"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},       // UTF-8 as it is
      {"O3\xB4", "O3\xC2\xB4"},              // not UTF-8: Latin-1, written as UTF-8
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},      // an overlong form is no UTF-8
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},  // nor is a surrogate
  };
  for (const Case& c : cases) {
    std::string storage;
    EXPECT_EQ(TextFromBytes(c.bytes, storage), c.text) << c.bytes;
  }
}

}  // namespace
}  // namespace koravel
