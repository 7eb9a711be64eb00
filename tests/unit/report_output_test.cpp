#include "report/output.h"
#include "report/svg.h"

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

// Ticks are round numbers, 1, 2 or 5 times a power of ten apart, inside the
// axis; a logarithmic axis ticks its decades.
TEST(Output, AxisTicksAreRound) {
  struct {
    TAxis Axis;
    std::vector<double> Ticks;
  } cases[] = {
      {{0, 1, 0, 100}, {0, 0.2, 0.4, 0.6, 0.8, 1}},
      {{1547.3, 1622.1, 0, 100}, {1560, 1580, 1600, 1620}},
      {{-1.2, 1.2, 0, 100}, {-1, -0.5, 0, 0.5, 1}},
      {{0.01, 100, 0, 100, true}, {0.01, 0.1, 1, 10, 100}},
  };
  for (const auto& c : cases) {
    const std::vector<double> ticks = Ticks(c.Axis, 5);
    ASSERT_EQ(ticks.size(), c.Ticks.size());
    for (size_t k = 0; k < ticks.size(); ++k) EXPECT_NEAR(ticks[k], c.Ticks[k], 1e-12);
  }
}

}  // namespace
}  // namespace koravel
