#include "report/output.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "test_support.h"

namespace koravel {
namespace {

// What a console (a temporary file) has received so far.
std::string ContentOf(std::FILE* console) {
  std::fflush(console);
  std::rewind(console);
  std::string text;
  for (int c; (c = std::fgetc(console)) != EOF;) text += static_cast<char>(c);
  return text;
}

TEST(Output, WithoutOptionsLinesGoStraightToTheConsole) {
  std::FILE* console = std::tmpfile();
  TOutput out(console, "", {"x.cif"});
  out.Start(TOutputOptions{});
  out.WriteLine("a");
  out.WriteLine("");
  EXPECT_EQ(ContentOf(console), "a\n\n");
  EXPECT_EQ(out.Finish("brief"), "");
  EXPECT_EQ(ContentOf(console), "a\n\n");
  std::fclose(console);
}

TEST(Output, HtmlEscapesAmpersandFirst) {
  EXPECT_EQ(EscapeHtml("d <= r1 & r2 > 0 &amp;"), "d &lt;= r1 &amp; r2 &gt; 0 &amp;amp;");
  EXPECT_EQ(EscapeHtml("title=\"S(OC-6)\""), "title=&quot;S(OC-6)&quot;");
}

}  // namespace
}  // namespace koravel
