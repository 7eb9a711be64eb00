#include "io/xyz_file.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace koravel {
namespace {

using testing::ErrorOf;
using testing::TestData;

TXyzFile Read(const std::string& text, TXyzNaming naming = xnOlex) {
  return ReadXyzText(text, "t.xyz", naming);
}

std::vector<std::string> Labels(const TXyzFile& data) {
  std::vector<std::string> labels;
  for (const TXyzAtom& a : data.Atoms) labels.push_back(a.Label);
  return labels;
}

TEST(XyzReader, NamingSchemes) {
  struct Case { std::string text; TXyzNaming naming; std::vector<std::string> labels; };
  const std::string molecule = "3\ncomment\nC 0 0 0\nH 1 0 0\nc 2 0 0\n";
  const Case cases[] = {
      {"1\n\nFe 0 0 0\n", xnOlex, {"Fe2"}},
      {"1\n\nFe 0 0 0\n", xnPosition, {"Fe1"}},
      {"1\n\nFe 0 0 0\n", xnElement, {"Fe1"}},
      {molecule, xnOlex, {"C2", "H3", "C4"}},
      {molecule, xnPosition, {"C1", "H2", "C3"}},
      {molecule, xnElement, {"C1", "H1", "C2"}},
      // Olex2 counts the lines it reads as atoms: not blank lines, but a
      // comment that looks like an atom.
      {"\n\n3\ncomment\nC 0 0 0\n\nH 1 0 0\nC 2 0 0\n", xnOlex, {"C2", "H3", "C4"}},
      {"2\nH 1 2 3\nC 0 0 0\nO 1 0 0\n", xnOlex, {"C3", "O4"}},
      // With labels in the file the scheme does not matter: line numbers, and
      // the only unlabelled atom of its element gets the bare symbol.
      {"5\n\nFe1 0 0 0\nC 1 0 0\nN1 2 0 0\nC 3 0 0\nO 4 0 0\n", xnElement,
       {"Fe1", "C3", "N1", "C5", "O"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Labels(Read(c.text, c.naming)), c.labels) << c.text;
  struct Description { bool labels; TXyzNaming naming; const char* text; };
  const Description descriptions[] = {
      {true, xnPosition, "as given in the file"},
      {false, xnOlex, "element + (k + 1) for the k-th atom line, as in Olex2 (first atom = 2)"},
      {false, xnPosition, "element + position in the atom list (first atom = 1)"},
      {false, xnElement, "element + number per element (C1, H1, H2, ...)"},
  };
  for (const Description& d : descriptions) EXPECT_EQ(XyzNamingDescription(d.labels, d.naming), d.text);
}

TEST(XyzReader, FieldsAndNumbers) {
  const TXyzFile data =
      Read("3 atoms\n  a comment  \nC,0.0,1.2,3.4\nN\t1.0D+00 2.5d-1 -1E1 extra\n92 0 0 0\n");
  EXPECT_EQ(data.Comment, "a comment");
  ASSERT_EQ(data.Atoms.size(), 3u);
  EXPECT_EQ(data.Atoms[0].Cart, (TVec3{0.0, 1.2, 3.4}));
  EXPECT_EQ(data.Atoms[1].Cart, (TVec3{1.0, 0.25, -10}));
  EXPECT_EQ(data.Atoms[2].Element, "U");
  EXPECT_FALSE(data.HasLabels);
  EXPECT_EQ(data.StructureCount, 1);
  // UTF-16 as PowerShell writes it.
  const std::string utf16("\xFF\xFE" "1\0\n\0\n\0H\0 \0" "1\0 \0" "2\0 \0" "3\0", 22);
  EXPECT_EQ(Read(utf16).Atoms.at(0).Cart, (TVec3{1, 2, 3}));
}

TEST(XyzReader, ElementOfTheFirstField) {
  struct Case { const char* field; const char* element; bool label; };
  const Case cases[] = {
      {"C", "C", false},  {"c", "C", false},  {"CL", "Cl", false}, {"6", "C", false},
      {"C1", "C", true},  {"Ca12", "Ca", true}, {"CO1", "Co", true}, {"H12A", "H", true},
      {"Xx1", "Xx", true}, {"Xx", "", false}, {"0", "", false},    {"97", "", false},
      {"D", "", false},   {"1C", "", true},   {"+8", "O", false},  {"99999999999999999999", "", true},
  };
  for (const Case& c : cases) {
    bool label = !c.label;
    EXPECT_EQ(XyzElement(c.field, label), c.element) << c.field;
    EXPECT_EQ(label, c.label) << c.field;
  }
}

TEST(XyzReader, Frames) {
  const std::string frame = "2\nframe\nO 0 0 0\nH 0.96 0 0\n";
  const TXyzFile data = Read(frame + frame + "\n" + frame);
  EXPECT_EQ(data.StructureCount, 3);
  EXPECT_EQ(data.Atoms.size(), 2u);
  EXPECT_EQ(data.Comment, "frame");
}

TEST(XyzReader, Failures) {
  struct Case { std::string text; std::string message; };
  const Case cases[] = {
      {"", "t.xyz is empty."},
      {" \n\t\n", "t.xyz is empty."},
      {"atoms 3\n", "t.xyz, line 1: the first line must contain the number of atoms."},
      {"0\n", "t.xyz, line 1: the first line must contain the number of atoms."},
      {"-2\n", "t.xyz, line 1: the first line must contain the number of atoms."},
      {"2.0\n", "t.xyz, line 1: the first line must contain the number of atoms."},
      {"99999999999999999999\n", "t.xyz, line 1: the first line must contain the number of atoms."},
      {"2\n\nC 0 0 0\n\nC 1 2\n", "t.xyz, line 5: expected \"element x y z\", found \"C 1 2\"."},
      {"1\n\nC 0 0 0x\n", "t.xyz, line 3: expected \"element x y z\", found \"C 0 0 0x\"."},
      {"1\n\nC 1.0D+00D 0 0\n", "t.xyz, line 3: expected \"element x y z\", found \"C 1.0D+00D 0 0\"."},
      {"1\n\n97 0 0 0\n", "t.xyz, line 3: unknown element \"97\"."},
      {"1\n\nD 0 0 0\n", "t.xyz, line 3: unknown element \"D\"."},
      {"3\n\nC 0 0 0\nC 1 0 0\n", "t.xyz: 3 atoms announced, only 2 found."},
      // An absurd count is compared with what is found, never allocated.
      {"1000000000000\n\nC 0 0 0\n", "t.xyz: 1000000000000 atoms announced, only 1 found."},
      {"1\n", "t.xyz: 1 atoms announced, only 0 found."},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf([&] { Read(c.text); }), c.message) << c.text;
  EXPECT_EQ(ErrorOf([] { ReadXyzFile("/nonexistent/a.xyz", xnOlex); }),
            "file not found: /nonexistent/a.xyz");
}

TEST(XyzReader, RealFiles) {
  TXyzFile data = ReadXyzFile(TestData("atoms-with-numbers.xyz"), xnPosition);
  EXPECT_TRUE(data.HasLabels);
  EXPECT_EQ(Labels(data), (std::vector<std::string>{"C123", "Ca12", "O", "O2"}));
  EXPECT_EQ(data.Atoms[1].Element, "Ca");
  // Three structures of different sizes: only repeats of the first count
  // count as further frames.
  data = ReadXyzFile(TestData("2200001--2200003-all-lattices.xyz"), xnOlex);
  EXPECT_EQ(data.Atoms.size(), 70u);
  EXPECT_EQ(data.StructureCount, 1);
  EXPECT_EQ(data.Comment.rfind("2200001 LATTICE:", 0), 0u);
  data = ReadXyzFile(TestData("Co110.xyz"), xnOlex);
  EXPECT_EQ(data.Comment, "Exported from Olex2");
  EXPECT_EQ(data.Atoms[0].Label, "Co2");
  EXPECT_EQ(data.Atoms[0].Cart, (TVec3{1.5996245300, 2.2956969161, 3.5444270442}));
}

}  // namespace
}  // namespace koravel
