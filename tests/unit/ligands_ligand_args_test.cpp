#include "ligands/ligand_args.h"

#include <gtest/gtest.h>

#include "crystal/elements.h"
#include "ligands/atom_names.h"
#include "test_support.h"

namespace koravel {
namespace {

using Names = std::vector<std::string>;

TEST(ParseLigandArgs, BracketFormsAndGroups) {
  struct Case {
    Names args;
    Names names;
    std::vector<int> groups;
    int groupCount;
  };
  const Case cases[] = {
      {{"Fe1", "N1", "N2#2_655"}, {"Fe1", "N1", "N2#2_655"}, {-1, -1, -1}, 0},
      {{" ,Fe1 N1,,\tN2  ,"}, {"Fe1", "N1", "N2"}, {-1, -1, -1}, 0},
      {{"Fe1", "cent(C1,C2,C3)"}, {"Fe1", "C1", "C2", "C3"}, {-1, 0, 0, 0}, 1},
      {{"Fe1", "Cg(C1", "C2", "C3)"}, {"Fe1", "C1", "C2", "C3"}, {-1, 0, 0, 0}, 1},
      {{"Fe1", "centroid", "[C1 C2 C3]"}, {"Fe1", "C1", "C2", "C3"}, {-1, 0, 0, 0}, 1},
      {{"Fe1", "(C1 C2)", "[C3 C4]"}, {"Fe1", "C1", "C2", "C3", "C4"}, {-1, 0, 0, 1, 1}, 2},
      // A keyword not followed by a bracket stays a name.
      {{"Fe1", "cent", "C1"}, {"Fe1", "cent", "C1"}, {-1, -1, -1}, 0},
      // The same atom both inside a centroid and as a ligand of its own.
      {{"Fe1", "[C1 C2 C3]", "C1"}, {"Fe1", "C1", "C2", "C3", "C1"}, {-1, 0, 0, 0, -1}, 1},
      // An empty group still counts as a group (it fails later, for lack of atoms).
      {{"Fe1", "[ ]"}, {"Fe1"}, {-1}, 1},
      {{"Fe1", "cg", "[]", "N1"}, {"Fe1", "N1"}, {-1, -1}, 1},
      // A word that is an atom label keeps its brackets; others do not.
      {{"Fe(1)", "N(2)", "(N1 N3)"}, {"Fe(1)", "N(2)", "N1", "N3"}, {-1, -1, 0, 0}, 1},
      // ... also where it opens or closes a group, as an eta-bonded ring is named.
      {{"Fe1", "[Fe(1) N(2)]", "[N(2)", "N1]"}, {"Fe1", "Fe(1)", "N(2)", "N(2)", "N1"}, {-1, 0, 0, 1, 1}, 2},
  };
  const auto isLabel = [](std::string_view word) { return word == "Fe(1)" || word == "N(2)"; };
  for (const Case& c : cases) {
    const TLigandArgs r = ParseLigandArgs(c.args, isLabel);
    EXPECT_EQ(r.Names, c.names) << c.args[0];
    EXPECT_EQ(r.Groups, c.groups) << c.args[0];
    EXPECT_EQ(r.GroupCount, c.groupCount) << c.args[0];
  }
  // Without a label test every bracket groups.
  EXPECT_EQ(ParseLigandArgs({"Fe(1)"}, nullptr).Names, (Names{"Fe", "1"}));
}

TEST(ParseLigandArgs, BracketErrors) {
  struct Case { Names args; const char* message; };
  const Case cases[] = {
      {{"Fe1", "cent(C1,C2"}, "unclosed bracket in a centroid definition."},
      {{"Fe1", "((C1 C2))"}, "nested brackets in a centroid definition."},
      {{"Fe1", "C1 ] C2"}, "closing bracket without opening bracket."},
      {{"Fe1", "[C1 (C2)]"}, "nested brackets in a centroid definition."},
  };
  for (const Case& c : cases)
    EXPECT_EQ(testing::ErrorOf([&] { ParseLigandArgs(c.args, nullptr); }), c.message) << c.args[1];
}

TEST(AtomNames, OlexSuffixesAreRemovedOnlyWhenNeeded) {
  struct Case { const char* label; const char* stripped; bool removed; };
  const Case cases[] = {
      {"N1_$2", "N1", true}, {"N1", "N1", false}, {"_$3", "", true},
      {"O1_1", "O1_1", false}, {"C1_$2_$3", "C1", true}, {"C1_2$3", "C1_2", true},
  };
  for (const Case& c : cases) {
    bool removed = !c.removed;
    EXPECT_EQ(StripOlexSuffix(c.label, removed), c.stripped) << c.label;
    EXPECT_EQ(removed, c.removed) << c.label;
  }
  TStructure s;
  s.Atoms = {testing::MakeAtom("N1", "N", {}), testing::MakeAtom("N1_$2", "N", {})};
  const struct { const char* typed; int atom; const char* name; bool removed; } lookups[] = {
      {"n1_$2", 1, "n1_$2", false},  // a label that holds the suffix is found as it is
      {"N1_$3", 0, "N1", true},
      {"O1_$3", -1, "O1", true},
      {"O1", -1, "O1", false},
  };
  for (const auto& l : lookups) {
    const TNameLookup r = FindAtomWithoutSuffix(s, l.typed);
    EXPECT_EQ(r.Atom, l.atom) << l.typed;
    EXPECT_EQ(r.Name, l.name) << l.typed;
    EXPECT_EQ(r.SuffixRemoved, l.removed) << l.typed;
  }
}

// The labels offered for a name the structure lacks.
TEST(AtomNames, SimilarLabelsOfATypingSlipOrTheElement) {
  TStructure s;
  for (const char* label : {"B1", "B2", "C11", "F11", "Fe(1)", "O1", "Cu1", "C12"})
    s.Atoms.push_back(testing::MakeAtom(label, ElementFromLabel(label), {}));
  const struct { const char* typed; Names labels; } cases[] = {
      {"B11", {"B1", "B2"}},           // the slip first, then the element's others
      {"b(1)", {"B1"}},                // only case and parentheses differ
      {"Fe1", {"Fe(1)"}},
      {"Cu2#2_655", {"Cu1"}},          // code and Olex2 suffix are no part of the label
      {"O2_$3", {"O1"}},
      {"Xx11", {"C11", "F11"}},        // no element: any label two slips away
      {"Zn1", {}},                     // no zinc: B1 or C11 would be no slip
      {"C1", {"C11", "C12"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SimilarLabels(s, c.typed), c.labels) << c.typed;
  EXPECT_EQ(SimilarLabels(s, "C", 1), Names{"C11"});
}

}  // namespace
}  // namespace koravel
