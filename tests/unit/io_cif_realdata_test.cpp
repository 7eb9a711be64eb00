// Real published CIFs (see tests/data/SOURCES.md) read end to end.
#include <gtest/gtest.h>

#include <string>

#include "cif/cif_angles.h"
#include "cif/cif_file.h"
#include "cif/cif_structure.h"

namespace koravel {
namespace {

TCifFile Load(const std::string& name) {
  TCifFile f;
  std::string error;
  EXPECT_TRUE(f.LoadFromFile(std::string(KORAVEL_TEST_DATA) + "/" + name, error)) << error;
  return f;
}

TEST(CifRealData, TriclinicBoronCompound) {
  TCifFile f = Load("cod_4063260-wrong-formula-sum.cif");
  ASSERT_EQ(f.BlockCount(), 1);
  const TCifBlock& b = f.Block(0);
  EXPECT_EQ(b.Name, "4063260");
  TWorkingStructure s;
  ReadCell(b, s);
  ReadSymOps(b, s);
  ReadAtoms(b, s);
  ReadCifAngles(b, s.CifAngles);
  EXPECT_DOUBLE_EQ(s.Cell.A, 9.9667);
  EXPECT_DOUBLE_EQ(s.Cell.SuA, 0.0007);
  EXPECT_DOUBLE_EQ(s.Cell.C, 16.8523);
  EXPECT_DOUBLE_EQ(s.Cell.SuC, 0.0011);
  EXPECT_DOUBLE_EQ(s.Cell.Alpha, 83.699);
  EXPECT_DOUBLE_EQ(s.Cell.SuAlpha, 0.002);
  EXPECT_DOUBLE_EQ(s.Cell.Gamma, 71.640);
  ASSERT_EQ(s.SymOps.size(), 2u);  // P-1
  EXPECT_EQ(s.SymOps[1].Code, "2_555");
  EXPECT_EQ(s.SymOps[1].Rot[2][2], -1);
  ASSERT_EQ(s.Atoms.size(), 63u);
  const TAtom& b1 = s.Atoms[0];
  EXPECT_EQ(b1.Label, "B1");
  EXPECT_EQ(b1.Element, "B");
  EXPECT_DOUBLE_EQ(b1.Frac[0], 0.7770);
  EXPECT_DOUBLE_EQ(b1.Frac[2], 0.14817);
  EXPECT_DOUBLE_EQ(b1.FracSu[0], 0.0003);
  EXPECT_DOUBLE_EQ(b1.FracSu[2], 0.00016);
  EXPECT_DOUBLE_EQ(b1.Occ, 1.0);
  EXPECT_EQ(s.Atoms.back().Label, "C41");
  EXPECT_DOUBLE_EQ(s.Atoms.back().Occ, 0.5);
  ASSERT_FALSE(s.CifAngles.empty());
  const TCifAngle& first = s.CifAngles[0];  // C1 B1 C7 129.7(2) . .
  EXPECT_EQ(first.Label1 + " " + first.Label2 + " " + first.Label3, "C1 B1 C7");
  EXPECT_DOUBLE_EQ(first.Angle, 129.7);
  EXPECT_DOUBLE_EQ(first.Su, 0.2);
  EXPECT_EQ(first.Sym1 + " " + first.Sym2 + " " + first.Sym3, "1_555 1_555 1_555");
}

TEST(CifRealData, FiveBlocksOfAnAuthorCif) {
  TCifFile f = Load("cod_Burford_2000_p152_crude.cif");
  ASSERT_EQ(f.BlockCount(), 5);
  const char* const names[] = {"global", "cm165_2a", "chuck39_2b", "chuck26_3", "chuck31_4"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(f.Block(i).Name, names[i]);
  EXPECT_EQ(StructureBlockNames(f), "cm165_2a, chuck39_2b, chuck26_3, chuck31_4");
  EXPECT_NE(f.Block(0).GetItem("_publ_contact_author_address").find("Dalhousie University"),
            std::string_view::npos);
  EXPECT_TRUE(BlockHasAtom(f.Block(1), "as1"));
  EXPECT_FALSE(BlockHasAtom(f.Block(1), "Sb1"));
  EXPECT_TRUE(BlockHasAtom(f.Block(4), "Sb1"));
  TWorkingStructure s;
  const TCifBlock& b = f.Block(1);
  ReadCell(b, s);
  ReadSymOps(b, s);
  ReadAtoms(b, s);
  ReadCifAngles(b, s.CifAngles);
  EXPECT_DOUBLE_EQ(s.Cell.B, 9.6965);
  EXPECT_DOUBLE_EQ(s.Cell.SuB, 0.0001);
  EXPECT_EQ(s.SymOps.size(), 4u);
  EXPECT_EQ(s.Atoms[0].Label, "As1");
  EXPECT_EQ(s.Atoms[0].Element, "As");
  ASSERT_FALSE(s.CifAngles.empty());
  EXPECT_EQ(s.CifAngles[0].Label2, "As1");
  EXPECT_DOUBLE_EQ(s.CifAngles[0].Angle, 100.57);
  EXPECT_DOUBLE_EQ(s.CifAngles[0].Su, 0.12);
}

TEST(CifRealData, BareOperatorNumberInAngleLoop) {
  TCifFile f = Load("cod_2100345-with-author-addresses.cif");
  ASSERT_EQ(f.BlockCount(), 1);
  std::vector<TCifAngle> angles;
  ReadCifAngles(f.Block(0), angles);
  ASSERT_EQ(angles.size(), 6u);
  // C1 Si1 C2 . 4 105.9(7): the bare operator number 4 means 4_555.
  EXPECT_EQ(angles[1].Label3, "C2");
  EXPECT_EQ(angles[1].Sym1, "1_555");
  EXPECT_EQ(angles[1].Sym2, "1_555");
  EXPECT_EQ(angles[1].Sym3, "4_555");
  EXPECT_DOUBLE_EQ(angles[1].Su, 0.7);
  EXPECT_EQ(angles[5].Sym1, "4_555");
}

}  // namespace
}  // namespace koravel
