// The readers take files from anywhere: whatever the bytes, they must return
// a result or throw TError with a message, without crashing, stalling or
// allocating beyond the size of the file. Mutated copies of valid files and
// random bytes probe that.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "base/file.h"
#include "io/cif_structure.h"
#include "io/mat_file.h"
#include "io/shelx_file.h"
#include "io/xyz_file.h"
#include "test_support.h"

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

// Runs a read; a TError must carry a message.
template <typename Read>
bool Survives(Read&& read) {
  try {
    read();
    return true;
  } catch (const TError& e) {
    EXPECT_FALSE(std::string(e.what()).empty());
    return false;
  }
}

TEST(InputRobustness, ShelxReaderSurvivesMutations) {
  std::mt19937 rng(12345);
  for (const char* name : {"NaCl.res", "2240189.res"}) {
    const std::string seed = ReadFile(testing::TestData(name));
    for (int i = 0; i < 600; ++i) {
      TShelxFile f;
      if (!Survives([&] { f = ReadShelxText(Mutate(seed, rng), "f.res"); })) continue;
      EXPECT_FALSE(f.Structure.SymOps.empty());
      EXPECT_FALSE(f.Structure.Atoms.empty());
      EXPECT_LE(f.Structure.SymOps.size(), 8u * (kMaxShelxSymmCards + 1));
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
  TStructure s;
  s.Atoms = {testing::MakeAtom("C1", "C", {0.1, 0.2, 0.3}), testing::MakeAtom("c1", "C", {})};
  std::mt19937 rng(777);
  for (int i = 0; i < 3000; ++i) {
    const std::string text = Mutate(seed, rng);
    TMatFile mat;
    if (!Survives([&] { mat = ParseMatFile(text, "f.mat"); })) continue;
    const long long n = mat.ParamCount;
    ASSERT_EQ(static_cast<long long>(mat.Corr.size()), n * (n + 1) / 2);
    EXPECT_LE(mat.Corr.size() * 8, text.size());
    EXPECT_EQ(static_cast<long long>(mat.CoordLabel.size()), mat.CoordCount);
    Survives([&] { mat.MatchStructure(s, "f.mat", "f.res"); });
    for (int p = -1; p <= n; ++p) mat.Covariance(p, static_cast<int>(n - 1 - p));
  }
}

TEST(InputRobustness, XyzReaderSurvivesMutations) {
  std::mt19937 rng(4242);
  const std::string seed = ReadFile(testing::TestData("atoms-with-numbers.xyz"));
  for (int i = 0; i < 3000; ++i) {
    const std::string text = Mutate(seed + seed, rng);
    for (TXyzNaming naming : {xnOlex, xnPosition, xnElement}) {
      TXyzFile f;
      if (!Survives([&] { f = ReadXyzText(text, "f.xyz", naming); })) continue;
      EXPECT_GE(f.StructureCount, 1);
      for (const TXyzAtom& a : f.Atoms) EXPECT_FALSE(a.Label.empty());
    }
  }
}

// Random bytes, with CIF's special characters over-represented, and mutated
// copies of a real CIF: every block is read as a run reads it.
TEST(InputRobustness, CifReaderSurvivesArbitraryBytes) {
  std::mt19937 rng(12345);
  const std::string alphabet = "_;'\"# \t\r\n?.()loop_data_save_global_ab01\xFF\xFE\xEF";
  const std::string real = ReadFile(testing::TestData("hand_ferrocene.cif"));
  for (int round = 0; round < 600; ++round) {
    std::string text;
    if (round % 2) {
      text = Mutate(real, rng);
    } else {
      const int n = static_cast<int>(rng() % 400);
      for (int i = 0; i < n; ++i)
        text += rng() % 4 ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng() % 256);
    }
    std::optional<TCifDocument> cif;
    if (!Survives([&] { cif.emplace(text); })) continue;  // a text field never closed
    Survives([&] { ChooseDataBlock(*cif, "", {"Fe1"}); });
    for (const TCifBlock& block : cif->Blocks()) {
      Survives([&] { ReadCifStructure(*cif, block); });
      Survives([&] {
        for (const TPublishedAngle& a : ReadPublishedAngles(*cif, block))
          EXPECT_FALSE(a.Sym1.empty() || a.Sym2.empty() || a.Sym3.empty());
      });
      for (const TCifLoop& loop : block.Loops)
        Survives([&] {
          const TCifTable t = cif->FindTable(block, {loop.Tags.empty() ? "_" : loop.Tags.back()});
          for (std::size_t row = 0; row <= t.Rows(); ++row) t.At(row, 0).Text();
        });
    }
  }
}

}  // namespace
}  // namespace koravel
