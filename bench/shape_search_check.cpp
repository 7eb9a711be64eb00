// The exact shape search against the plain minimum over all n! assignments,
// on random distorted polyhedra of every coordination number from 2 to 9:
// each is a reference shape of that size, turned, shuffled and with every
// point moved by a random fraction (up to 0.6) of the bond, measured against
// a reference shape of the same size drawn at random. Prints, per size, how
// many agree to 1e-9 and the time of each method.
//
//   koravel_shape_search_check [COUNT]   (default 10000 per size)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "geometry/shape_measure.h"
#include "plain_shape_minimum.h"

using namespace koravel;

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::atol(argv[1]) : 10000;
  std::mt19937 random(20261208);
  int failures = 0;
  std::printf("  n  polyhedra  agree  search (ms)  plain (ms)\n");
  for (size_t n = 2; n <= 9; ++n) {
    std::vector<const TIdealPolyhedron*> shapes;
    for (const TIdealPolyhedron& s : IdealPolyhedra())
      if (s.Vertices.size() == n) shapes.push_back(&s);
    std::uniform_int_distribution<size_t> pick(0, shapes.size() - 1);
    std::uniform_real_distribution<double> noise(0.0, 0.6);
    long agree = 0;
    double searchSeconds = 0, plainSeconds = 0;
    for (long k = 0; k < count; ++k) {
      const std::vector<TVec3> points = testing::Disguised(*shapes[pick(random)], 2.1 * noise(random), random);
      const TIdealPolyhedron& against = *shapes[pick(random)];
      const auto t0 = std::chrono::steady_clock::now();
      const double searched = BestFit(points, against).Measure;
      const auto t1 = std::chrono::steady_clock::now();
      const double plain = testing::PlainShapeMinimum(points, against);
      const auto t2 = std::chrono::steady_clock::now();
      searchSeconds += std::chrono::duration<double>(t1 - t0).count();
      plainSeconds += std::chrono::duration<double>(t2 - t1).count();
      if (std::fabs(searched - plain) <= 1e-9) ++agree;
      else std::printf("  n = %zu, %s: search %.12f, plain %.12f\n", n, std::string(against.Name).c_str(), searched, plain);
    }
    failures += static_cast<int>(count - agree);
    std::printf("%3zu %10ld %6ld %12.4f %11.4f\n", n, count, agree, 1e3 * searchSeconds / static_cast<double>(count),
                1e3 * plainSeconds / static_cast<double>(count));
    std::fflush(stdout);
  }
  return failures == 0 ? 0 : 1;
}
