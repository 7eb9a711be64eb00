#pragma once
// Shape-measure test support: distorted copies of reference shapes, and
// the plain continuous shape measure: the minimum over all n! assignments,
// walked by Heap's algorithm (each step swaps two ligands' vertices, so the
// correlation matrix changes by two outer products), with Horn's maximum at
// every one. The reference of the branch and bound, for the tests and the
// benchmark that compare the two.
#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "geometry/shape_measure.h"

namespace koravel::testing {

// The shape's own points (central position first) turned, scaled, moved and
// with the ligands shuffled, plus a random displacement of each of `noise`.
inline std::vector<TVec3> Disguised(const TIdealPolyhedron& shape, double noise, std::mt19937& random) {
  std::normal_distribution<double> gauss;
  double w = gauss(random), x = gauss(random), y = gauss(random), z = gauss(random);
  const double norm = std::sqrt(w * w + x * x + y * y + z * z);
  w /= norm, x /= norm, y /= norm, z /= norm;
  const TMat3 r = {{{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                    {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                    {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}}};
  std::vector<TVec3> vertices = shape.Vertices;
  std::shuffle(vertices.begin(), vertices.end(), random);
  vertices.insert(vertices.begin(), shape.Centre);
  const TVec3 shift{gauss(random), gauss(random), gauss(random)};
  for (TVec3& v : vertices) {
    v = Plus(Scaled(MatVec(r, v), 2.1), shift);
    for (double& c : v) c += noise * gauss(random);
  }
  return vertices;
}

inline double PlainShapeMinimum(const std::vector<TVec3>& points, const TIdealPolyhedron& shape) {
  const size_t n = shape.Vertices.size();
  auto centred = [](std::vector<TVec3> x) {
    TVec3 mean{0, 0, 0};
    for (const TVec3& v : x) mean = Plus(mean, v);
    mean = Scaled(mean, 1.0 / static_cast<double>(x.size()));
    for (TVec3& v : x) v = Minus(v, mean);
    return x;
  };
  const std::vector<TVec3> q = centred(points);
  std::vector<TVec3> p = shape.Vertices;
  p.insert(p.begin(), shape.Centre);
  p = centred(p);
  double qq = 0, pp = 0;
  for (size_t i = 0; i <= n; ++i) qq += Dot(q[i], q[i]), pp += Dot(p[i], p[i]);
  std::vector<size_t> a(n);  // ligand i + 1 goes to vertex a[i] + 1
  std::iota(a.begin(), a.end(), 0);
  std::array<double, 9> m{};
  auto add = [&m](const TVec3& x, const TVec3& y, double sign) {
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) m[static_cast<size_t>(3 * r + c)] += sign * x[r] * y[c];
  };
  for (size_t i = 0; i <= n; ++i) add(q[i], p[i], 1);
  double best = HornMaximum(m);
  std::vector<size_t> c(n, 0);
  for (size_t i = 1; i < n;) {
    if (c[i] < i) {
      const size_t j = i % 2 == 0 ? 0 : c[i];
      add(q[j + 1], p[a[j] + 1], -1), add(q[i + 1], p[a[i] + 1], -1);
      std::swap(a[j], a[i]);
      add(q[j + 1], p[a[j] + 1], 1), add(q[i + 1], p[a[i] + 1], 1);
      best = std::max(best, HornMaximum(m));
      ++c[i];
      i = 1;
    } else {
      c[i++] = 0;
    }
  }
  return std::max(0.0, 100 * (1 - best * best / (qq * pp)));
}

}  // namespace koravel::testing
