#include "cif/su_number.h"

#include <gtest/gtest.h>

namespace koravel {
namespace {

TEST(ParseSu, ReadsValueAndSu) {
  struct Case { const char* text; double value, su; };
  const Case cases[] = {
      {"1.2345(12)", 1.2345, 0.0012}, {"12(3)", 12, 3},        {"1.2e-3(4)", 0.0012, 0.0004},
      {"1.5e2(3)", 150, 30},          {"0.5", 0.5, 0},         {"-0.1234(5)", -0.1234, 0.0005},
      {"1.234(", 1.234, 0},           {"1.234()", 1.234, 0},   {"1.234(5", 1.234, 0.005},
      {" 90.00(2) ", 90, 0.02},       {"5.(3)", 5, 3},         {"1.5E+2(3)", 150, 30},
      {"1.234(x)", 1.234, 0},         {"1.234(-5)", 1.234, 0}, {"2(3)tail", 2, 3},
      // Absurd exponents: the value stands, an su that leaves the range is none.
      {"1e300(5)", 1e300, 5e300},     {"1.0e-300(5)", 1e-300, 5e-301},
      {"0e999999999999(5)", 0, 0},    {"1e-9999999999999999999999(5)", 0, 0},
      {"1.5(1e400)", 1.5, 0},         {"1e300(9e10)", 1e300, 0},
  };
  for (const Case& c : cases) {
    double value = -1, su = -1;
    EXPECT_TRUE(ParseSu(c.text, value, su)) << c.text;
    EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    EXPECT_DOUBLE_EQ(su, c.su) << c.text;
  }
}

TEST(ParseSu, RejectsNullsAndNonNumbers) {
  for (const char* text : {"?", ".", "", "  ", "abc", ".(3)", "1.2.3", "(5)", "nan(1)", "inf",
                           "0x10", "1e400", "1 (2)", "1,5(2)"}) {
    double value = -1, su = -1;
    EXPECT_FALSE(ParseSu(text, value, su)) << text;
    EXPECT_EQ(value, 0) << text;
    EXPECT_EQ(su, 0) << text;
  }
}

}  // namespace
}  // namespace koravel
