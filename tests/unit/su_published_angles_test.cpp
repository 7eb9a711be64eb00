// Every bond angle that a real CIF publishes in its _geom_angle loop must be
// reproduced from the file's own coordinates, cell and operators. The
// published coordinates are rounded, which moves an angle by up to about a
// fifth of its su, so a third of the su is allowed (0.05 deg without su).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "cif/cif_angles.h"
#include "cif/cif_file.h"
#include "cif/cif_structure.h"
#include "geom/structure.h"
#include "geom/sym_code.h"
#include "sum/points.h"

namespace koravel {
namespace {

struct TSiteLookup {
  bool Found = false;
  TSiteRef Site;
};

TSiteLookup SiteOf(const TWorkingStructure& s, const std::string& label, const std::string& code) {
  TSiteLookup r;
  r.Site.Atom = FindAtom(s, label);
  r.Found = r.Site.Atom >= 0 && ResolveSymCode(s.SymOps, code, r.Site.Op);
  return r;
}

struct TAgreement {
  int Checked = 0;
  int Skipped = 0;
  double WorstRatio = 0;  // deviation / allowed
  std::string Worst;
};

TAgreement CheckBlock(const TCifBlock& block, const std::vector<std::string>& centres) {
  TWorkingStructure s;
  ReadCell(block, s);
  ReadSymOps(block, s);
  ReadAtoms(block, s);
  ReadCifAngles(block, s.CifAngles);
  TAgreement result;
  for (const TCifAngle& a : s.CifAngles) {
    if (std::find(centres.begin(), centres.end(), a.Label2) == centres.end()) continue;
    const TSiteLookup s1 = SiteOf(s, a.Label1, a.Sym1);
    const TSiteLookup s2 = SiteOf(s, a.Label2, a.Sym2);
    const TSiteLookup s3 = SiteOf(s, a.Label3, a.Sym3);
    if (!s1.Found || !s2.Found || !s3.Found) {
      ++result.Skipped;
      continue;
    }
    double su = 0;
    int fixed = 0;
    const double angle = AngleWithSu(s.AtomFrac, s.AtomSu, PointOfSite(s1.Site),
                                     PointOfSite(s2.Site), PointOfSite(s3.Site), s.Cell,
                                     nullptr, su, fixed);
    const double allowed = a.SuGiven ? a.Su / 3 : 0.05;
    const double ratio = std::fabs(angle - a.Angle) / allowed;
    ++result.Checked;
    if (ratio > result.WorstRatio) {
      result.WorstRatio = ratio;
      result.Worst = a.Label1 + "-" + a.Label2 + "-" + a.Label3 + " published " +
                     std::to_string(a.Angle) + "(" + std::to_string(a.Su) + ") computed " +
                     std::to_string(angle);
    }
  }
  return result;
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
    TCifFile cif;
    std::string error;
    ASSERT_TRUE(cif.LoadFromFile(std::string(KORAVEL_TEST_DATA) + "/" + c.file, error)) << error;
    TAgreement total;
    for (int b = 0; b < cif.BlockCount(); ++b) {
      if (!HasStructure(cif.Block(b))) continue;
      TAgreement r = CheckBlock(cif.Block(b), c.centres);
      total.Checked += r.Checked;
      total.Skipped += r.Skipped;
      if (r.WorstRatio > total.WorstRatio) {
        total.WorstRatio = r.WorstRatio;
        total.Worst = r.Worst;
      }
    }
    EXPECT_EQ(total.Checked, c.checked) << c.file;
    EXPECT_EQ(total.Skipped, 0) << c.file;
    EXPECT_LE(total.WorstRatio, 1.0) << c.file << ": " << total.Worst;
    std::printf("%-40s %4d angles, worst %.2f of the allowance (%s)\n", c.file, total.Checked,
                total.WorstRatio, total.Worst.c_str());
  }
}

}  // namespace
}  // namespace koravel
