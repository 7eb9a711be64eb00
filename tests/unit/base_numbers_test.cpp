#include "base/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace koravel {
namespace {

TEST(ParseNumber, AcceptsTheDecimalGrammar) {
  struct Case { const char* text; double value; };
  const Case cases[] = {
      {"0", 0},       {"1.5", 1.5},     {"-0.25", -0.25}, {"+3", 3},
      {".5", 0.5},    {"5.", 5},        {"1e3", 1000},    {"1.5E-2", 0.015},
      {"-2e+1", -20}, {"1e-400", 0},    {"007", 7},       {"0.0000", 0},
  };
  for (const Case& c : cases) {
    double v = -99;
    EXPECT_TRUE(ParseNumber(c.text, v)) << c.text;
    EXPECT_DOUBLE_EQ(v, c.value) << c.text;
  }
}

TEST(ParseNumber, RejectsEverythingElse) {
  const char* bad[] = {"",    ".",    "-",     "+.",   "1..2", "1.2.3", "e5",  "1e",
                       "1e+", "nan",  "NaN",   "inf",  "-inf", "0x1p3", "1e400", " 1",
                       "1 ",  "1,5",  "1.5f",  "--1",  "+-1",  "1e5.0", "١"};
  for (const char* text : bad) {
    double v = 42;
    EXPECT_FALSE(ParseNumber(text, v)) << text;
    EXPECT_EQ(v, 42) << text;
  }
}

TEST(ParseInteger, RangeChecked) {
  long long v = 0;
  EXPECT_TRUE(ParseInteger("-12", v));
  EXPECT_EQ(v, -12);
  EXPECT_TRUE(ParseInteger("9223372036854775807", v));
  EXPECT_TRUE(ParseInteger("-9223372036854775808", v));
  EXPECT_EQ(v, std::numeric_limits<long long>::min());
  for (const char* bad : {"9223372036854775808", "", "-", "1.0", "1e3", " 4", "12a"})
    EXPECT_FALSE(ParseInteger(bad, v)) << bad;
}

TEST(RoundToInt, HalvesToEvenAndNothingOutOfRange) {
  struct Case { double value; bool ok; int rounded; };
  const Case cases[] = {{2.5, true, 2},  {3.5, true, 4},          {-2.5, true, -2},
                        {2.49, true, 2}, {2147483647.4, true, 2147483647},
                        {2147483648.0, false, 0}, {1e300, false, 0},
                        {std::nan(""), false, 0}};
  for (const Case& c : cases) {
    int out = 0;
    EXPECT_EQ(RoundToInt(c.value, out), c.ok) << c.value;
    EXPECT_EQ(out, c.rounded) << c.value;
  }
  long long big = 0;
  EXPECT_FALSE(RoundToInt64(9223372036854775808.0, big));
  EXPECT_TRUE(RoundToInt64(-9223372036854775808.0, big));
}

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

TEST(FormatFixed, RoundsAndWritesAPoint) {
  struct Case { double value; int decimals; const char* text; };
  const Case cases[] = {
      {2.5, 0, "2"},        {3.5, 0, "4"},           {1.23456, 2, "1.23"},
      {-1.5, 1, "-1.5"},    {0.4, 2, "0.40"},         {359.87, 2, "359.87"},
      {-0.0001, 2, "0.00"}, {-0.0, 3, "0.000"},       {1234567.0, 1, "1234567.0"},
      {0.05, 0, "0"},       {656.8273238069443, 2, "656.83"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatFixed(c.value, c.decimals), c.text) << c.value;
}

TEST(FormatValueSu, WorkedExamples) {
  struct Case { double value, su; int def; const char* text; int suDecimals; };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {1.23456, 0.0012, 4, "1.2346(12)", 4},
      {1.23456, 0.0034, 4, "1.235(3)", 3},
      {1.23456, 0.00196, 4, "1.235(2)", 3},
      {12.3456, 0.15, 4, "12.35(15)", 2},
      {359.87, 0.5, 2, "359.9(5)", 1},
      {359.87, 1.0, 2, "359.9(10)", 1},
      {359.87, 2.4, 2, "360(2)", 0},
      {359.87, 25, 2, "360(25)", 0},
      {0.123456789, 9e-10, 2, "0.12345679(1)", 8},
      {0.5, 1e-12, 2, "0.50000000(1)", 8},
      {359.87, 0, 2, "359.87", 0},
      {359.87, -0.3, 2, "359.87", 0},
      {359.87, nan, 2, "359.87", 0},
      {359.87, std::numeric_limits<double>::infinity(), 2, "359.87", 0},
      {2.0123, 0.0015, 3, "2.0123(15)", 4},
      {119.87, 0.05, 2, "119.87(5)", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatValueSu(c.value, c.su, c.def), c.text) << c.value << " su " << c.su;
    EXPECT_EQ(SuDecimals(c.su), c.suDecimals) << c.su;
  }
}

}  // namespace
}  // namespace koravel
