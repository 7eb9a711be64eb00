#include "ligands/chemical_sphere.h"

#include <gtest/gtest.h>

#include "app/survey.h"
#include "ligands/centre.h"
#include "ligands/ligands.h"
#include "report/report.h"
#include "test_support.h"

namespace koravel {
namespace {

using testing::MakeAtom;
using testing::MakeCell;
using testing::MakeStructure;
using testing::TestData;

// The coordination numbers mineralogists and chemists agree on, for real
// structures whose radius criterion takes in more: cations across bridging
// anions, the rest of ligands behind their donors, the hydrogens of water,
// rings bonded side-on. Sources of the files: tests/data/SOURCES.md.
TEST(ChemicalSphere, CoordinationNumbersOfMineralsAndComplexes) {
  const struct {
    const char* file;
    const char* centre;
    int cn;
    const char* leftOut;  // what the note begins with
  } cases[] = {
      {"cod_9006040.cif", "Ni@2", 6, "Al#6_464, Al#8_565"},  // spinel, octahedral
      {"avo_spinel.cif", "Mg@1", 4, ""},                     // spinel, tetrahedral
      {"avo_spinel.cif", "Mg@2", 6, "Al#6_464"},
      {"hand_pyrope.cif", "Mg1", 8, "Si1, Si1#8_545 behind"},  // garnet
      {"hand_pyrope.cif", "Al1", 6, ""},
      {"hand_forsterite.cif", "M1", 6, "Si, Si#2_554 behind"},  // olivine
      {"hand_forsterite.cif", "M2", 6, "Si#1_655 behind"},
      {"avo_perovskite.cif", "Ti", 6, "Ca#1_455"},  // perovskite B sites
      {"avo_tausonite.cif", "Ti", 6, "SrA#1_444"},
      {"avo_pzt.cif", "Zr1", 6, "Pb1#13_444"},
      {"avo_lepidolite.cif", "AlM1", 6, ""},  // mica octahedral sites
      {"avo_lepidolite.cif", "LiM1", 6, "LiM2 bridged by O3, O3#5_556"},
      {"avo_illite.cif", "Al2", 6, ""},
      {"avo_gypsum.cif", "CA1", 8, "S2#1_554, S2#1_655 behind"},
      {"cod_2000000.cif", "Nd1", 9, "C1, C3 behind O3, O4, O2, O1; H1 bonded to O9; Nd1#2_576 bridged by"},
      {"sf_668839.cif", "Fe(1)", 2, ""},  // ferrocene: two centroids
      {"sf_4060316.cif", "Os1", 4, ""},   // an arene piano stool
      {"cod_2010787.cif", "Hg1", 2, ""},  // Hg-Si bonds stay
      {"cod_2231779.cif", "N2", 3, ""},   // an amine N with its H
      {"hand_dummy.cif", "Cu1", 4, ""},   // never the dummy
  };
  for (const auto& c : cases) {
    TRunOptions options;
    options.Centres = std::string(c.centre).starts_with("N2") ? "N" : "metals";
    const TFileSurvey survey = SurveyFile(TestData(c.file), options);
    const auto record = std::find_if(survey.Records.begin(), survey.Records.end(),
                                     [&](const TSurveyRecord& r) { return r.Centre == c.centre; });
    ASSERT_NE(record, survey.Records.end()) << c.file << " " << c.centre;
    EXPECT_EQ(record->CoordinationNumber, c.cn) << c.file << " " << c.centre << ": " << record->Message;
    EXPECT_EQ(record->LeftOut.substr(0, std::string(c.leftOut).size()), c.leftOut) << c.file << " " << c.centre;
  }
}

// Around an iridium: a hydride (nothing nearer to it) stays, two hydrogens
// 0.85 A apart bonded side-on are one dihydrogen ligand, the hydrogen of a
// water 2.1 A from the metal belongs to its oxygen.
TEST(ChemicalSphere, HydrogensByWhatTheyAreBondedTo) {
  const double a = 20;
  const TStructure s = MakeStructure(
      MakeCell(a, a, a), {"x,y,z"},
      {MakeAtom("Ir1", "Ir", {0.5, 0.5, 0.5}), MakeAtom("H1", "H", {0.5, 0.5, 0.5 + 1.60 / a}),
       MakeAtom("H2", "H", {0.5 - 0.425 / a, 0.5 - 1.70 / a, 0.5}),
       MakeAtom("H3", "H", {0.5 + 0.425 / a, 0.5 - 1.70 / a, 0.5}),
       MakeAtom("O1", "O", {0.5 + 2.20 / a, 0.5, 0.5}), MakeAtom("H4", "H", {0.5 + 1.90 / a, 0.5 + 0.91 / a, 0.5}),
       MakeAtom("H5", "H", {0.5 + 2.45 / a, 0.5 - 0.93 / a, 0.5})});
  TModel model;
  model.Structure = s;
  const TCentre centre = CentreOf(s, FindAtomWithoutSuffix(s, "Ir1"));
  const TLigandRequest request;
  const TLigandSet set = ChooseLigands(model, centre, request, SearchNeighbours(s, centre, request));
  std::vector<std::string> names;
  for (const TLigand& l : set.List) names.push_back(l.Label);
  EXPECT_EQ(names, (std::vector<std::string>{"H1", "[H2 H3]", "O1"}));
  EXPECT_EQ(LeftOutText(s, set.LeftOut), "H4 bonded to O1");
}

// A cell of overlapping molecules leaves out thousands: the nearest are
// named, the rest counted.
TEST(ChemicalSphere, LeftOutNamesTheNearestAndCountsTheRest) {
  const TStructure s = MakeStructure(MakeCell(10, 10, 10), {"x,y,z"},
                                     {MakeAtom("O1", "O", {0, 0, 0}), MakeAtom("C1", "C", {0.1, 0, 0})});
  std::vector<TLeftOut> leftOut(kListedNeighbours + 6, TLeftOut{AtomSite(s, 1), TLeftOutReason::Behind, {AtomSite(s, 0)}});
  EXPECT_EQ(LeftOutText(s, leftOut), "C1 behind O1; 6 more atoms farther out");
}

}  // namespace
}  // namespace koravel
