#include "app/command_line.h"

#include <gtest/gtest.h>

#include "geom/fatal.h"

namespace koravel {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, QuotingRules) {
  struct Case { const char* raw; Args expected; };
  const Case cases[] = {
      {R"(x.cif Mg" O1")", {"x.cif", "Mg\"", "O1\""}},
      {R"(x.cif "Fe1 N1 N2")", {"x.cif", "Fe1 N1 N2"}},
      {R"(a\\"b c")", {"a\\b c"}},
      {R"("a""b")", {"a\"b"}},
      {R"(x "")", {"x", ""}},
      {R"(a\"b)", {"a\"b"}},            // odd backslashes: a literal quote
      {R"(a\\\"b)", {"a\\\"b"}},
      {R"(a\b c\\)", {"a\\b", "c\\\\"}},  // backslashes without a quote stay
      {"  a\t\tb  ", {"a", "b"}},
      {R"("unclosed text)", {"unclosed text"}},
      {R"(Mg"x)", {"Mgx"}},               // a quote inside a word opens quoting
      {"", {}},
  };
  for (const Case& c : cases) {
    Args args{"stale"};
    SplitCommandLine(c.raw, false, args);
    EXPECT_EQ(args, c.expected) << c.raw;
  }
}

TEST(SplitCommandLine, SkipsTheProgramName) {
  struct Case { const char* raw; Args expected; };
  const Case cases[] = {
      {R"(koravel.exe x.cif Fe1)", {"x.cif", "Fe1"}},
      {R"("C:\Program Files\koravel.exe" x.cif)", {"x.cif"}},
      {R"(  "C:\a b\k.exe"rest x.cif)", {"x.cif"}},
      {R"(koravel)", {}},
  };
  for (const Case& c : cases) {
    Args args;
    SplitCommandLine(c.raw, true, args);
    EXPECT_EQ(args, c.expected) << c.raw;
  }
}

TEST(ParseOptions, ReadsEveryOptionWithAndWithoutDashes) {
  TRunOptions o;
  Args positional;
  Args args{"x.cif", "tol=0.3", "--occ=0.25", "max=12", "block=b1", "out=r.txt",
            "html=p.html", "xyznames=ELEMENT", "--brief", "--calc", "Fe1", "-tol=1", ""};
  EXPECT_EQ(ParseOptions(args, o, positional), TOptionOutcome::Run);
  EXPECT_DOUBLE_EQ(o.Tolerance, 0.3);
  EXPECT_DOUBLE_EQ(o.MinOccupancy, 0.25);
  EXPECT_DOUBLE_EQ(o.MaxRadius, 12);
  EXPECT_EQ(o.BlockName, "b1");
  EXPECT_EQ(o.OutFile, "r.txt");
  EXPECT_EQ(o.HtmlFile, "p.html");
  EXPECT_EQ(o.XyzNaming, xnElement);
  EXPECT_TRUE(o.Brief);
  EXPECT_TRUE(o.CalcOnly);
  // "-tol=1" has a single dash and the empty argument is positional too.
  EXPECT_EQ(positional, (Args{"x.cif", "Fe1", "-tol=1", ""}));
}

TEST(ParseOptions, DefaultsAndLastValueWins) {
  TRunOptions o;
  Args positional;
  ParseOptions({"--tol=1", "--tol=-0.5", "--block=", "--out=", "brief", "calc"}, o, positional);
  EXPECT_DOUBLE_EQ(o.Tolerance, -0.5);  // no range test
  EXPECT_DOUBLE_EQ(o.MinOccupancy, 0.5);
  EXPECT_DOUBLE_EQ(o.MaxRadius, -1.0);
  EXPECT_EQ(o.BlockName, "");
  EXPECT_EQ(o.OutFile, "");
  EXPECT_FALSE(o.Brief);  // "brief" without dashes is a positional argument
  EXPECT_EQ(positional, (Args{"brief", "calc"}));
}

TEST(ParseOptions, HelpStopsTheLoop) {
  for (const char* help : {"--help", "-h", "/?"}) {
    TRunOptions o;
    Args positional;
    EXPECT_EQ(ParseOptions({"x.cif", help, "--bogus"}, o, positional), TOptionOutcome::Help);
  }
}

TEST(ParseOptions, BadOptionsAreFatal) {
  struct Case { Args args; const char* message; };
  const Case cases[] = {
      {{"--tol", "0.3"}, "unknown option: --tol"},
      {{"--bogus", "--help"}, "unknown option: --bogus"},
      {{"--tol="}, "invalid value for --tol: "},
      {{"--occ=1,5"}, "invalid value for --occ: 1,5"},
      {{"max=inf"}, "invalid value for --max: inf"},
      {{"--max= 3"}, "invalid value for --max:  3"},
      {{"--xyznames="}, "invalid value for --xyznames:  (olex, position or element)"},
      {{"--Brief"}, "unknown option: --Brief"},
      {{"--"}, "unknown option: --"},
  };
  for (const Case& c : cases) {
    TRunOptions o;
    Args positional;
    try {
      ParseOptions(c.args, o, positional);
      ADD_FAILURE() << "no error for " << c.args[0];
    } catch (const TFatalError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

}  // namespace
}  // namespace koravel
