#include "inputs/load_input.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>

#include "geom/cell.h"
#include "geom/fatal.h"
#include "geom/text.h"
#include "inputs/input_notes.h"
#include "inputs/shelx_reader.h"
#include "inputs/site_symmetry.h"
#include "inputs_test_files.h"

namespace koravel {
namespace {

using testing::TestData;
using testing::TLineCollector;
using testing::TScratchDir;

std::string FatalMessage(const std::function<void()>& step) {
  try {
    step();
  } catch (const TFatalError& e) {
    return e.what();
  }
  return "(no failure)";
}

std::string RealFile(const std::string& name) {
  std::string bytes, error;
  EXPECT_TRUE(ReadWholeFile(TestData(name), bytes, error)) << error;
  return bytes;
}

std::map<std::string, double> Occupancies(const TWorkingStructure& s) {
  std::map<std::string, double> occ;
  for (const TAtom& a : s.Atoms) occ[a.Label] = a.Occ;
  return occ;
}

// A P-1 structure: C1 on the inversion centre, C2 and C3 in general positions.
const char* const kRes =
    "TITL test in P-1\nCELL 0.71073 10 11 12 90 90 90\nZERR 2 0.001 0.001 0.001 0 0 0\n"
    "LATT 1\nSFAC C\nFVAR 1.0\n"
    "C1 1 0.0 0.5 0.0 10.5 0.02\nC2 1 0.1 0.2 0.3 11.0 0.02\nC3 1 0.4 0.3 0.2 11.0 0.02\nHKLF 4\n";

std::string MatFor(const std::string& c2x) {
  return "    4 Parameters refined in final cycle\n\n"
         "     1     1.00000     0.01000     0.000    OSF\n"
         "     2     " + c2x + "     0.00020     0.000     x  C2\n"
         "     3     0.20000     0.00020     0.000     y  C2\n"
         "     4     0.30000     0.00020     0.000     z  C2\n"
         "     10 Correlation matrix elements follow\n"
         " 1.00000 0.10000 0.10000 0.10000\n 1.00000 0.20000 0.30000\n 1.00000 0.40000\n 1.00000\n";
}

TEST(LoadShelx, WithoutMatrixFile) {
  TScratchDir dir;
  const std::string res = dir.Write("x.res", kRes);
  TWorkingStructure s;
  s.CifAngles.resize(2);
  TInputState st;
  LoadShelx(res, s, st);
  EXPECT_FALSE(st.HasSu);
  EXPECT_FALSE(st.UseMatrix);
  EXPECT_EQ(st.MatFile, nullptr);
  EXPECT_EQ(st.MatFileName, dir.Path("x.mat"));
  EXPECT_EQ(st.ShelxTitle, "test in P-1");
  EXPECT_EQ(s.Cell.SuA, 0.001);
  EXPECT_EQ(s.SymOps.size(), 2u);
  EXPECT_TRUE(s.CifAngles.empty());
  ASSERT_EQ(s.Atoms.size(), 3u);
  EXPECT_EQ(s.AtomFrac.size(), 3u);
  EXPECT_EQ(s.AtomFrac[1], (TVec3{0.1, 0.2, 0.3}));
  EXPECT_EQ(s.AtomSu[1], (TVec3{0, 0, 0}));
  // 10.5 on an inversion centre is a fully occupied site.
  EXPECT_EQ(s.Atoms[0].Occ, 1.0);
  EXPECT_EQ(s.Atoms[1].Occ, 1.0);
}

TEST(LoadShelx, SpecialPositionOccupancies) {
  TScratchDir dir;
  struct Case { const char* file; const char* label; double occ; };
  const Case cases[] = {
      {"NaCl.res", "NA1", 1.0},       // 10.02083 on m-3m in Fm-3m (48 of 192)
      {"NaCl.res", "CL1", 1.0},
      {"2240189.res", "FE1", 1.0},    // 10.16667 on -3 in R-3c
      {"2240189.res", "O4", 1.0},     // 10.5 on a two-fold axis
      {"2240189.res", "O1", 1.0},     // general position
      {"2240189.res", "CL1", 0.77327},   // 20.5 on a two-fold axis, fv(2) = 0.77327
      {"2240189.res", "O2'", 1 - 0.77327},
  };
  for (const Case& c : cases) {
    TWorkingStructure s;
    TInputState st;
    LoadShelx(dir.Write(c.file, RealFile(c.file)), s, st);
    EXPECT_NEAR(Occupancies(s)[c.label], c.occ, 1e-9) << c.file << " " << c.label;
  }
}

TEST(LoadShelx, SiteSymmetry) {
  TShelxData data;
  std::string error;
  ASSERT_TRUE(ReadShelxFile(TestData("NaCl.res"), data, error)) << error;  // Fm-3m
  std::vector<TSymOp> ops = DistinctSymOps(data.SymOps);
  EXPECT_EQ(ops.size(), 192u);
  struct Case { TVec3 frac; int order; };
  const Case cases[] = {{{0.5, 0, 0}, 48}, {{0, 0, 0}, 48}, {{0.25, 0.25, 0.25}, 24},
                        {{0.11, 0.23, 0.37}, 1}, {{0.5005, 1, -1}, 48}, {{0.502, 0, 0}, 8}};
  for (const Case& c : cases) EXPECT_EQ(SiteSymmetryOrder(c.frac, ops), c.order) << c.frac[0];
  struct Occ { double sof; int order; double occ; };
  const Occ occs[] = {{0.02083, 48, 1.0}, {0.16667, 6, 1.0}, {0.5, 2, 1.0}, {0.25, 2, 0.5},
                      {0.38664, 2, 0.77328}, {0.99984, 1, 0.99984}, {0.0104, 48, 0.4992}};
  for (const Occ& o : occs) EXPECT_NEAR(SiteOccupancy(o.sof, o.order), o.occ, 1e-12) << o.sof;
}

TEST(LoadShelx, PairsAMatchingMatrixFile) {
  TScratchDir dir;
  const std::string res = dir.Write("x.res", kRes);
  dir.Write("x.mat", MatFor("0.10005"));
  TWorkingStructure s;
  TInputState st;
  LoadShelx(res, s, st);
  EXPECT_TRUE(st.HasSu);
  EXPECT_TRUE(st.UseMatrix);
  ASSERT_NE(st.MatFile, nullptr);
  EXPECT_EQ(st.MatFile->ParamIndex(1, 0), 1);
  EXPECT_EQ(st.MatFile->ParamIndex(0, 0), -1);
  EXPECT_NEAR(st.MatFile->Covariance(1, 2), 0.2f * 0.0002 * 0.0002, 1e-15);
}

TEST(LoadShelx, Failures) {
  TScratchDir dir;
  const std::string otherRun = "x.mat does not belong to x.res - 1 coordinate(s) differ from "
                               "the matrix file; the largest is C2.x by 0.01000, i.e. 50 esd.";
  const std::string resTail =
      " Both files must come from the same refinement run; remove the .mat to get the result "
      "without su.";
  const std::string insTail =
      " An .ins is the input of a refinement, while the .mat is written by it; the two only "
      "match if the .ins is a copy of that run's .res. Use the .res, or remove the .mat to get "
      "the result without su.";
  struct Case { const char* shelx; std::string shelxText; std::string mat; std::string message; };
  const Case cases[] = {
      {"x.res", kRes, MatFor("0.11000"), otherRun + resTail},
      {"x.ins", kRes, MatFor("0.11000"),
       "x.mat does not belong to x.ins - 1 coordinate(s) differ from the matrix file; the "
       "largest is C2.x by 0.01000, i.e. 50 esd." + insTail},
      {"x.INS", kRes, MatFor("0.11000"),
       "x.mat does not belong to x.INS - 1 coordinate(s) differ from the matrix file; the "
       "largest is C2.x by 0.01000, i.e. 50 esd." + insTail},
      {"y.res", std::string(kRes).replace(std::string(kRes).find("C2 1"), 2, "N2"), MatFor("0.10000"),
       "y.mat does not belong to y.res - no atom of the structure appears in the matrix file." +
           resTail},
      {"x.res", kRes, "garbage\n", dir.Path("x.mat") + " contains no parameter list."},
      {"x.res", "SFAC C\n", "", "no CELL card found in " + dir.Path("x.res") + "."},
  };
  for (const Case& c : cases) {
    TScratchDir caseDir;
    const std::string shelx = dir.Write(c.shelx, c.shelxText);
    std::filesystem::remove(dir.Path("x.mat"));
    std::filesystem::remove(dir.Path("y.mat"));
    if (!c.mat.empty()) dir.Write(std::string(c.shelx).substr(0, 1) + ".mat", c.mat);
    TWorkingStructure s;
    TInputState st;
    EXPECT_EQ(FatalMessage([&] { LoadShelx(shelx, s, st); }), c.message) << c.shelx;
  }
}

TEST(LoadXyz, CartesianCoordinatesInALargeCell) {
  TScratchDir dir;
  const std::string xyz = dir.Write("m.xyz", "2\nethane C-C\nC 0 0 0\nC 1.54 0 0\n");
  TWorkingStructure s;
  TInputState st;
  LoadXyz(xyz, xnElement, s, st);
  EXPECT_FALSE(st.HasSu);
  EXPECT_EQ(st.Xyz.Comment, "ethane C-C");
  EXPECT_EQ(s.Cell.A, 10000);
  EXPECT_EQ(s.Cell.Gamma, 90);
  ASSERT_EQ(s.SymOps.size(), 1u);
  EXPECT_EQ(s.SymOps[0].Code, "1_555");
  ASSERT_EQ(s.Atoms.size(), 2u);
  EXPECT_EQ(s.Atoms[1].Label, "C2");
  EXPECT_EQ(s.Atoms[1].Occ, 1.0);
  EXPECT_EQ(s.AtomSu[1], (TVec3{0, 0, 0}));
  TVec3 a = MatVec(OrthoMatrix(s.Cell), s.AtomFrac[0]);
  TVec3 b = MatVec(OrthoMatrix(s.Cell), s.AtomFrac[1]);
  EXPECT_NEAR(std::hypot(b[0] - a[0], b[1] - a[1], b[2] - a[2]), 1.54, 1e-12);
  EXPECT_EQ(FatalMessage([&] { LoadXyz(dir.Path("none.xyz"), xnOlex, s, st); }),
            "file not found: " + dir.Path("none.xyz"));
  dir.Write("bad.xyz", "2\n\nC 0 0 0\n");
  EXPECT_EQ(FatalMessage([&] { LoadXyz(dir.Path("bad.xyz"), xnOlex, s, st); }),
            dir.Path("bad.xyz") + ": 2 atoms announced, only 1 found.");
}

TEST(InputNotes, ShelxWarning) {
  struct Case { const char* file; const char* kindLine; const char* matLine; };
  const Case cases[] = {
      {"/data/run/x.res", "The geometry was taken from a SHELX RES file. Such files store",
       "SHELXL matrix file x.mat beside this one - it holds the full"},
      {"data/y.Ins", "The geometry was taken from a SHELX INS file. Such files store",
       "SHELXL matrix file y.mat beside this one - it holds the full"},
  };
  for (const Case& c : cases) {
    TLineCollector out;
    WriteShelxWarning(out, c.file);
    ASSERT_EQ(out.Lines.size(), 12u);
    EXPECT_EQ(out.Lines[0], "");
    EXPECT_EQ(out.Lines[1], "*** WARNING - no standard uncertainties ***");
    EXPECT_EQ(out.Lines[2], c.kindLine);
    EXPECT_EQ(out.Lines[10], c.matLine);
    EXPECT_EQ(out.Lines[11], "variance-covariance matrix - or run Koravel on the CIF instead.");
  }
}

TEST(InputNotes, XyzAndMatrixLines) {
  TLineCollector out;
  WriteXyzWarning(out);
  WriteMatrixFileLine(out, "/data/run/dom1.mat", 35);
  ASSERT_EQ(out.Lines.size(), 7u);
  EXPECT_EQ(out.Lines[0], "");
  EXPECT_EQ(out.Lines[2], "The geometry was taken from an XYZ file. Such a file holds Cartesian");
  EXPECT_EQ(out.Lines[5], "All values below are therefore given without su.");
  EXPECT_EQ(out.Lines[6], "Matrix file  : dom1.mat  (35 refined parameters)");
}

TEST(InputNotes, XyzNaming) {
  struct Case { bool labels; TXyzNaming naming; const char* text; };
  const Case cases[] = {
      {true, xnPosition, "as given in the file"},
      {false, xnOlex, "element + line in the file counted from 0, as in Olex2 (first atom = line 2)"},
      {false, xnPosition, "element + position in the atom list (first atom = 1)"},
      {false, xnElement, "element + number per element (C1, H1, H2, ...)"},
  };
  for (const Case& c : cases) EXPECT_EQ(XyzNamingDescription(c.labels, c.naming), c.text);
  EXPECT_EQ(XyzNamingHint(true, xnOlex), "\n       XYZ atom names: as given in the file.");
  EXPECT_EQ(XyzNamingHint(false, xnElement),
            "\n       XYZ atom names: element + number per element (C1, H1, H2, ...)."
            "\n       Other schemes: xyznames=olex (as Olex2), xyznames=position"
            "\n       (first atom = 1), xyznames=element (C1, H1, H2, ...).");
}

}  // namespace
}  // namespace koravel
