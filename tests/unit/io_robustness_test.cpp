// The readers take files from anywhere: whatever the bytes, they must answer
// true or false with a message, without crashing, stalling or allocating
// beyond the size of the file. Mutated copies of valid files probe that.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "geom/text.h"
#include "inputs/mat_file.h"
#include "inputs/shelx_reader.h"
#include "inputs/xyz_reader.h"
#include "inputs_test_files.h"

namespace koravel {
namespace {

std::string Mutate(const std::string& seed, std::mt19937& rng) {
  static const std::string kPieces[] = {"=",  "\n", "\r", " ", "\t", "-",     "9999999999",
                                        "1e308", "0", ".", ",", "/",  "-21.0", "LATT 4\n",
                                        "SYMM x,y,z+1/3\n", "END\n", std::string(1, '\0')};
  std::string text = seed;
  const int edits = 1 + static_cast<int>(rng() % 8);
  for (int e = 0; e < edits && !text.empty(); ++e) {
    const size_t at = rng() % text.size();
    switch (rng() % 4) {
      case 0: text[at] = static_cast<char>(rng() % 256); break;
      case 1: text.insert(at, kPieces[rng() % std::size(kPieces)]); break;
      case 2: text.erase(at, rng() % 40); break;
      default: text.insert(at, text.substr(at, rng() % 80)); break;
    }
  }
  return text;
}

std::string ReadData(const std::string& name) {
  std::string bytes, error;
  EXPECT_TRUE(ReadWholeFile(testing::TestData(name), bytes, error)) << error;
  return bytes;
}

TEST(InputRobustness, ShelxReaderSurvivesMutations) {
  std::mt19937 rng(12345);
  for (const std::string& seed : {ReadData("NaCl.res"), ReadData("2240189.res")}) {
    for (int i = 0; i < 600; ++i) {
      TShelxData data;
      std::string error;
      if (ReadShelxText(Mutate(seed, rng), "f.res", data, error)) {
        EXPECT_FALSE(data.SymOps.empty());
        EXPECT_FALSE(data.Atoms.empty());
        EXPECT_LE(data.SymOps.size(), 8u * (kMaxShelxSymmCards + 1));
      } else {
        EXPECT_FALSE(error.empty());
      }
    }
  }
}

TEST(InputRobustness, MatReaderSurvivesMutations) {
  const std::string seed =
      "    3 Parameters refined in final cycle\n"
      "     1     0.62670     0.01969     0.000    OSF\n"
      "     2     0.10000     0.00020     0.000     x  C1\n"
      "     3     0.20000     0.00030     0.000     y  C1\n"
      "      6 Correlation matrix elements follow as upper triangular matrix\n"
      " 1.00000 0.50000 0.20000\n 1.00000-0.30000 1.00000\n";
  std::mt19937 rng(777);
  for (int i = 0; i < 3000; ++i) {
    const std::string text = Mutate(seed, rng);
    TMatFile mat;
    std::string error;
    if (!mat.LoadMatText(text, "f.mat", error)) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    const long long n = mat.ParamCount;
    ASSERT_EQ(static_cast<long long>(mat.Corr.size()), n * (n + 1) / 2);
    EXPECT_LE(mat.Corr.size() * 8, text.size());
    EXPECT_EQ(static_cast<long long>(mat.CoordLabel.size()), mat.CoordCount);
    int matched = 0;
    mat.MatchStructure({"C1", "c1"}, {{0.1, 0.2, 0.3}}, matched, error);
    for (int p = -1; p <= n; ++p) mat.Covariance(p, static_cast<int>(n - 1 - p));
  }
}

TEST(InputRobustness, XyzReaderSurvivesMutations) {
  std::mt19937 rng(4242);
  const std::string seed = ReadData("atoms-with-numbers.xyz") + ReadData("atoms-with-numbers.xyz");
  for (int i = 0; i < 3000; ++i) {
    for (TXyzNaming naming : {xnOlex, xnPosition, xnElement}) {
      TXyzData data;
      std::string error;
      if (ReadXyzText(Mutate(seed, rng), "f.xyz", naming, data, error)) {
        EXPECT_GE(data.StructureCount, 1);
        for (const TXyzAtom& a : data.Atoms) EXPECT_FALSE(a.Label.empty());
      } else {
        EXPECT_FALSE(error.empty());
      }
    }
  }
}

}  // namespace
}  // namespace koravel
