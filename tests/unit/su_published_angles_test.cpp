// Every bond angle that a real CIF publishes in its _geom_angle loop must be
// reproduced from the file's own coordinates, cell and operators. The
// published coordinates are rounded, which moves an angle by up to about a
// fifth of its su, so a third of the su is allowed (0.05 deg without su).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "crystal/cell.h"
#include "crystal/sym_code.h"
#include "io/cif_structure.h"
#include "su/vector_math.h"
#include "test_support.h"

namespace koravel {
namespace {

struct TAgreement {
  int Checked = 0;
  int Skipped = 0;
  double WorstRatio = 0;  // deviation / allowed
  std::string Worst;
};

std::optional<TSiteRef> SiteOf(const TStructure& s, const std::string& label, const std::string& code) {
  const int atom = FindAtom(s, label);
  return atom < 0 ? std::nullopt : ResolveSymCode(s, atom, code);
}

void CheckBlock(const TCifDocument& cif, const TCifBlock& block,
                const std::vector<std::string>& centres, TAgreement& result) {
  const TStructure s = ReadCifStructure(cif, block);
  const TMat3 ortho = OrthoMatrix(s.Cell);
  for (const TPublishedAngle& a : ReadPublishedAngles(cif, block)) {
    if (std::find(centres.begin(), centres.end(), a.Label2) == centres.end()) continue;
    const auto s1 = SiteOf(s, a.Label1, a.Sym1), s2 = SiteOf(s, a.Label2, a.Sym2),
               s3 = SiteOf(s, a.Label3, a.Sym3);
    if (!s1 || !s2 || !s3) {
      ++result.Skipped;
      continue;
    }
    const double angle = AngleAt(SiteCartesian(s, *s1, ortho), SiteCartesian(s, *s2, ortho),
                                 SiteCartesian(s, *s3, ortho));
    const double allowed = a.Su > 0 ? a.Su / 3 : 0.05;
    const double ratio = std::fabs(angle - a.Angle) / allowed;
    ++result.Checked;
    if (ratio > result.WorstRatio) {
      result.WorstRatio = ratio;
      result.Worst = a.Label1 + "-" + a.Label2 + "-" + a.Label3 + " published " +
                     std::to_string(a.Angle) + "(" + std::to_string(a.Su) + ") computed " +
                     std::to_string(angle);
    }
  }
}

TEST(PublishedAngles, ReproducedFromTheCoordinates) {
  struct Case {
    const char* file;
    std::vector<std::string> centres;  // the apex atoms whose angles are checked
    int checked;                       // angles at them over all structure blocks
  };
  const Case cases[] = {
      {"cod_4063260-wrong-formula-sum.cif", {"B1", "B2"}, 6},
      {"cod_1100974-wr-factor.cif", {"Zn", "N2"}, 9},
      {"fc_1517303.cif", {"Pd1", "P1"}, 12},
      {"cod_Burford_2000_p152_crude.cif", {"As1", "Sb1"}, 12},
      {"fc_sad-final.cif", {"P1", "P2"}, 18},
      {"cod_2231779.cif", {"Cu1", "N1"}, 9},
      {"sf_4060316.cif", {"Os1"}, 36},
      {"cod_2100345-with-author-addresses.cif", {"Si1"}, 6},
  };
  for (const Case& c : cases) {
    const TCifDocument cif = ReadCifFile(testing::TestData(c.file));
    TAgreement total;
    for (const TCifBlock& block : cif.Blocks())
      if (HasStructure(block)) CheckBlock(cif, block, c.centres, total);
    EXPECT_EQ(total.Checked, c.checked) << c.file;
    EXPECT_EQ(total.Skipped, 0) << c.file;
    EXPECT_LE(total.WorstRatio, 1.0) << c.file << ": " << total.Worst;
    std::printf("%-40s %4d angles, worst %.2f of the allowance (%s)\n", c.file, total.Checked,
                total.WorstRatio, total.Worst.c_str());
  }
}

}  // namespace
}  // namespace koravel
