#include "geometry/view.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geometry/shape_section.h"

namespace koravel {
namespace {

double SmallestSeparationOnPicture(const TView& v, const std::vector<TVec3>& points) {
  double smallest = 1e9;
  for (size_t i = 0; i < points.size(); ++i)
    for (size_t j = i + 1; j < points.size(); ++j) {
      const TVec3 a = InView(v, points[i]), b = InView(v, points[j]);
      smallest = std::min(smallest, std::hypot(a[0] - b[0], a[1] - b[1]));
    }
  return smallest;
}

// A pyramid of three ligands is seen along the normal of their plane; an
// octahedron along a three-fold axis, where every atom stands clear of the
// others by d·sqrt(2/3) (a hexagon round the centre), not on top of its
// trans partner as along a four-fold axis.
TEST(View, ShowsTheSphereBest) {
  const std::vector<TVec3> pyramid{{0, 0, 0.4}, {1, 0, 0}, {-0.5, 0.866, 0}, {-0.5, -0.866, 0}};
  const TView p = BestView(pyramid);
  EXPECT_NEAR(std::fabs(p.Toward[2]), 1, 1e-12);
  EXPECT_NEAR(p.Right[0], 1, 1e-12);  // the first ligand to the right
  const std::vector<TVec3> octahedron{{0, 0, 0}, {2, 0, 0}, {-2, 0, 0}, {0, 2, 0},
                                      {0, -2, 0}, {0, 0, 2}, {0, 0, -2}};
  const TView o = BestView(octahedron);
  EXPECT_GT(SmallestSeparationOnPicture(o, octahedron), 0.97 * 2 * std::sqrt(2.0 / 3.0));
  for (const TView& v : {p, o}) {  // a right-handed frame
    const TVec3 z = Cross(v.Right, v.Up);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(z[k], v.Toward[k], 1e-12);
  }
}

// The path's ends are the ideal shapes: S_OC-6(TPR-6) = 16.737 (Alvarez et
// al., Coord. Chem. Rev. 249 (2005) 1693).
TEST(View, MinimalDistortionPathJoinsTheIdealShapes) {
  const auto path = MinimalDistortionPath(IdealPolyhedron("OC-6"), IdealPolyhedron("TPR-6"), 10);
  EXPECT_NEAR(path.front()[0], 0, 1e-12);
  EXPECT_NEAR(path.front()[1], 16.737, 5e-4);
  EXPECT_NEAR(path.back()[0], 16.737, 5e-4);
  EXPECT_NEAR(path.back()[1], 0, 1e-12);
}

}  // namespace
}  // namespace koravel
