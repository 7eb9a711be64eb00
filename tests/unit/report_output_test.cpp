#include "app/output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace koravel {
namespace {

// Runs `write` against a TOutput whose console is a temporary file and
// returns what the console received.
template <typename F>
std::string ConsoleOf(const TRunOptions& options, const std::string& brief, F write) {
  std::FILE* console = std::tmpfile();
  {
    TOutput out(console);
    EXPECT_TRUE(out.StartOutput(options));
    write(out);
    EXPECT_EQ(out.FinishOutput(brief), "");
  }
  std::rewind(console);
  std::string text;
  for (int c; (c = std::fgetc(console)) != EOF;) text += static_cast<char>(c);
  std::fclose(console);
  return text;
}

TEST(Output, BriefFilterKeepsOnlyTheErrorBlock) {
  TRunOptions o;
  o.Brief = true;
  std::string console = ConsoleOf(o, "", [](TOutput& out) {
    out.WriteLine("Koravel 1.0 - header");
    out.WriteLine("       indented header line");
    out.WriteLine("Error: atom \"%1\" - this looks like");
    out.WriteLine("       substituted.");
    out.WriteLine("not part of the message");
    out.WriteLine("       nor this");
  });
  EXPECT_EQ(console, "Error: atom \"%1\" - this looks like\n       substituted.\n");
}

TEST(Output, BriefLineReplacesTheReport) {
  TRunOptions o;
  o.Brief = true;
  std::string console = ConsoleOf(o, "Fe1: CN 3", [](TOutput& out) { out.WriteLine("report"); });
  EXPECT_EQ(console, "Fe1: CN 3\n");
}

TEST(Output, WithoutOptionsLinesGoStraightToTheConsole) {
  TRunOptions o;
  std::string console = ConsoleOf(o, "brief", [](TOutput& out) {
    EXPECT_FALSE(out.Capturing());
    out.WriteLine("a");
    out.WriteLine("");
  });
  EXPECT_EQ(console, "a\n\n");
}

TEST(Output, HtmlEscapesAmpersandFirst) {
  EXPECT_EQ(EscapeHtml("d <= r1 & r2 > 0 &amp;"), "d &lt;= r1 &amp; r2 &gt; 0 &amp;amp;");
  EXPECT_EQ(EscapeHtml("plain \"text\""), "plain \"text\"");
}

TEST(Output, FailingHtmlPageIsReported) {
  TRunOptions o;
  o.HtmlFile = "/nonexistent-directory/page.html";
  std::FILE* console = std::tmpfile();
  TOutput out(console);
  ASSERT_TRUE(out.StartOutput(o));
  out.WriteLine("line");
  EXPECT_EQ(out.FinishOutput(""), "cannot write HTML file: /nonexistent-directory/page.html");
  std::fclose(console);
}

}  // namespace
}  // namespace koravel
