#include <gtest/gtest.h>

#include "sum/report.h"
#include "tests/unit/sum_report_fixtures.h"

namespace koravel {
namespace {

using namespace testing_report;

TCifAngle Row(const char* l1, const char* s1, const char* l2, const char* s2, const char* l3,
              const char* s3, double angle, double su) {
  TCifAngle a;
  a.Label1 = l1;
  a.Sym1 = s1;
  a.Label2 = l2;
  a.Sym2 = s2;
  a.Label3 = l3;
  a.Sym3 = s3;
  a.Angle = angle;
  a.Su = su;
  a.SuGiven = su > 0;
  return a;
}

TEST(CifAngleFor, FindsThePublishedAngle) {
  const std::vector<TCifAngle> rows = {
      Row("C1", "1_555", "Fe1", "1_555", "N2", "1_555", 120.5, 0.3),
      Row("C1", "1_555", "Fe1", "2_555", "N3", "1_555", 99.0, 0.2),  // apex elsewhere
      Row("N3", "1_555", "FE1", "1_555", "C1", "1_555", 101.0, 0.4),
      Row("c1", "1_555", "Fe1", "1_555", "N3", "1_555", 111.0, 0.5),  // a later duplicate
      Row("N2", "2_655", "Fe1", "1_555", "N4", "1_555", 88.0, 0),
      Row("C1", "1_555", "Fe1", "2_555", "N5", "1_555", 77.0, 0.1),
  };
  const TLigand c1 = AtomLigand(4, "C1", "C");
  const TLigand lowerC1 = AtomLigand(4, "c1", "C");
  const TLigand n2 = AtomLigand(2, "N2", "N");
  const TLigand n2Image = AtomLigand(2, "N2", "N", "2_655");
  const TLigand n3 = AtomLigand(10, "N3", "N");
  const TLigand n4 = AtomLigand(11, "N4", "N");
  const TLigand n5 = AtomLigand(12, "N5", "N");
  TLigand centroid = AtomLigand(4, "C1", "");  // a centroid never matches, whatever its name
  centroid.IsCentroid = true;

  struct Case {
    const char* what;
    const TLigand& a;
    const TLigand& b;
    const char* centralCode;
    bool found;
    double angle, su;
  };
  const Case cases[] = {
      {"listed order", c1, n2, "1_555", true, 120.5, 0.3},
      {"swapped order", n2, c1, "1_555", true, 120.5, 0.3},
      {"labels ignore case", lowerC1, n2, "1_555", true, 120.5, 0.3},
      {"first of two matches wins", c1, n3, "1_555", true, 101.0, 0.4},
      {"apex at 2_555 only", c1, n5, "1_555", false, 0, 0},
      {"central atom at 2_555", c1, n3, "2_555", true, 99.0, 0.2},
      {"ligand image code must match", n2, n4, "1_555", false, 0, 0},
      {"image listed with its code", n4, n2Image, "1_555", true, 88.0, 0},
      {"centroid first", centroid, n2, "1_555", false, 0, 0},
      {"centroid second", n2, centroid, "1_555", false, 0, 0},
  };
  for (const Case& k : cases) {
    double angle = -7, su = -7;
    EXPECT_EQ(CifAngleFor(rows, "Fe1", k.centralCode, k.a, k.b, angle, su), k.found) << k.what;
    EXPECT_EQ(angle, k.angle) << k.what;
    EXPECT_EQ(su, k.su) << k.what;
  }
}

TEST(CifAngleFor, CentralLabelIgnoresCaseAndMustMatch) {
  const std::vector<TCifAngle> rows = {
      Row("N1", "1_555", "Cu1", "1_555", "N2", "1_555", 95.0, 0.1)};
  double angle = 0, su = 0;
  const TLigand n1 = AtomLigand(1, "N1", "N"), n2 = AtomLigand(2, "N2", "N");
  EXPECT_TRUE(CifAngleFor(rows, "cu1", "1_555", n1, n2, angle, su));
  EXPECT_FALSE(CifAngleFor(rows, "Cu2", "1_555", n1, n2, angle, su));
  EXPECT_FALSE(CifAngleFor({}, "Cu1", "1_555", n1, n2, angle, su));
}

}  // namespace
}  // namespace koravel
