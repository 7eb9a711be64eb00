#include "geom/structure.h"

#include <gtest/gtest.h>

namespace koravel {
namespace {

TWorkingStructure WithLabels(std::initializer_list<const char*> labels) {
  TWorkingStructure s;
  for (const char* label : labels) {
    TAtom atom;
    atom.Label = label;
    s.Atoms.push_back(atom);
  }
  SyncAtomArrays(s);
  return s;
}

TEST(FindAtom, Lookups) {
  const TWorkingStructure s = WithLabels({"Fe1", "C1\"", "N1", "n1", "O1''", "Mg\"\""});
  const struct { const char* name; int index; } cases[] = {
      {"fe1", 0},     {"FE1", 0},   {"C1''", 1},      {"N1", 2}, {"n1", 2},
      {"O1''", 4},    // found as typed before any replacement
      {"Mg''''", 5},  // each pair becomes one double quote
      {" Fe1", -1},   {"Fe1 ", -1}, {"Fe", -1},       {"", -1},  {"C1'", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(FindAtom(s, c.name), c.index) << c.name;
}

TEST(SyncAtomArrays, MirrorsTheAtoms) {
  TWorkingStructure s = WithLabels({"A", "B"});
  s.Atoms[1].Frac = {0.1, 0.2, 0.3};
  s.Atoms[1].FracSu = {0.001, 0.002, 0.003};
  s.AtomFrac.resize(7);
  SyncAtomArrays(s);
  ASSERT_EQ(s.AtomFrac.size(), 2u);
  ASSERT_EQ(s.AtomSu.size(), 2u);
  EXPECT_EQ(s.AtomFrac[1], s.Atoms[1].Frac);
  EXPECT_EQ(s.AtomSu[1], s.Atoms[1].FracSu);
}

}  // namespace
}  // namespace koravel
