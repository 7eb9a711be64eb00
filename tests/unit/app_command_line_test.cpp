#include "app/command_line.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace koravel {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, QuotingRules) {
  struct Case { const char* raw; bool skipProgramName; Args expected; };
  const Case cases[] = {
      {R"(x.cif Mg" O1")", false, {"x.cif", "Mg\"", "O1\""}},
      {R"(x.cif "Fe1 N1 N2")", false, {"x.cif", "Fe1 N1 N2"}},
      {R"(a\\"b c")", false, {"a\\b c"}},
      {R"("a""b")", false, {"a\"b"}},
      {R"(x "")", false, {"x", ""}},
      {R"(a\"b)", false, {"a\"b"}},            // odd backslashes: a literal quote
      {R"(a\\\"b)", false, {"a\\\"b"}},
      {R"(a\b c\\)", false, {"a\\b", "c\\\\"}},  // backslashes without a quote stay
      {"  a\t\tb  ", false, {"a", "b"}},
      {R"("unclosed text)", false, {"unclosed text"}},
      {R"(Mg"x)", false, {"Mgx"}},               // a quote inside a word opens quoting
      {"", false, {}},
      {R"(koravel.exe x.cif Fe1)", true, {"x.cif", "Fe1"}},
      {R"("C:\Program Files\koravel.exe" x.cif)", true, {"x.cif"}},
      {R"(  "C:\a b\k.exe"rest x.cif)", true, {"x.cif"}},
      {R"(koravel)", true, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.raw, c.skipProgramName).List, c.expected) << c.raw;
}

TCommandLine Parse(const Args& args) { return ParseCommandLine(TArguments{args, false}); }

TEST(ParseCommandLine, ReadsEveryOptionWithAndWithoutDashes) {
  const TCommandLine cl = Parse({"x.cif", "tol=0.3", "--occ=0.25", "max", "12", "block=b1", "--out",
                                 "r.txt", "html=p.html", "xyznames=ELEMENT", "--brief", "--calc", "Fe1",
                                 "-1", ""});
  const TRunOptions& o = cl.Options;
  EXPECT_FALSE(cl.Help);
  EXPECT_DOUBLE_EQ(o.Tolerance, 0.3);
  EXPECT_DOUBLE_EQ(o.MinOccupancy, 0.25);
  EXPECT_DOUBLE_EQ(o.MaxRadius, -1.0);
  EXPECT_EQ(o.BlockName, "b1");
  EXPECT_EQ(o.Output.OutFile, "r.txt");
  EXPECT_EQ(o.Output.HtmlFile, "p.html");
  EXPECT_EQ(o.XyzNaming, xnElement);
  EXPECT_TRUE(o.Output.Brief);
  EXPECT_TRUE(o.CalcOnly);
  // "max" without "=" is no option; "-1" is no option, nor the empty argument.
  EXPECT_EQ(cl.Positional, (Args{"x.cif", "max", "12", "Fe1", "-1", ""}));
}

TEST(ParseCommandLine, DefaultsAndLastValueWins) {
  const TCommandLine cl = Parse({"--tol=1", "--tol=-0.5", "--block=", "--out=", "brief", "calc"});
  const TRunOptions& o = cl.Options;
  EXPECT_DOUBLE_EQ(o.Tolerance, -0.5);  // no range test
  EXPECT_DOUBLE_EQ(o.MinOccupancy, 0.5);
  EXPECT_DOUBLE_EQ(o.MaxRadius, -1.0);
  EXPECT_EQ(o.BlockName, "");
  EXPECT_EQ(o.Output.OutFile, "");
  EXPECT_FALSE(o.Output.Brief);  // "brief" without dashes is a positional argument
  EXPECT_EQ(cl.Positional, (Args{"brief", "calc"}));
}

// Help counts only before an error, and after it only the outputs are read;
// the page a wrong command line names is found all the same, so that it can
// report the error.
TEST(ParseCommandLine, HelpAndErrors) {
  struct Case { Args args; bool help; const char* error; const char* page; };
  const Case cases[] = {
      {{"x.cif", "--help", "--bogus", "html=p.html", "y.cif"}, true, "", "p.html"},
      {{"-h"}, true, "", ""},
      {{"/?", "--tol"}, true, "", ""},
      {{"--html", "p.html", "--help"}, true, "", "p.html"},
      {{"--tol", "0.3", "--html", "p.html", "--tol", "x"}, false, "invalid value for --tol: x", "p.html"},
      {{"x.cif", "Fe1", "--block"}, false, "missing value for --block", ""},
      {{"--block", "--brief", "x.cif"}, false, "missing value for --block", ""},
      {{"--html", "tol=1"}, false, "missing value for --html", ""},
      {{"-tol=0.5"}, false, "option with one dash: -tol=0.5 (write --tol=0.5)", ""},
      {{"-brief"}, false, "option with one dash: -brief (write --brief)", ""},
      {{"-x"}, false, "unknown option: -x", ""},
      {{"--bogus", "--help"}, false, "unknown option: --bogus", ""},
      {{"--tol="}, false, "invalid value for --tol: ", ""},
      {{"--occ=1,5"}, false, "invalid value for --occ: 1,5", ""},
      {{"max=inf"}, false, "invalid value for --max: inf", ""},
      {{"--max= 3"}, false, "invalid value for --max:  3", ""},
      {{"--xyznames="}, false, "invalid value for --xyznames:  (olex, position or element)", ""},
      {{"--Brief"}, false, "unknown option: --Brief", ""},
      {{"--"}, false, "unknown option: --", ""},
      {{"--out=a.txt", "--brief", "--tol=x", "--max=y", "html=p.html"}, false,
       "invalid value for --tol: x", "p.html"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(testing::ErrorOf([&] { Parse(c.args); }), *c.error ? c.error : "(no error)") << c.args[0];
    EXPECT_EQ(PageOfArguments(TArguments{c.args, false}), c.page) << c.args[0];
    if (c.help) {
      const TCommandLine cl = Parse(c.args);
      EXPECT_TRUE(cl.Help) << c.args[0];
      EXPECT_EQ(cl.Options.Output.HtmlFile, c.page) << c.args[0];
    }
  }
  // The file still counts after --help: the help must not overwrite it.
  EXPECT_EQ(Parse({"--help", "x.cif", "--bogus"}).Positional, (Args{"x.cif"}));
  EXPECT_EQ(FileOfArguments(TArguments{{"--tol=1", "html=p", "x.cif", "Fe1"}, false}), "x.cif");
  EXPECT_EQ(FileOfArguments(TArguments{{"--block", "b", "x.cif", "Fe1"}, false}), "x.cif");
  for (const char* version : {"--version", "-V"}) EXPECT_TRUE(Parse({"x.cif", version, "--bogus"}).Version);
}

}  // namespace
}  // namespace koravel
