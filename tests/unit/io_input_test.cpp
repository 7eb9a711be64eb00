#include "io/input.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <filesystem>
#include <string>

#include "base/file.h"
#include "base/text.h"
#include "crystal/cell.h"
#include "test_support.h"

namespace koravel {
namespace {

using testing::ErrorOf;
using testing::TestData;
using testing::TScratchDir;

// A P-1 structure: C1 on the inversion centre, C2 and C3 in general positions.
const char* const kRes =
    "TITL test in P-1\nCELL 0.71073 10 11 12 90 90 90\nZERR 2 0.001 0.001 0.001 0 0 0\n"
    "LATT 1\nSFAC C\nFVAR 1.0\n"
    "C1 1 0.0 0.5 0.0 10.5 0.02\nC2 1 0.1 0.2 0.3 11.0 0.02\nC3 1 0.4 0.3 0.2 11.0 0.02\nHKLF 4\n";
const char* const kCif =
    "data_one\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n"
    "loop_ _atom_site_label _atom_site_fract_x _atom_site_fract_y _atom_site_fract_z C1 0 0 0\n";
const char* const kXyz = "2\nethane C-C\nC 0 0 0\nC 1.54 0 0\n";

std::string MatFor(const std::string& c2x) {
  return "    4 Parameters refined in final cycle\n\n"
         "     1     1.00000     0.01000     0.000    OSF\n"
         "     2     " + c2x + "     0.00020     0.000     x  C2\n"
         "     3     0.20000     0.00020     0.000     y  C2\n"
         "     4     0.30000     0.00020     0.000     z  C2\n"
         "     10 Correlation matrix elements follow\n"
         " 1.00000 0.10000 0.10000 0.10000\n 1.00000 0.20000 0.30000\n 1.00000 0.40000\n 1.00000\n";
}

TInput Load(const std::string& file, TXyzNaming naming = xnOlex) {
  return LoadInput({file, "", {}, naming});
}

TEST(LoadInput, ChoosesTheFileAndKind) {
  struct Case {
    std::vector<const char*> files;  // present in the directory
    const char* typed;
    const char* resolved;
    TInputKind kind;
    const char* type;  // as the report names it
  };
  const Case cases[] = {
      {{"x.cif", "x.res"}, "x.cif", "x.cif", TInputKind::Cif, "CIF"},
      {{"x.res", "x.ins"}, "x.cif", "x.res", TInputKind::Shelx, "RES"},
      {{"x.ins", "x.xyz"}, "x.cif", "x.ins", TInputKind::Shelx, "INS"},
      {{"x.xyz"}, "x.cif", "x.xyz", TInputKind::Xyz, "XYZ"},
      {{"x.RES"}, "x.RES", "x.RES", TInputKind::Shelx, "RES"},
      {{"x.txt"}, "x.txt", "x.txt", TInputKind::Cif, "CIF"},
      {{"x.Xyz"}, "x.Xyz", "x.Xyz", TInputKind::Xyz, "XYZ"},
      {{"x.res"}, "x", "x.res", TInputKind::Shelx, "RES"},
      {{"x.res", "x.cif"}, "x", "x.cif", TInputKind::Cif, "CIF"},  // a stem tries .cif first
      {{"a.b.res"}, "a.b.cif", "a.b.res", TInputKind::Shelx, "RES"},
      {{"x.cif.gz"}, "x", "x.cif.gz", TInputKind::Cif, "CIF"},
      {{"x.res.gz", "x.xyz"}, "x.cif.gz", "x.res.gz", TInputKind::Shelx, "RES"},
      {{"x.Ins.GZ"}, "x.Ins.GZ", "x.Ins.GZ", TInputKind::Shelx, "INS"},
      {{"x.xyz.gz"}, "x.xyz.gz", "x.xyz.gz", TInputKind::Xyz, "XYZ"},
  };
  for (const Case& c : cases) {
    TScratchDir dir;
    for (const char* f : c.files) {
      const std::string ext = LowerAscii(std::filesystem::path(WithoutGzip(f)).extension().string());
      const char* text = ext == ".res" || ext == ".ins" ? kRes : ext == ".xyz" ? kXyz : kCif;
      if (IsGzipName(f)) {
        gzFile gz = gzopen(dir.Path(f).c_str(), "wb");
        gzputs(gz, text);
        gzclose(gz);
      } else {
        dir.Write(f, text);
      }
    }
    const TInput in = Load(dir.Path(c.typed));
    EXPECT_EQ(in.Source.Kind, c.kind) << c.typed;
    EXPECT_EQ(in.Source.FileType, c.type) << c.typed;
    EXPECT_EQ(in.Source.FileName, dir.Path(c.resolved)) << c.typed;
  }
}

// The names of structure files (which a survey takes from a folder): by the
// last extension, in any case, before a single .gz.
TEST(StructureExtension, OfTheNameBeforeAGz) {
  const std::pair<const char*, const char*> cases[] = {
      {"x.cif", ".cif"}, {"a.b/X.Ins.GZ", ".ins"}, {"x.gz.res", ".res"}, {"x.txt", ""},
      {"x.cif.bak", ""}, {"x.res.gz.gz", ""},      {"dir.cif/x", ""},    {"x.gz", ""},
  };
  for (const auto& [name, extension] : cases) {
    const TStructureExtension* e = StructureExtension(name);
    EXPECT_EQ(e ? e->Extension : "", extension) << name;
  }
}

TEST(LoadInput, NamesWhatIsMissing) {
  TScratchDir dir;
  std::filesystem::create_directories(dir.Path("y.cif"));  // a folder is no structure file
  EXPECT_EQ(ErrorOf([&] { Load(dir.Path("x")); }),
            "file not found: " + dir.Path("x") + " - and no x.cif, .res, .ins or .xyz in the same directory.");
  EXPECT_EQ(ErrorOf([&] { Load(dir.Path("x.cif.gz")); }),
            "file not found: " + dir.Path("x.cif.gz") + " - and no x.res, .ins or .xyz in the same directory.");
  EXPECT_EQ(ErrorOf([&] { Load(dir.Path("y.cif")); }),
            dir.Path("y.cif") + " is a folder, not a structure file (koravel --survey " + dir.Path("y.cif") +
                " reads every structure file in it).");
}

TEST(LoadInput, CifBlockAndPublishedAngles) {
  const TInput in = LoadInput({TestData("cod_Burford_2000_p152_crude.cif"), "", {"Sb1"}, xnOlex});
  EXPECT_EQ(in.Source.BlockName, "chuck26_3");
  EXPECT_EQ(in.Source.BlockCount, 5);
  EXPECT_EQ(in.Source.StructureBlocks, "cm165_2a, chuck39_2b, chuck26_3, chuck31_4");
  EXPECT_TRUE(in.Model.HasSu);
  EXPECT_FALSE(in.Model.PublishedAngles.empty());
  EXPECT_GE(FindAtom(in.Model.Structure, "Sb1"), 0);
  // Every block of the file, as a survey reads them.
  const TStructureFile file(TestData("cod_Burford_2000_p152_crude.cif"), xnOlex);
  ASSERT_EQ(file.BlockCount(), 5u);
  EXPECT_EQ(file.BlockName(0), "global");
  EXPECT_EQ(ErrorOf([&] { file.Load(0); }),
            "data block \"global\" contains no cell parameters and atom sites.");
  EXPECT_EQ(file.Load(3).Source.BlockName, "chuck26_3");
}

TEST(LoadInput, ShelxWithoutMatrixFile) {
  TScratchDir dir;
  const TInput input = Load(dir.Write("x.res", kRes));
  const TModel& in = input.Model;
  EXPECT_FALSE(in.HasSu);
  EXPECT_EQ(in.Covariance, nullptr);
  EXPECT_EQ(input.Source.MatFileName, dir.Path("x.mat"));
  EXPECT_EQ(input.Source.MatParameters, 0);
  EXPECT_EQ(input.Source.Title, "test in P-1");
  EXPECT_EQ(in.Structure.Cell.SuA, 0.001);
  EXPECT_EQ(in.Structure.SymOps.size(), 2u);
  EXPECT_TRUE(in.PublishedAngles.empty());
  ASSERT_EQ(in.Structure.Atoms.size(), 3u);
  EXPECT_EQ(in.Structure.Atoms[1].Frac, (TVec3{0.1, 0.2, 0.3}));
  EXPECT_EQ(in.Structure.Atoms[1].FracSu, (TVec3{0, 0, 0}));
  // 10.5 on an inversion centre is a fully occupied site.
  EXPECT_EQ(in.Structure.Atoms[0].Occ, 1.0);
  EXPECT_EQ(in.Structure.Atoms[1].Occ, 1.0);
}

// The .mat of a SHELX file's stem, else its .mat.gz.
TEST(MatFileOf, TheStemsMatThenMatGz) {
  struct Case { std::vector<const char*> files; const char* shelx; const char* mat; };
  const Case cases[] = {
      {{}, "x.res", "x.mat"},
      {{"x.mat", "x.mat.gz"}, "x.RES.gz", "x.mat"},
      {{"x.mat.gz"}, "x.ins", "x.mat.gz"},
      {{"a.b.mat.gz"}, "a.b.res", "a.b.mat.gz"},
  };
  for (const Case& c : cases) {
    TScratchDir dir;
    for (const char* f : c.files) dir.Write(f, "");
    EXPECT_EQ(MatFileOf(dir.Path(c.shelx)), dir.Path(c.mat)) << c.shelx;
  }
}

TEST(LoadInput, ShelxPairedWithAMatchingMatrixFile) {
  TScratchDir dir;
  dir.Write("x.mat", MatFor("0.10005"));
  const TInput in = Load(dir.Write("x.res", kRes));
  EXPECT_TRUE(in.Model.HasSu);
  EXPECT_EQ(in.Source.MatParameters, 4);
  ASSERT_NE(in.Model.Covariance, nullptr);
  EXPECT_EQ(in.Model.Covariance->ParamIndex(1, 0), 1);
  EXPECT_EQ(in.Model.Covariance->ParamIndex(0, 0), -1);
  EXPECT_NEAR(in.Model.Covariance->Covariance(1, 2), 0.2f * 0.0002 * 0.0002, 1e-15);
}

TEST(LoadInput, ShelxFailures) {
  TScratchDir dir;
  const std::string differ =
      " - 1 coordinate(s) differ from the matrix file; the largest is C2.x by 0.01000, i.e. 50 esd.";
  const std::string resTail =
      " Both files must come from the same refinement run; remove the .mat to get the result "
      "without su.";
  const std::string insTail =
      " An .ins is the input of a refinement, while the .mat is written by it; the two only "
      "match if the .ins is a copy of that run's .res. Use the .res, or remove the .mat to get "
      "the result without su.";
  std::string otherAtoms = kRes;
  otherAtoms.replace(otherAtoms.find("C2 1"), 2, "N2");
  struct Case { const char* shelx; std::string shelxText; std::string mat; std::string message; };
  const Case cases[] = {
      {"x.res", kRes, MatFor("0.11000"), "x.mat does not belong to x.res" + differ + resTail},
      {"x.ins", kRes, MatFor("0.11000"), "x.mat does not belong to x.ins" + differ + insTail},
      {"x.INS", kRes, MatFor("0.11000"), "x.mat does not belong to x.INS" + differ + insTail},
      {"y.res", otherAtoms, MatFor("0.10000"),
       "y.mat does not belong to y.res - no atom of the structure appears in the matrix file." +
           resTail},
      {"x.res", kRes, "garbage\n", dir.Path("x.mat") + " contains no parameter list."},
      {"x.res", "SFAC C\n", "", "no CELL card found in " + dir.Path("x.res") + "."},
  };
  for (const Case& c : cases) {
    for (const char* old : {"x.res", "x.ins", "x.INS", "x.mat", "y.res", "y.mat"})
      std::filesystem::remove(dir.Path(old));
    const std::string shelx = dir.Write(c.shelx, c.shelxText);
    if (!c.mat.empty()) dir.Write(std::string(c.shelx).substr(0, 1) + ".mat", c.mat);
    EXPECT_EQ(ErrorOf([&] { Load(shelx); }), c.message) << c.shelx;
  }
}

TEST(LoadInput, XyzInALargeCell) {
  TScratchDir dir;
  const TInput in = Load(dir.Write("m.xyz", kXyz), xnElement);
  EXPECT_FALSE(in.Model.HasSu);
  EXPECT_EQ(in.Source.Comment, "ethane C-C");
  EXPECT_EQ(in.Source.AtomNames, XyzNamingDescription(false, xnElement));
  const TStructure& s = in.Model.Structure;
  EXPECT_EQ(s.Cell.A, 10000);
  EXPECT_EQ(s.Cell.Gamma, 90);
  ASSERT_EQ(s.SymOps.size(), 1u);
  EXPECT_TRUE(IsIdentity(s.SymOps[0]));
  ASSERT_EQ(s.Atoms.size(), 2u);
  EXPECT_EQ(s.Atoms[1].Label, "C2");
  EXPECT_EQ(s.Atoms[1].Occ, 1.0);
  const TMat3 ortho = OrthoMatrix(s.Cell);
  EXPECT_NEAR(Distance(MatVec(ortho, s.Atoms[0].Frac), MatVec(ortho, s.Atoms[1].Frac)), 1.54, 1e-12);
  dir.Write("bad.xyz", "2\n\nC 0 0 0\n");
  EXPECT_EQ(ErrorOf([&] { Load(dir.Path("bad.xyz")); }),
            dir.Path("bad.xyz") + ": 2 atoms announced, only 1 found.");
}

TEST(InputFilesOfRun, TheTypedFileAndTheFilesOfItsStem) {
  TScratchDir dir;
  dir.Write("x.res", kRes);
  dir.Write("x.mat", "");
  const std::string typed = dir.Path("x.cif");  // the typed name itself, whether or not it exists
  EXPECT_EQ(InputFilesOfRun(typed), (std::vector<std::string>{typed, dir.Path("x.res"), dir.Path("x.mat")}));
  EXPECT_TRUE(InputFilesOfRun("").empty());
}

}  // namespace
}  // namespace koravel
