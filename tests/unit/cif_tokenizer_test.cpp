#include "cif/cif_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cif/cif_encoding.h"

namespace koravel {
namespace {

// Tokens written as their text, quoted ones in brackets: a b [c d].
std::string Show(std::string_view text) {
  std::string out;
  for (const TTok& t : TokenizeCif(text)) {
    if (!out.empty()) out += ' ';
    out += t.Quoted ? "[" + t.Text + "]" : t.Text;
  }
  return out;
}

TEST(CifTokenizer, SplitsLinesIntoTokens) {
  struct Case { const char* text; const char* tokens; };
  const Case cases[] = {
      {"_a 1\n_b\t2", "_a 1 _b 2"},
      {"_a 1\r\n_b 2\r\n", "_a 1 _b 2"},                      // CR LF
      {"_a 1\r_b 2\r", "_a 1 _b 2"},                          // CR only
      {"_a 1 # comment 'x'\n_b 2", "_a 1 _b 2"},
      {"N#1 x", "N#1 x"},                                     // # inside a word
      {"'O'Neil' \"a b\"", "[O'Neil] [a b]"},                 // quote closes before a blank
      {"'it''s'", "[it''s]"},
      {"'unterminated\nnext", "[unterminated] next"},         // runs to the line end
      {"'a'b' c", "[a'b] c"},
      {"''", "[]"},
      {"'x'\t'y'", "[x] [y]"},
      {"x'y z", "x'y z"},                                     // quote inside a word
  };
  for (const Case& c : cases) EXPECT_EQ(Show(c.text), c.tokens) << c.text;
}

TEST(CifTokenizer, TextFields) {
  struct Case { const char* text; const char* tokens; };
  const Case cases[] = {
      {";\nline 1\nline 2\n;\nx", "[line 1\r\nline 2] x"},
      {"; first  \n second\n;", "[first\r\n second]"},        // opening rest kept, trimmed
      {";\n\n\nA\n\nB\n;", "[A\r\n\r\nB]"},                   // leading empty lines vanish
      {";\na\n; ignored rest\nz", "[a] z"},
      {";\r\nx\r\n;\r\n", "[x]"},
      {";\nnever closed\n_b 2", "[never closed\r\n_b 2]"},    // runs to the end of file
      {" ;not a field", ";not a field"},                      // ";" only in column 1
  };
  for (const Case& c : cases) EXPECT_EQ(Show(c.text), c.tokens) << c.text;
}

TEST(CifEncoding, ByteOrderMarks) {
  std::string storage;
  EXPECT_EQ(CifTextFromBytes("\xEF\xBB\xBF_a 1", storage), "_a 1");
  const std::string le("\xFF\xFE_\0a\0 \0\xE9\0\n\0", 12);
  EXPECT_EQ(std::string(CifTextFromBytes(le, storage)), "_a \xC3\xA9\n");
  const std::string be("\xFE\xFF\0_\0a\xD8\x3D\xDE\x00", 10);  // U+1F600 as a pair
  EXPECT_EQ(std::string(CifTextFromBytes(be, storage)), "_a\xF0\x9F\x98\x80");
  const std::string lone("\xFF\xFE\x00\xD8x", 5);  // lone surrogate, odd byte
  EXPECT_EQ(std::string(CifTextFromBytes(lone, storage)), "\xEF\xBF\xBD");
  EXPECT_EQ(CifTextFromBytes("plain", storage), "plain");
}

}  // namespace
}  // namespace koravel
