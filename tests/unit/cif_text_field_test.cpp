// Text fields are read in bulk, block by block, with short cuts for LF and
// CR LF text. These tests hold the result against a plain line-by-line
// reading of the same text, wherever the block boundaries fall.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cif/cif_line_reader.h"
#include "cif/cif_tokenizer.h"
#include "geom/text.h"

namespace koravel {
namespace {

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// The tokens as one text, a field in brackets: _x 1 [a\r\nb].
std::string Show(TCifTokenizer& tokenizer) {
  std::string out;
  TTok tok;
  while (tokenizer.Next(tok)) {
    if (!out.empty()) out += ' ';
    out += tok.Quoted ? "[" + tok.Text + "]" : tok.Text;
  }
  return out;
}

std::string ShowFromFile(const std::string& text, std::size_t blockSize) {
  std::unique_ptr<std::FILE, TFileCloser> file(std::tmpfile());
  EXPECT_NE(file, nullptr);
  std::fwrite(text.data(), 1, text.size(), file.get());
  std::rewind(file.get());
  TCifTokenizer tokenizer(TCifLineReader(file.get(), "", text.size(), blockSize));
  return Show(tokenizer);
}

// The rules read line by line, for text whose lines outside the fields hold
// plain words only.
std::string Reference(const std::string& text) {
  std::string out;
  auto emit = [&out](const std::string& token) { out += (out.empty() ? "" : " ") + token; };
  bool inField = false;
  std::string field;
  for (const std::string& line : SplitLines(text)) {
    if (!line.empty() && line[0] == ';') {
      if (inField) emit("[" + field + "]");
      else field = std::string(Trim(std::string_view(line).substr(1)));
      inField = !inField;
    } else if (inField) {
      if (!field.empty()) field += "\r\n";
      field += line;
    } else {
      std::size_t i = 0;
      while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        std::size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
        if (j > i) emit(line.substr(i, j - i));
        i = j;
      }
    }
  }
  if (inField) emit("[" + field + "]");
  return out;
}

void ExpectAsReference(const std::string& text, std::size_t blockSize) {
  const std::string expected = Reference(text);
  EXPECT_EQ(ShowFromFile(text, blockSize), expected) << "block " << blockSize << ": " << text;
}

// Every block boundary: between the CR and LF of a line end, right before a
// closing ";", inside the opening line, in leading empty lines.
TEST(CifTextField, SameAsLineByLineAtEveryBlockBoundary) {
  const std::string texts[] = {
      "_a\n;\n1 2\n3 4\n;\n_b x\n",
      "_a\r\n;\r\n1 2\r\n3 4\r\n;\r\n_b x\r\n",
      "_a\r;\r1 2\r3 4\r;\r_b x\r",
      "_a\n; open \r\n\r\n\n\rline\r\n\nnext\rlast\n; rest\n_b y",
      ";\n\n\n;\n",                  // only empty lines: an empty field
      ";\n \n;",                     // a blank line is not empty
      ";\r\n;\r\n",                  // closed at once
      ";\nx;y\n ;z\nw\n;",           // ";" elsewhere than in column 1
      ";\nnot closed\r\nat all",     // runs to the end, last line without end
      ";\nends on a CR\r",
      "_a\n;\nA\r\nB\r\nC\nD\r\n;",  // CR LF, then an LF among them
      "_a\n;\nA\nB\rC\n;",
  };
  for (const std::string& text : texts)
    for (std::size_t block = 1; block <= text.size() + 1; ++block) ExpectAsReference(text, block);
}

// Random fields of one line-end kind (the short cuts) or mixed ones.
TEST(CifTextField, RandomFieldsSameAsLineByLine) {
  std::mt19937 rng(20240611);
  const std::vector<std::string> lines = {"", " ", "1 2 3", "  -1   0   4   12.50    0.31   1",
                                          ";", "; open ", ";;", "x;y", " ;", "\t",
                                          "a line longer than the small blocks that are used here"};
  const std::vector<std::string> ends = {"\n", "\r\n", "\r"};
  for (int round = 0; round < 300; ++round) {
    const bool oneKind = rng() % 2 == 0;
    const std::string& kind = ends[rng() % ends.size()];
    std::string text = "_a 1" + kind;
    const int count = static_cast<int>(rng() % 60);
    for (int i = 0; i < count; ++i) {
      // Semicolon lines are rarer than others, so that fields get long.
      std::string line = lines[rng() % lines.size()];
      if (!line.empty() && line[0] == ';' && rng() % 4 != 0) line = "9 8 7";
      text += line;
      if (i + 1 < count || rng() % 2) text += oneKind ? kind : ends[rng() % ends.size()];
    }
    if (rng() % 3 == 0) text = ";" + kind + text;  // a field from the first line on
    for (std::size_t block : {1, 2, 5, 16, 64, 4096}) ExpectAsReference(text, block);
    TCifTokenizer inMemory(text);
    EXPECT_EQ(Show(inMemory), Reference(text)) << text;
  }
}

}  // namespace
}  // namespace koravel
