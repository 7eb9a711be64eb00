#include "geom/number_text.h"

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
  struct Case { double value, su; int def; const char* text; };
  const Case cases[] = {
      {1.23456, 0.0012, 4, "1.2346(12)"},
      {1.23456, 0.0034, 4, "1.235(3)"},
      {1.23456, 0.00196, 4, "1.235(2)"},
      {12.3456, 0.15, 4, "12.35(15)"},
      {359.87, 0.5, 2, "359.9(5)"},
      {359.87, 1.0, 2, "359.9(10)"},
      {359.87, 2.4, 2, "360(2)"},
      {359.87, 25, 2, "360(25)"},
      {0.123456789, 9e-10, 2, "0.12345679(1)"},
      {0.5, 1e-12, 2, "0.50000000(1)"},
      {359.87, 0, 2, "359.87"},
      {359.87, -0.3, 2, "359.87"},
      {359.87, std::nan(""), 2, "359.87"},
      {359.87, std::numeric_limits<double>::infinity(), 2, "359.87"},
      {2.0123, 0.0015, 3, "2.0123(15)"},
      {119.87, 0.05, 2, "119.87(5)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatValueSu(c.value, c.su, c.def), c.text) << c.value << " su " << c.su;
}

}  // namespace
}  // namespace koravel
