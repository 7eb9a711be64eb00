// Time of the continuous shape measures: every reference shape of n vertices
// (the search alone) for a centre near an ideal shape (each vertex moved by
// 0.1 of the bond) and for points scattered on a sphere, the search's worst
// case (every shape far, little to prune). Goals: n <= 6 under 1 ms, n = 8
// under 20 ms, n = 12 under 500 ms per centre.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "geometry/shape_measure.h"

namespace koravel {
namespace {

std::vector<TVec3> Centre(size_t n, bool nearShape, std::mt19937& random) {
  std::normal_distribution<double> gauss;
  std::vector<TVec3> points;
  if (nearShape) {
    for (const TIdealPolyhedron& s : IdealPolyhedra())
      if (s.Vertices.size() == n) {
        points = s.Vertices;
        points.insert(points.begin(), s.Centre);
        break;
      }
    for (TVec3& p : points)
      for (double& c : p) c = 2.2 * c + 0.1 * gauss(random);
    return points;
  }
  points.push_back({0, 0, 0});
  for (size_t i = 0; i < n; ++i) {
    const TVec3 d{gauss(random), gauss(random), gauss(random)};
    points.push_back(Scaled(d, 2.2 / Norm(d)));
  }
  return points;
}

void BM_AllShapes(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  std::mt19937 random(static_cast<unsigned>(n));
  std::vector<std::vector<TVec3>> centres;
  for (int k = 0; k < 8; ++k) centres.push_back(Centre(n, state.range(1) != 0, random));
  size_t k = 0;
  for (auto _ : state) {
    const std::vector<TVec3>& points = centres[k++ % centres.size()];
    for (const TIdealPolyhedron& s : IdealPolyhedra())
      if (s.Vertices.size() == n) benchmark::DoNotOptimize(BestFit(points, s));
  }
}
BENCHMARK(BM_AllShapes)
    ->ArgNames({"n", "near"})
    ->ArgsProduct({{4, 6, 8, 10, 12}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace koravel
