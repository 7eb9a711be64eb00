#include "cif/cif_angles.h"

#include <gtest/gtest.h>

#include <string>

namespace koravel {
namespace {

std::vector<TCifAngle> Angles(const std::string& loop) {
  TCifFile f;
  f.LoadFromText("data_x\n" + loop);
  std::vector<TCifAngle> angles(3);  // a previous list is replaced
  ReadCifAngles(f.Block(0), angles);
  return angles;
}

TEST(CifAngles, ReadsRowsAndNormalisesSymmetryCodes) {
  auto a = Angles(
      "loop_ _geom_angle_atom_site_label_1 _geom_angle_atom_site_label_2\n"
      "_geom_angle_atom_site_label_3 _geom_angle _geom_angle_site_symmetry_1\n"
      "_geom_angle_site_symmetry_2 _geom_angle_site_symmetry_3\n"
      "C1 Fe1 N2 120.5(3) . ? 2_655\n"
      "C1 Fe1 N2 ? . . .\n"
      "n3 fe1 O1 90 ' 4 ' 1_555 3\n");
  ASSERT_EQ(a.size(), 2u);  // the row with "?" as angle is left out
  EXPECT_EQ(a[0].Label1, "C1");
  EXPECT_EQ(a[0].Label2, "Fe1");
  EXPECT_EQ(a[0].Label3, "N2");
  EXPECT_DOUBLE_EQ(a[0].Angle, 120.5);
  EXPECT_DOUBLE_EQ(a[0].Su, 0.3);
  EXPECT_TRUE(a[0].SuGiven);
  EXPECT_EQ(a[0].Sym1, "1_555");
  EXPECT_EQ(a[0].Sym2, "1_555");
  EXPECT_EQ(a[0].Sym3, "2_655");
  EXPECT_EQ(a[1].Label1, "n3");
  EXPECT_FALSE(a[1].SuGiven);
  EXPECT_EQ(a[1].Sym1, "4_555");
  EXPECT_EQ(a[1].Sym3, "3_555");
}

TEST(CifAngles, MissingColumns) {
  const std::string labels =
      "_geom_angle_atom_site_label_1 _geom_angle_atom_site_label_2 _geom_angle_atom_site_label_3";
  // Without symmetry columns every site is 1_555.
  auto a = Angles("loop_ " + labels + " _geom_angle A B C 109.5(2)\n");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].Sym1 + a[0].Sym2 + a[0].Sym3, "1_5551_5551_555");
  // Without the value or a label column, or without the loop, the list is empty.
  EXPECT_TRUE(Angles("loop_ " + labels + " _geom_angle_publ_flag A B C ?\n").empty());
  EXPECT_TRUE(Angles("loop_ _geom_angle_atom_site_label_1 _geom_angle_atom_site_label_3 "
                     "_geom_angle A C 100\n")
                  .empty());
  EXPECT_TRUE(Angles("_geom_angle 100\n").empty());
}

}  // namespace
}  // namespace koravel
