#include "sum/ligand_args.h"

#include <gtest/gtest.h>

#include "geom/fatal.h"

namespace koravel {
namespace {

using Names = std::vector<std::string>;

TEST(ParseLigandArgs, BracketFormsAndGroups) {
  struct Case {
    std::vector<std::string> args;
    Names names;
    std::vector<int> groups;
    int groupCount;
  };
  const Case cases[] = {
      {{"x.cif", "Fe1", "N1", "N2#2_655"}, {"Fe1", "N1", "N2#2_655"}, {-1, -1, -1}, 0},
      {{"x.cif", "Fe1 N1,N2"}, {"Fe1", "N1", "N2"}, {-1, -1, -1}, 0},
      {{"x.cif", "Fe1", "cent(C1,C2,C3)"}, {"Fe1", "C1", "C2", "C3"}, {-1, 0, 0, 0}, 1},
      {{"x.cif", "Fe1", "Cg(C1", "C2", "C3)"}, {"Fe1", "C1", "C2", "C3"}, {-1, 0, 0, 0}, 1},
      {{"x.cif", "Fe1", "centroid", "[C1 C2 C3]"}, {"Fe1", "C1", "C2", "C3"}, {-1, 0, 0, 0}, 1},
      {{"x.cif", "Fe1", "(C1 C2)", "[C3 C4]"}, {"Fe1", "C1", "C2", "C3", "C4"}, {-1, 0, 0, 1, 1}, 2},
      // A keyword not followed by a bracket stays a name.
      {{"x.cif", "Fe1", "cent", "C1"}, {"Fe1", "cent", "C1"}, {-1, -1, -1}, 0},
      // The same atom both inside a centroid and as a ligand of its own.
      {{"x.cif", "Fe1", "[C1 C2 C3]", "C1"}, {"Fe1", "C1", "C2", "C3", "C1"}, {-1, 0, 0, 0, -1}, 1},
      // An empty group still counts as a group (it fails later, for lack of atoms).
      {{"x.cif", "Fe1", "[ ]"}, {"Fe1"}, {-1}, 1},
      {{"x.cif", "Fe1", "cg", "[]", "N1"}, {"Fe1", "N1"}, {-1, -1}, 1},
  };
  for (const Case& c : cases) {
    TLigandArgs r = ParseLigandArgs(c.args, 1);
    EXPECT_EQ(r.Names, c.names) << c.args[2];
    EXPECT_EQ(r.Groups, c.groups) << c.args[2];
    EXPECT_EQ(r.GroupCount, c.groupCount) << c.args[2];
  }
}

TEST(ParseLigandArgs, BracketErrors) {
  struct Case { std::vector<std::string> args; const char* message; };
  const Case cases[] = {
      {{"x", "Fe1", "cent(C1,C2"}, "unclosed bracket in a centroid definition."},
      {{"x", "Fe1", "((C1 C2))"}, "nested brackets in a centroid definition."},
      {{"x", "Fe1", "C1 ] C2"}, "closing bracket without opening bracket."},
      {{"x", "Fe1", "[C1 (C2)]"}, "nested brackets in a centroid definition."},
  };
  for (const Case& c : cases) {
    try {
      ParseLigandArgs(c.args, 1);
      ADD_FAILURE() << c.args[2];
    } catch (const TFatalError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.args[2];
    }
  }
}

TEST(StripOlexSuffix, RemovesFromTheFirstMarker) {
  struct Case { const char* label; const char* stripped; bool removed; };
  const Case cases[] = {
      {"N1_$2", "N1", true}, {"N1", "N1", false}, {"_$3", "", true},
      {"O1_1", "O1_1", false}, {"C1_$2_$3", "C1", true},
  };
  for (const Case& c : cases) {
    bool removed = !c.removed;
    EXPECT_EQ(StripOlexSuffix(c.label, removed), c.stripped) << c.label;
    EXPECT_EQ(removed, c.removed) << c.label;
  }
}

TEST(SplitAtomList, SeparatorsMakeNoEmptyTokens) {
  Names tokens;
  SplitAtomList(" ,a,\tb  c,,", tokens);
  EXPECT_EQ(tokens, (Names{"a", "b", "c"}));
}

}  // namespace
}  // namespace koravel
