#include "geometry/shape_measure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numeric>
#include <random>
#include <sstream>

#include "plain_shape_minimum.h"
#include "test_support.h"

namespace koravel {
namespace {

const TIdealPolyhedron& Shape(std::string_view name) {
  for (const TIdealPolyhedron& s : IdealPolyhedra())
    if (s.Name == name) return s;
  throw std::runtime_error("no shape " + std::string(name));
}

// The central atom, then the other atoms of a small XYZ fragment.
std::vector<TVec3> Fragment(const std::string& file, const std::string& centre) {
  std::ifstream in(testing::TestData(file));
  std::string line;
  std::getline(in, line);
  std::getline(in, line);
  std::vector<TVec3> points(1);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string label;
    TVec3 x;
    if (!(fields >> label >> x[0] >> x[1] >> x[2])) continue;
    if (label == centre) points[0] = x;
    else points.push_back(x);
  }
  return points;
}


TEST(ShapeMeasure, PublishedExamples) {
  struct TCase {
    const char* File;
    const char* Centre;
    double SquarePlanar, Tetrahedral;
  };
  for (const TCase& c : {TCase{"shapes_example01_ABOXIY.xyz", "Pt1", 0.970, 31.375},
                         TCase{"shapes_example01_ACACPT.xyz", "Pt1", 0.160, 33.440},
                         TCase{"shapes_example02_DOSDAQ.xyz", "Pd1", 5.271, 36.847},
                         TCase{"shapes_example02_FUBWUU.xyz", "Pt1", 5.184, 36.789},
                         TCase{"shapes_example02_LEGFOS.xyz", "Cr1", 5.047, 36.698},
                         TCase{"shapes_example02_LEGFUY.xyz", "Cr1", 5.234, 36.822},
                         TCase{"shapes_example02_LEGFUY_2.xyz", "Cr1", 5.100, 36.733}}) {
    const std::vector<TVec3> points = Fragment(c.File, c.Centre);
    EXPECT_NEAR(BestFit(points, Shape("SP-4")).Measure, c.SquarePlanar, 5e-4) << c.File;
    EXPECT_NEAR(BestFit(points, Shape("T-4")).Measure, c.Tetrahedral, 5e-4) << c.File;
  }
  // The trigonal prism relative to the octahedron (Alvarez et al. 2005).
  std::vector<TVec3> prism = Shape("TPR-6").Vertices;
  prism.insert(prism.begin(), Shape("TPR-6").Centre);
  EXPECT_NEAR(BestFit(prism, Shape("OC-6")).Measure, 16.737, 5e-4);
}

TEST(ShapeMeasure, EveryShapeIsItsOwnIdeal) {
  std::mt19937 random(7);
  for (const TIdealPolyhedron& shape : IdealPolyhedra())
    EXPECT_NEAR(BestFit(testing::Disguised(shape, 0, random), shape).Measure, 0, 1e-9) << shape.Name;
}

// The branch and bound finds the global minimum that plain search over all
// assignments finds, for distorted shapes of every size up to nine and for
// random points.
TEST(ShapeMeasure, BranchAndBoundMatchesExhaustiveSearch) {
  std::mt19937 random(11);
  std::normal_distribution<double> gauss;
  for (const TIdealPolyhedron& shape : IdealPolyhedra()) {
    const size_t n = shape.Vertices.size();
    if (n > 9) continue;
    std::vector<std::vector<TVec3>> sets{testing::Disguised(shape, 0.15, random)};
    if (n < 8) sets.push_back(testing::Disguised(shape, 0.6, random));
    std::vector<TVec3> cloud(n + 1);
    for (TVec3& x : cloud) x = {gauss(random), gauss(random), gauss(random)};
    if (n < 9) sets.push_back(cloud);
    for (const std::vector<TVec3>& points : sets) {
      const TShapeFit fit = BestFit(points, shape);
      EXPECT_NEAR(fit.Measure, testing::PlainShapeMinimum(points, shape), 1e-9) << shape.Name;
      EXPECT_NEAR(MeasureFor(points, shape, fit.Vertex), fit.Measure, 1e-9) << shape.Name;
    }
  }
}

TEST(ShapeMeasure, RotationGroupOrders) {
  for (const auto& [name, order] : std::vector<std::pair<std::string_view, size_t>>{
           {"L-2", 2}, {"vT-2", 2}, {"TP-3", 6}, {"T-4", 12}, {"SP-4", 8}, {"OC-6", 24},
           {"TPR-6", 6}, {"CU-8", 24}, {"SAPR-8", 8}, {"IC-12", 60}, {"COC-12", 24}})
    EXPECT_EQ(ShapeRotations(Shape(name)).size(), order) << name;
}

// The exact derivatives of a measure against central differences.
TEST(ShapeMeasure, DerivativesOfTheMeasure) {
  std::mt19937 random(3);
  const TIdealPolyhedron& shape = Shape("OC-6");
  const std::vector<TVec3> x = testing::Disguised(shape, 0.2, random);
  const TAssignment a = BestFit(x, shape).Vertex;
  const size_t n = 3 * x.size();
  std::vector<TVec3Of<TDual>> dual(x.size());
  for (size_t i = 0; i < x.size(); ++i)
    for (size_t k = 0; k < 3; ++k) dual[i][k] = TDual::Variable(x[i][k], 3 * i + k, n);
  const TDual s = MeasureFor(dual, shape, a);
  auto at = [&](size_t i, double di, size_t j, double dj) {
    std::vector<TVec3> y = x;
    y[i / 3][i % 3] += di;
    y[j / 3][j % 3] += dj;
    return MeasureFor(y, shape, a);
  };
  const double h = 1e-4;
  for (size_t i = 0; i < n; i += 4) {
    EXPECT_NEAR(s.G[i], (at(i, h, i, 0) - at(i, -h, i, 0)) / (2 * h), 1e-5);
    for (size_t j = 0; j < n; j += 5) {
      const double fd = (at(i, h, j, h) - at(i, h, j, -h) - at(i, -h, j, h) + at(i, -h, j, -h)) / (4 * h * h);
      EXPECT_NEAR(s.H[i * n + j], fd, 1e-3 * (1 + std::fabs(fd)));
    }
  }
}

// An octahedron fits the trigonal prism in several assignments that the
// prism's rotations do not relate: each is listed once.
TEST(ShapeMeasure, FitsUpToListsEveryClassOnce) {
  const TIdealPolyhedron& octahedron = Shape("OC-6");
  std::vector<TVec3> points = octahedron.Vertices;
  points.insert(points.begin(), octahedron.Centre);
  const std::vector<TShapeFit> fits = FitsUpTo(points, Shape("TPR-6"), 16.737 + 1e-3, 1000);
  ASSERT_GT(fits.size(), 1u);
  for (const TShapeFit& f : fits) EXPECT_NEAR(f.Measure, fits.front().Measure, 1e-9);
}

// Of many fits within the limit the best few are kept: the same as the
// head of the whole list.
TEST(ShapeMeasure, FitsUpToKeepsTheBest) {
  std::vector<TVec3> cloud{{0, 0, 0}};
  for (int i = 1; i <= 8; ++i) cloud.push_back({std::sin(3.1 * i), std::cos(7.3 * i), std::sin(1.7 * i * i)});
  const std::vector<TShapeFit> all = FitsUpTo(cloud, Shape("CU-8"), 100, 100000);
  const std::vector<TShapeFit> best = FitsUpTo(cloud, Shape("CU-8"), 100, 7);
  ASSERT_GT(all.size(), 7u);
  ASSERT_EQ(best.size(), 7u);
  for (size_t k = 0; k < best.size(); ++k) EXPECT_EQ(best[k].Measure, all[k].Measure);
}

}  // namespace
}  // namespace koravel
