#include "io/cif_structure.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace koravel {
namespace {

using testing::ErrorOf;

const char* const kCell =
    "_cell_length_a 10.123(4)\n_cell_length_b 11\n_cell_length_c 12.5(12)\n"
    "_cell_angle_beta 101.5(3)\n_cell_angle_gamma ?\n";
const char* const kAtom =
    "loop_ _atom_site_label _atom_site_fract_x _atom_site_fract_y _atom_site_fract_z\nC1 0 0 0\n";

TStructure Read(const std::string& text) {
  const TCifDocument doc("data_x\n" + text);
  return ReadCifStructure(doc, doc.Blocks().at(0));
}

// Without an operator loop the symbols give the operators: the Hall symbol
// first, the Hermann-Mauguin symbol when there is no readable Hall symbol.
TEST(CifStructure, SymmetryFromTheSpaceGroupSymbol) {
  const struct {
    const char* items;
    TSymmetryOrigin origin;
    size_t operators;
    const char* error;
  } cases[] = {
      {"_space_group_name_Hall '-C 2yc'\n", TSymmetryOrigin::HallSymbol, 8, ""},
      {"_space_group.name_H-M_alt 'P 1 21/n 1'\n", TSymmetryOrigin::HermannMauguinSymbol, 4, ""},
      {"_space_group_name_Hall ?\n_symmetry_space_group_name_H-M 'F m -3 m'\n",
       TSymmetryOrigin::HermannMauguinSymbol, 192, ""},
      {"_symmetry_space_group_name_Hall 'Q 2'\n_symmetry_space_group_name_H-M 'P -1'\n",
       TSymmetryOrigin::HermannMauguinSymbol, 2, ""},
      {"", TSymmetryOrigin::Absent, 1, ""},
      {"_space_group_name_Hall '-C 2yc'\n_space_group_name_H-M_alt 'P -1'\n",
       TSymmetryOrigin::HallSymbol, 8, ""},
      {"_symmetry_space_group_name_Hall 'Q 2'\n", TSymmetryOrigin::Absent, 0,
       "Hall symbol \"Q 2\" cannot be read: \"Q\" is no lattice symbol."},
      {"_symmetry_space_group_name_Hall 'P 2 (0 0)'\n_symmetry_space_group_name_H-M 'P 5'\n",
       TSymmetryOrigin::Absent, 0,
       "Hall symbol \"P 2 (0 0)\" cannot be read: the origin shift (0 0) is not three whole "
       "numbers of twelfths."},
      {"_symmetry_space_group_name_H-M 'P 5'\n", TSymmetryOrigin::Absent, 0,
       "the block has no symmetry operators, and its Hermann-Mauguin symbol \"P 5\"\n"
       "is none of the settings of International Tables A. Give the operators\n"
       "(_space_group_symop_operation_xyz) or a Hall symbol (_space_group_name_Hall)."},
  };
  for (const auto& c : cases) {
    const std::string text = std::string(kCell) + c.items + kAtom;
    if (*c.error != 0) {
      EXPECT_EQ(ErrorOf([&] { Read(text); }), c.error) << c.items;
      continue;
    }
    const TStructure s = Read(text);
    EXPECT_EQ(s.SymmetryOrigin, c.origin) << c.items;
    EXPECT_EQ(s.SymOps.size(), c.operators) << c.items;
  }
}

TEST(CifStructure, ChoosesTheBlock) {
  const TCifDocument f(
      "data_text\n_title x\n"
      "data_nullcell\n_cell_length_a ?\nloop_ _atom_site_label _atom_site_fract_x Fe1 0\n"
      "data_loopcell\nloop_ _cell_length_a 5\nloop_ _atom_site_label Fe1\n"
      "data_S1\n_cell_length_a 5\nloop_ _atom_site_label _x C1 1 Fe1 2\n"
      "data_S2\n_cell_length_a 6\nloop_ _atom_site_label _x N1 Fe9 Mg\" 1\n");
  const bool expected[] = {false, false, false, true, true};
  for (std::size_t i = 0; i < f.Blocks().size(); ++i)
    EXPECT_EQ(HasStructure(f.Blocks()[i]), expected[i]) << f.Blocks()[i].Name;
  EXPECT_EQ(StructureBlockNames(f), "S1, S2");
  const struct { const char* block; std::vector<std::string> names; const char* chosen; } cases[] = {
      {"", {"xx", "fe1"}, "S1"},
      {"", {"N1"}, "S2"},
      {"", {"Mg''"}, "S2"},  // the two-apostrophe form of Mg"
      {"", {"Fe9"}, "S1"},   // only the label column counts
      {"", {}, "S1"},
      {"s2", {"Fe1"}, "S2"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChooseDataBlock(f, c.block, c.names).Name, c.chosen) << c.block << c.names.size();
  EXPECT_EQ(ErrorOf([&] { ChooseDataBlock(f, "text", {}); }),
            "data block \"text\" contains no cell parameters and atom sites. Blocks with a "
            "structure: S1, S2");
  EXPECT_EQ(ErrorOf([&] { ChooseDataBlock(f, "none", {}); }),
            "data block \"none\" not found. Available: S1, S2");
  EXPECT_EQ(ErrorOf([] { ChooseDataBlock(TCifDocument("# nothing\n"), "", {}); }),
            "no data block found in CIF.");
  EXPECT_EQ(ErrorOf([] { ChooseDataBlock(TCifDocument("data_a\n_x 1\n"), "", {}); }),
            "no data block with cell parameters and atom sites found in CIF.");
}

TEST(CifStructure, ReadsCellWithSuAndDefaults) {
  const TCell cell = Read(std::string(kCell) + kAtom).Cell;
  EXPECT_DOUBLE_EQ(cell.A, 10.123);
  EXPECT_DOUBLE_EQ(cell.SuA, 0.004);
  EXPECT_DOUBLE_EQ(cell.B, 11);
  EXPECT_DOUBLE_EQ(cell.SuB, 0);
  EXPECT_DOUBLE_EQ(cell.SuC, 1.2);
  EXPECT_DOUBLE_EQ(cell.Alpha, 90);
  EXPECT_DOUBLE_EQ(cell.Beta, 101.5);
  EXPECT_DOUBLE_EQ(cell.SuBeta, 0.3);
  EXPECT_DOUBLE_EQ(cell.Gamma, 90);
}

TEST(CifStructure, UnusableCellsEndTheRun) {
  const char* const bad[] = {
      "_cell_length_a ?\n_cell_length_b 10\n_cell_length_c 10\n",
      "_cell_length_b 10\n_cell_length_c 10\nloop_ _cell_length_a 10\n",  // only in a loop
      "_cell_length_a 10\n_cell_length_b 10\n_cell_length_c 1e400\n",
      "_cell_length_a 10\n_cell_length_b 10\n_cell_length_c 10\n_cell_angle_alpha 180\n",
  };
  for (const char* text : bad)
    EXPECT_EQ(ErrorOf([&] { Read(std::string(text) + kAtom); }),
              "cell parameters are missing or unusable in CIF.")
        << text;
}

TEST(CifStructure, SymmetryOperatorLoops) {
  struct Case { const char* text; std::vector<int> numbers; int secondTransX; };
  const Case cases[] = {
      // The current tag wins over the older one, even in a later loop.
      {"loop_ _symmetry_equiv_pos_as_xyz x,y,z -x,-y,-z x,y,-z\n"
       "loop_ _space_group_symop_id _space_group_symop_operation_xyz 1 x,y,z 2 '1/2+x,y,z'\n",
       {1, 2}, 12},
      // A null row is skipped; the others keep the number of their row.
      {"loop_ _symmetry_equiv_pos_as_xyz 'x,y,z' ? 'x+1/2,y,z'\n", {1, 3}, 12},
      {"loop_ _space_group_symop.operation_xyz 'x,y,z' '-x+1/2,-y,z'\n", {1, 2}, 12},
      // Ids that are positive integers number the operators.
      {"loop_ _space_group_symop_id _space_group_symop_operation_xyz 3 x,y,z 7 -x+1/4,y,z\n",
       {3, 7}, 6},
      {"loop_ _space_group_symop_id _space_group_symop_operation_xyz 0 x,y,z a -x+1/4,y,z\n",
       {1, 2}, 6},
      // Without the identity, it is added after the largest number.
      {"loop_ _symmetry_equiv_pos_as_xyz '-x+1/2,y,z'\n", {1, 2}, 0},
      {"_symmetry_equiv_pos_as_xyz x,y,z\n", {1}, 0},  // not a loop: identity only
      {"loop_ _symmetry_equiv_pos_as_xyz ? .\n", {1}, 0},
  };
  for (const Case& c : cases) {
    const TStructure s = Read(std::string(kCell) + kAtom + c.text);
    ASSERT_EQ(s.SymOps.size(), c.numbers.size()) << c.text;
    for (std::size_t k = 0; k < s.SymOps.size(); ++k) EXPECT_EQ(s.SymOps[k].Number, c.numbers[k]) << c.text;
    if (s.SymOps.size() > 1) {
      EXPECT_EQ(s.SymOps[1].Trans[0], c.secondTransX) << c.text;
    }
  }
  EXPECT_EQ(ErrorOf([] { Read(std::string(kCell) + kAtom +
                              "loop_ _symmetry_equiv_pos_as_xyz x,y,z 'x+1..2,y,z'\n"); }),
            "symmetry operator \"x+1..2,y,z\" (row 2 of the operator loop) cannot be read: "
            "\"1..2\" is no number.");
}

TEST(CifStructure, ReadsAtomSites) {
  const TStructure s = Read(std::string(kCell) +
                            "loop_\n_atom_site_label _atom_site_type_symbol _atom_site_fract_x "
                            "_atom_site_fract_y _atom_site_fract_z _atom_site_occupancy\n"
                            "Fe1 Fe2+ 0.1234(5) 0.5 -0.25(12) 1\n"
                            "X1 C ? 0.1 0.1 1\n"
                            "Cl1 Cl1- 0.2 0.3 0.4 0.5(2)\n"
                            "O1 ? 0.3 0.3 0.3 .\n"
                            "'N 1' 7N 0.4 0.4 0.4 ?\n");
  ASSERT_EQ(s.Atoms.size(), 4u);  // the row with x "?" is left out
  const TAtom& fe = s.Atoms[0];
  EXPECT_EQ(fe.Label, "Fe1");
  EXPECT_EQ(fe.Element, "Fe");
  EXPECT_EQ(fe.Frac, (TVec3{0.1234, 0.5, -0.25}));
  EXPECT_DOUBLE_EQ(fe.FracSu[0], 0.0005);
  EXPECT_DOUBLE_EQ(fe.FracSu[1], 0);
  EXPECT_DOUBLE_EQ(fe.FracSu[2], 0.12);
  EXPECT_EQ(s.Atoms[1].Label, "Cl1");
  EXPECT_EQ(s.Atoms[1].Element, "Cl");
  EXPECT_DOUBLE_EQ(s.Atoms[1].Occ, 0.5);
  EXPECT_EQ(s.Atoms[2].Element, "O");   // null type: from the label
  EXPECT_DOUBLE_EQ(s.Atoms[2].Occ, 1.0);
  EXPECT_EQ(s.Atoms[3].Label, "N 1");   // stored as read
  EXPECT_EQ(s.Atoms[3].Element, "N");   // type starting with a digit: from the label
  // Without a type column the element comes from the label.
  const TStructure untyped = Read(std::string(kCell) +
                                  "loop_ _atom_site_label _atom_site_fract_x _atom_site_fract_y "
                                  "_atom_site_fract_z FE1 0 0 0 C12A 1 1 1\n");
  ASSERT_EQ(untyped.Atoms.size(), 2u);
  EXPECT_EQ(untyped.Atoms[0].Element, "FE");
  EXPECT_EQ(untyped.Atoms[1].Element, "C");
}

TEST(CifStructure, AtomSiteFailures) {
  struct Case { const char* text; const char* message; };
  const Case cases[] = {
      {"loop_ _atom_site_aniso_label _atom_site_fract_x A 1\n", "no _atom_site loop found in CIF."},
      {"loop_ _atom_site_label _atom_site_fract_x _atom_site_fract_y A 1 2\n",
       "fractional coordinates are missing in the _atom_site loop of CIF."},
      {"loop_ _atom_site_label _atom_site_fract_x _atom_site_fract_y _atom_site_fract_z\n"
       "A ? 0 0 B 1 x 0 C 1 2 ?\n",
       "no atoms with coordinates found in CIF."},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf([&] { Read(std::string(kCell) + c.text); }), c.message);
}

std::vector<TPublishedAngle> Angles(const std::string& loop) {
  const TCifDocument doc("data_x\n" + loop);
  return ReadPublishedAngles(doc, doc.Blocks().at(0));
}

TEST(CifStructure, PublishedAnglesWithFullSymmetryCodes) {
  const auto a = Angles(
      "loop_ _geom_angle_atom_site_label_1 _geom_angle_atom_site_label_2\n"
      "_geom_angle_atom_site_label_3 _geom_angle _geom_angle_site_symmetry_1\n"
      "_geom_angle_site_symmetry_2 _geom_angle_site_symmetry_3\n"
      "C1 Fe1 N2 120.5(3) . ? 2_655\n"
      "C1 Fe1 N2 ? . . .\n"
      "n3 fe1 O1 90 ' 4 ' 1_555 3\n");
  ASSERT_EQ(a.size(), 2u);  // the row with "?" as angle is left out
  EXPECT_EQ(a[0].Label1 + " " + a[0].Label2 + " " + a[0].Label3, "C1 Fe1 N2");
  EXPECT_DOUBLE_EQ(a[0].Angle, 120.5);
  EXPECT_DOUBLE_EQ(a[0].Su, 0.3);
  EXPECT_EQ(a[0].Sym1 + " " + a[0].Sym2 + " " + a[0].Sym3, "1_555 1_555 2_655");
  EXPECT_EQ(a[1].Label1, "n3");
  EXPECT_EQ(a[1].Su, 0);
  EXPECT_EQ(a[1].Sym1 + " " + a[1].Sym2 + " " + a[1].Sym3, "4_555 1_555 3_555");
}

TEST(CifStructure, PublishedAnglesWithMissingColumns) {
  const std::string labels =
      "_geom_angle_atom_site_label_1 _geom_angle_atom_site_label_2 _geom_angle_atom_site_label_3";
  // Without symmetry columns every site is 1_555; DDLm names the value _geom_angle.value.
  for (const char* value : {"_geom_angle", "_geom_angle.value"}) {
    const auto a = Angles("loop_ " + labels + " " + value + " A B C 109.5(2)\n");
    ASSERT_EQ(a.size(), 1u) << value;
    EXPECT_EQ(a[0].Sym1 + a[0].Sym2 + a[0].Sym3, "1_5551_5551_555");
  }
  // Without the value or a label column, or without the loop, the list is empty.
  EXPECT_TRUE(Angles("loop_ " + labels + " _geom_angle_publ_flag A B C ?\n").empty());
  EXPECT_TRUE(Angles("loop_ _geom_angle_atom_site_label_1 _geom_angle_atom_site_label_3 "
                     "_geom_angle A C 100\n")
                  .empty());
  EXPECT_TRUE(Angles("_geom_angle 100\n").empty());
}

// The oxidation state: the _atom_type loop's number for the atom's type
// symbol, else the charge the symbol carries, else none.
TEST(CifStructure, OxidationStatesFromTypeSymbolsAndTheTypeLoop) {
  const TStructure s = Read(std::string(kCell) +
                            "loop_ _atom_type_symbol _atom_type_oxidation_number\nFe 3\nMn3+ 2\nCo 2.5\n"
                            "loop_ _atom_site_label _atom_site_type_symbol _atom_site_fract_x "
                            "_atom_site_fract_y _atom_site_fract_z\n"
                            "A Fe 0 0 0\nB Fe2+ 0 0 0\nC O2- 0 0 0\nD Na+ 0 0 0\nE Ti+4 0 0 0\n"
                            "F Mn3+ 0 0 0\nG Co 0 0 0\nH Cu3 0 0 0\nI Cl-1 0 0 0\n");
  const std::optional<int> want[] = {3, 2, -2, 1, 4, 2, std::nullopt, std::nullopt, -1};
  ASSERT_EQ(s.Atoms.size(), std::size(want));
  for (size_t i = 0; i < s.Atoms.size(); ++i) EXPECT_EQ(s.Atoms[i].OxidationState, want[i]) << s.Atoms[i].Label;
}

}  // namespace
}  // namespace koravel
