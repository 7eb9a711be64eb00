// Real published CIFs (see tests/data/SOURCES.md) read end to end.
#include <gtest/gtest.h>

#include <string>

#include "io/cif_structure.h"
#include "test_support.h"

namespace koravel {
namespace {

using testing::TestData;

TEST(CifRealData, TriclinicBoronCompound) {
  const TCifDocument f = ReadCifFile(TestData("cod_4063260-wrong-formula-sum.cif"));
  ASSERT_EQ(f.Blocks().size(), 1u);
  const TCifBlock& b = f.Blocks()[0];
  EXPECT_EQ(b.Name, "4063260");
  const TStructure s = ReadCifStructure(f, b);
  EXPECT_DOUBLE_EQ(s.Cell.A, 9.9667);
  EXPECT_DOUBLE_EQ(s.Cell.SuA, 0.0007);
  EXPECT_DOUBLE_EQ(s.Cell.C, 16.8523);
  EXPECT_DOUBLE_EQ(s.Cell.SuC, 0.0011);
  EXPECT_DOUBLE_EQ(s.Cell.Alpha, 83.699);
  EXPECT_DOUBLE_EQ(s.Cell.SuAlpha, 0.002);
  EXPECT_DOUBLE_EQ(s.Cell.Gamma, 71.640);
  ASSERT_EQ(s.SymOps.size(), 2u);  // P-1
  EXPECT_EQ(s.SymOps[1].Number, 2);
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
  const std::vector<TPublishedAngle> angles = ReadPublishedAngles(f, b);
  ASSERT_FALSE(angles.empty());
  const TPublishedAngle& first = angles[0];  // C1 B1 C7 129.7(2) . .
  EXPECT_EQ(first.Label1 + " " + first.Label2 + " " + first.Label3, "C1 B1 C7");
  EXPECT_DOUBLE_EQ(first.Angle, 129.7);
  EXPECT_DOUBLE_EQ(first.Su, 0.2);
  EXPECT_EQ(first.Sym1 + " " + first.Sym2 + " " + first.Sym3, "1_555 1_555 1_555");
}

TEST(CifRealData, FiveBlocksOfAnAuthorCif) {
  const TCifDocument f = ReadCifFile(TestData("cod_Burford_2000_p152_crude.cif"));
  ASSERT_EQ(f.Blocks().size(), 5u);
  const char* const names[] = {"global", "cm165_2a", "chuck39_2b", "chuck26_3", "chuck31_4"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(f.Blocks()[i].Name, names[i]);
  EXPECT_EQ(StructureBlockNames(f), "cm165_2a, chuck39_2b, chuck26_3, chuck31_4");
  const TCifValue* address = TCifDocument::FindItem(f.Blocks()[0], "_publ_contact_author_address");
  ASSERT_NE(address, nullptr);
  EXPECT_NE(address->Text().find("Dalhousie University"), std::string::npos);
  EXPECT_EQ(ChooseDataBlock(f, "", {"as1"}).Name, "cm165_2a");
  EXPECT_EQ(ChooseDataBlock(f, "", {"Sb1"}).Name, "chuck26_3");
  const TCifBlock& b = f.Blocks()[1];
  const TStructure s = ReadCifStructure(f, b);
  EXPECT_DOUBLE_EQ(s.Cell.B, 9.6965);
  EXPECT_DOUBLE_EQ(s.Cell.SuB, 0.0001);
  EXPECT_EQ(s.SymOps.size(), 4u);
  EXPECT_EQ(s.Atoms[0].Label, "As1");
  EXPECT_EQ(s.Atoms[0].Element, "As");
  const std::vector<TPublishedAngle> angles = ReadPublishedAngles(f, b);
  ASSERT_FALSE(angles.empty());
  EXPECT_EQ(angles[0].Label2, "As1");
  EXPECT_DOUBLE_EQ(angles[0].Angle, 100.57);
  EXPECT_DOUBLE_EQ(angles[0].Su, 0.12);
}

TEST(CifRealData, BareOperatorNumberInAngleLoop) {
  const TCifDocument f = ReadCifFile(TestData("cod_2100345-with-author-addresses.cif"));
  ASSERT_EQ(f.Blocks().size(), 1u);
  const std::vector<TPublishedAngle> angles = ReadPublishedAngles(f, f.Blocks()[0]);
  ASSERT_EQ(angles.size(), 6u);
  // C1 Si1 C2 . 4 105.9(7): the bare operator number 4 means 4_555.
  EXPECT_EQ(angles[1].Label3, "C2");
  EXPECT_EQ(angles[1].Sym1 + " " + angles[1].Sym2 + " " + angles[1].Sym3, "1_555 1_555 4_555");
  EXPECT_DOUBLE_EQ(angles[1].Su, 0.7);
  EXPECT_EQ(angles[5].Sym1, "4_555");
}

}  // namespace
}  // namespace koravel
