#include "crystal/elements.h"

#include <gtest/gtest.h>

#include <string>

#include "base/numbers.h"

namespace koravel {
namespace {

// The element table as published with the radii, in order of atomic number.
constexpr const char* kPublishedTable =
    "H 0.31, He 0.28, Li 1.28, Be 0.96, B 0.84, C 0.76, N 0.71, O 0.66, F 0.57, Ne 0.58, "
    "Na 1.66, Mg 1.41, Al 1.21, Si 1.11, P 1.07, S 1.05, Cl 1.02, Ar 1.06, K 2.03, Ca 1.76, "
    "Sc 1.70, Ti 1.60, V 1.53, Cr 1.39, Mn 1.50, Fe 1.42, Co 1.38, Ni 1.24, Cu 1.32, Zn 1.22, "
    "Ga 1.22, Ge 1.20, As 1.19, Se 1.20, Br 1.20, Kr 1.16, Rb 2.20, Sr 1.95, Y 1.90, Zr 1.75, "
    "Nb 1.64, Mo 1.54, Tc 1.47, Ru 1.46, Rh 1.42, Pd 1.39, Ag 1.45, Cd 1.44, In 1.42, "
    "Sn 1.39, Sb 1.39, Te 1.38, I 1.39, Xe 1.40, Cs 2.44, Ba 2.15, La 2.07, Ce 2.04, Pr 2.03, "
    "Nd 2.01, Pm 1.99, Sm 1.98, Eu 1.98, Gd 1.96, Tb 1.94, Dy 1.92, Ho 1.92, Er 1.89, "
    "Tm 1.90, Yb 1.87, Lu 1.87, Hf 1.75, Ta 1.70, W 1.62, Re 1.51, Os 1.44, Ir 1.41, Pt 1.36, "
    "Au 1.36, Hg 1.32, Tl 1.45, Pb 1.46, Bi 1.48, Po 1.40, At 1.50, Rn 1.50, Fr 2.60, "
    "Ra 2.21, Ac 2.15, Th 2.06, Pa 2.00, U 1.96, Np 1.90, Pu 1.87, Am 1.80, Cm 1.69";

TEST(ElementTable, MatchesThePublishedSymbolsAndRadii) {
  std::string_view rest = kPublishedTable;
  int number = 0;
  while (!rest.empty()) {
    const size_t comma = rest.find(", ");
    const std::string_view entry = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 2);
    const size_t blank = entry.find(' ');
    const std::string symbol(entry.substr(0, blank));
    double radius = 0;
    ASSERT_TRUE(ParseNumber(entry.substr(blank + 1), radius)) << entry;
    ++number;
    EXPECT_EQ(ElementSymbol(number), symbol) << number;
    EXPECT_EQ(ElementIndex(symbol), number) << symbol;
    EXPECT_DOUBLE_EQ(CovalentRadius(symbol), radius) << symbol;
  }
  EXPECT_EQ(number, 96);
}

TEST(ElementTable, LookupsIgnoreCaseButNotBlanks) {
  EXPECT_EQ(ElementIndex("FE"), 26);
  EXPECT_EQ(ElementIndex("fe"), 26);
  EXPECT_EQ(ElementIndex(" Fe"), 0);
  EXPECT_TRUE(IsElement("cm"));
  EXPECT_FALSE(IsElement("D"));
  EXPECT_DOUBLE_EQ(CovalentRadius("fe"), 1.42);
  for (const char* isotope : {"D", "T", "d"}) EXPECT_DOUBLE_EQ(CovalentRadius(isotope), 0.31) << isotope;
  for (const char* unknown : {"Q", "", "Xx", "Bk"}) EXPECT_DOUBLE_EQ(CovalentRadius(unknown), 1.5) << unknown;
  for (int outside : {0, 97, -1}) EXPECT_EQ(ElementSymbol(outside), "") << outside;
}

TEST(ElementTable, ElementsOfLabelsAndTypes) {
  const struct { const char* text; const char* prefix; const char* element; } cases[] = {
      {"CO1", "CO", "CO"}, {"Cl2", "Cl", "Cl"}, {"C12", "C", "C"},  {"Hg1", "Hg", "Hg"},
      {"H1A", "H", "H"},   {"Xx3", "Xx", "Xx"}, {"1C", "", ""},     {"Cu1", "Cu", "Cu"},
      {"Ca", "Ca", "Ca"},  {"Cx", "Cx", "C"},   {"", "", ""},       {"fe1", "fe", "fe"},
      {"Fe(1)", "Fe", "Fe"}, {"Fe2+", "Fe", "Fe"}, {"Qq", "Qq", "Qq"},
      // deuterium and tritium by their first letter, unless an element
      {"Dh1", "Dh", "D"},  {"Dw", "Dw", "D"},   {"DZW3^", "DZW", "D"}, {"T2", "T", "T"},
      {"Dy1", "Dy", "Dy"}, {"Ds1", "Ds", "Ds"}, {"Db", "Db", "Db"},    {"Th1", "Th", "Th"},
      // water oxygen, not tungsten
      {"Wat1", "Wat", "O"}, {"WAT2", "WAT", "O"}, {"OW3", "OW", "O"},  {"Ow1", "Ow", "O"},
      {"W1", "W", "W"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LetterPrefix(c.text), c.prefix) << c.text;
    EXPECT_EQ(ElementFromLabel(c.text), c.element) << c.text;
  }
}

}  // namespace
}  // namespace koravel
