#include "cif/cif_structure.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "geom/fatal.h"

namespace koravel {
namespace {

const char* const kCell =
    "_cell_length_a 10.123(4)\n_cell_length_b 11\n_cell_length_c 12.5(12)\n"
    "_cell_angle_beta 101.5(3)\n";

TCifFile Parse(const std::string& text) {
  TCifFile f;
  f.LoadFromText(text);
  return f;
}

// The message of the fatal error the call raises; empty when it raises none.
std::string FatalMessage(const std::function<void()>& call) {
  try {
    call();
  } catch (const TFatalError& e) {
    return e.what();
  }
  return "";
}

TEST(CifStructure, BlockChoiceTests) {
  TCifFile f = Parse(
      "data_text\n_title x\n"
      "data_nullcell\n_cell_length_a ?\nloop_ _atom_site_label _atom_site_fract_x Fe1 0\n"
      "data_loopcell\nloop_ _cell_length_a 5\nloop_ _atom_site_label Fe1\n"
      "data_S1\n_cell_length_a 5\nloop_ _atom_site_label _x C1 1 Fe1 2\n"
      "data_S2\n_cell_length_a 6\nloop_ _atom_site_label N1\n");
  const bool expected[] = {false, false, false, true, true};
  for (int i = 0; i < f.BlockCount(); ++i)
    EXPECT_EQ(HasStructure(f.Block(i)), expected[i]) << f.Block(i).Name;
  EXPECT_EQ(StructureBlockNames(f), "S1, S2");
  EXPECT_TRUE(BlockHasAtom(*f.FindBlock("s1"), "fe1"));
  EXPECT_FALSE(BlockHasAtom(*f.FindBlock("s1"), "1"));  // only the label column counts
  EXPECT_FALSE(BlockHasAtom(*f.FindBlock("text"), "Fe1"));
  EXPECT_EQ(StructureBlockNames(Parse("data_a\n")), "");
}

TEST(CifStructure, ReadsCellWithSuAndDefaults) {
  TWorkingStructure s;
  ReadCell(Parse(std::string("data_x\n") + kCell + "_cell_angle_gamma ?\n").Block(0), s);
  EXPECT_DOUBLE_EQ(s.Cell.A, 10.123);
  EXPECT_DOUBLE_EQ(s.Cell.SuA, 0.004);
  EXPECT_DOUBLE_EQ(s.Cell.B, 11);
  EXPECT_DOUBLE_EQ(s.Cell.SuB, 0);
  EXPECT_DOUBLE_EQ(s.Cell.SuC, 1.2);
  EXPECT_DOUBLE_EQ(s.Cell.Alpha, 90);
  EXPECT_DOUBLE_EQ(s.Cell.Beta, 101.5);
  EXPECT_DOUBLE_EQ(s.Cell.SuBeta, 0.3);
  EXPECT_DOUBLE_EQ(s.Cell.Gamma, 90);
}

TEST(CifStructure, UnusableCellsEndTheRun) {
  const std::string lengths = "_cell_length_a 10\n_cell_length_b 10\n_cell_length_c 10\n";
  const char* const bad[] = {
      "_cell_length_a ?\n_cell_length_b 10\n_cell_length_c 10\n",
      "_cell_length_a 10\n_cell_length_b 0\n_cell_length_c 10\n",
      "_cell_length_a 10\n_cell_length_b -3\n_cell_length_c 10\n",
      "_cell_length_b 10\n_cell_length_c 10\nloop_ _cell_length_a 10\n",  // only in a loop
      "_cell_length_a 10\n_cell_length_b 10\n_cell_length_c 1e400\n",
  };
  for (const char* text : bad) {
    TWorkingStructure s;
    EXPECT_EQ(FatalMessage([&] { ReadCell(Parse(std::string("data_x\n") + text).Block(0), s); }),
              "cell parameters are missing or unusable.")
        << text;
  }
  // Angles that cannot form a cell would flatten every atom onto a plane.
  const char* const badAngles[] = {
      "_cell_angle_alpha 0\n",   "_cell_angle_alpha 180\n", "_cell_angle_beta -90\n",
      "_cell_angle_gamma 200\n",
      "_cell_angle_alpha 120\n_cell_angle_beta 120\n_cell_angle_gamma 120\n",  // G = 0
      "_cell_angle_alpha 100\n_cell_angle_beta 30\n_cell_angle_gamma 30\n",    // G < 0
  };
  for (const char* text : badAngles) {
    TWorkingStructure s;
    EXPECT_EQ(FatalMessage([&] { ReadCell(Parse("data_x\n" + lengths + text).Block(0), s); }),
              "cell parameters are missing or unusable.")
        << text;
  }
  TWorkingStructure s;
  EXPECT_EQ(FatalMessage([&] {
              ReadCell(Parse("data_x\n" + lengths +
                             "_cell_angle_alpha 119\n_cell_angle_beta 119\n_cell_angle_gamma 119\n")
                           .Block(0),
                       s);
            }),
            "");
}

TEST(CifStructure, SymmetryOperatorLoops) {
  struct Case { const char* text; std::size_t count; const char* secondCode; double secondTransX; };
  const Case cases[] = {
      // The current tag wins over the older one, even in a later loop.
      {"loop_ _symmetry_equiv_pos_as_xyz x,y,z -x,-y,-z x,y,-z\n"
       "loop_ _space_group_symop_id _space_group_symop_operation_xyz 1 x,y,z 2 '1/2+x,y,z'\n",
       2, "2_555", 0.5},
      // A null row and an unparsable row are skipped; numbering follows the accepted rows.
      {"loop_ _symmetry_equiv_pos_as_xyz 'x,y,z' ? 'x+1/2,y,z' 'x+1..2,y,z'\n", 2, "2_555", 0.5},
      {"loop_ _space_group_symop.operation_xyz 'x,y,z' '-x+1/2,-y,z'\n", 2, "2_555", 0.5},
      {"_symmetry_equiv_pos_as_xyz x,y,z\n", 1, nullptr, 0},  // not a loop: identity only
      {"loop_ _symmetry_equiv_pos_as_xyz ? .\n", 1, nullptr, 0},
  };
  for (const Case& c : cases) {
    TWorkingStructure s;
    s.SymOps.resize(7);  // a previous structure is replaced
    ReadSymOps(Parse(std::string("data_x\n") + c.text).Block(0), s);
    ASSERT_EQ(s.SymOps.size(), c.count) << c.text;
    EXPECT_EQ(s.SymOps[0].Code, "1_555");
    EXPECT_EQ(s.SymOps[0].Num, 1);
    if (c.secondCode == nullptr) {
      EXPECT_EQ(s.SymOps[0].Rot, IdentitySymOp().Rot);
      continue;
    }
    EXPECT_EQ(s.SymOps[1].Code, c.secondCode) << c.text;
    EXPECT_EQ(s.SymOps[1].Num, 2);
    EXPECT_DOUBLE_EQ(s.SymOps[1].Trans[0], c.secondTransX) << c.text;
  }
}

TEST(CifStructure, ReadsAtomSites) {
  TWorkingStructure s;
  ReadAtoms(Parse("data_x\nloop_\n_atom_site_label _atom_site_type_symbol _atom_site_fract_x "
                  "_atom_site_fract_y _atom_site_fract_z _atom_site_occupancy\n"
                  "Fe1 Fe2+ 0.1234(5) 0.5 -0.25(12) 1\n"
                  "X1 C ? 0.1 0.1 1\n"
                  "Cl1 Cl1- 0.2 0.3 0.4 0.5(2)\n"
                  "O1 ? 0.3 0.3 0.3 .\n"
                  "'N 1' 7N 0.4 0.4 0.4 ?\n")
                .Block(0),
            s);
  ASSERT_EQ(s.Atoms.size(), 4u);  // the row with x "?" is dropped
  const TAtom& fe = s.Atoms[0];
  EXPECT_EQ(fe.Label, "Fe1");
  EXPECT_EQ(fe.Element, "Fe");
  EXPECT_DOUBLE_EQ(fe.Frac[0], 0.1234);
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
  ASSERT_EQ(s.AtomFrac.size(), 4u);
  EXPECT_EQ(s.AtomFrac[1], s.Atoms[1].Frac);
  EXPECT_EQ(s.AtomSu[0], fe.FracSu);
}

TEST(CifStructure, AtomSitesWithoutTypeColumn) {
  TWorkingStructure s;
  ReadAtoms(Parse("data_x\nloop_ _atom_site_label _atom_site_fract_x _atom_site_fract_y "
                  "_atom_site_fract_z FE1 0 0 0 C12A 1 1 1\n")
                .Block(0),
            s);
  ASSERT_EQ(s.Atoms.size(), 2u);
  EXPECT_EQ(s.Atoms[0].Element, "FE");
  EXPECT_EQ(s.Atoms[1].Element, "C");
  EXPECT_DOUBLE_EQ(s.Atoms[1].Occ, 1.0);
}

TEST(CifStructure, AtomSiteFailures) {
  struct Case { const char* text; const char* message; };
  const Case cases[] = {
      {"loop_ _atom_site_aniso_label _atom_site_fract_x A 1\n", "no _atom_site loop found in the CIF."},
      {"loop_ _atom_site_label _atom_site_fract_x _atom_site_fract_y A 1 2\n",
       "fractional coordinates are missing in the _atom_site loop."},
      {"loop_ _atom_site_label _atom_site_fract_x _atom_site_fract_y _atom_site_fract_z\n"
       "A ? 0 0 B 1 x 0 C 1 2\n",
       "no atoms with coordinates found."},
  };
  for (const Case& c : cases) {
    TWorkingStructure s;
    EXPECT_EQ(FatalMessage([&] { ReadAtoms(Parse(std::string("data_x\n") + c.text).Block(0), s); }),
              c.message);
  }
}

}  // namespace
}  // namespace koravel
