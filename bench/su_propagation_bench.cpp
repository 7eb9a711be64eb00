// Time of the su propagation of an angle sum: a central atom with twelve
// ligands that are centroids of six-membered rings (219 refined coordinates,
// with the second-order term), and a plain four-coordinate centre.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "geom/cell.h"
#include "geom/symop.h"
#include "sum/points.h"

namespace koravel {
namespace {

// A monoclinic cell with su on every parameter, so that the cell terms run too.
TCell BenchCell() {
  TCell cell;
  cell.A = 21.5;
  cell.B = 23.1;
  cell.C = 22.7;
  cell.Beta = 97.3;
  cell.SuA = 0.002;
  cell.SuB = 0.003;
  cell.SuC = 0.002;
  cell.SuAlpha = 0.01;
  cell.SuBeta = 0.012;
  cell.SuGamma = 0.01;
  return cell;
}

TVec3 FracOf(const TMat3& ortho, const TVec3& cart) {
  // The cell's matrix is upper triangular: back substitution.
  TVec3 f{};
  f[2] = cart[2] / ortho[2][2];
  f[1] = (cart[1] - ortho[1][2] * f[2]) / ortho[1][1];
  f[0] = (cart[0] - ortho[0][1] * f[1] - ortho[0][2] * f[2]) / ortho[0][0];
  return f;
}

struct TBenchStructure {
  TCell Cell;
  std::vector<TVec3> Frac, Su;
  TPointDef Centre;
  TPointList Ligands;
};

// The central atom in the middle of the cell and `ligands` points around it
// along well-spread directions (a golden-angle spiral); each point is a ring
// of `ringSize` atoms 1.4 Å from its centre, or one atom when ringSize is 1.
TBenchStructure MakeStructure(int ligands, int ringSize) {
  TBenchStructure s;
  s.Cell = BenchCell();
  const TMat3 ortho = OrthoMatrix(s.Cell);
  const TVec3 centre = {10.0, 11.0, 11.5};
  auto addAtom = [&](const TVec3& cart) {
    s.Frac.push_back(FracOf(ortho, cart));
    s.Su.push_back({0.00011, 0.00009, 0.00012});
    return TSiteRef{static_cast<int>(s.Frac.size()) - 1, IdentitySymOp()};
  };
  s.Centre = {addAtom(centre)};
  const double golden = std::numbers::pi * (3 - std::sqrt(5.0));
  for (int i = 0; i < ligands; ++i) {
    const double z = 1 - (2 * i + 1.0) / ligands;
    const double r = std::sqrt(1 - z * z);
    const TVec3 dir = {r * std::cos(golden * i), r * std::sin(golden * i), z};
    const double dist = ringSize == 1 ? 2.0 : 2.1;
    const TVec3 mid = {centre[0] + dist * dir[0], centre[1] + dist * dir[1],
                       centre[2] + dist * dir[2]};
    if (ringSize == 1) {
      s.Ligands.push_back({addAtom(mid)});
      continue;
    }
    // Two unit vectors perpendicular to the direction span the ring's plane.
    TVec3 u = std::fabs(dir[2]) < 0.9 ? TVec3{-dir[1], dir[0], 0} : TVec3{0, -dir[2], dir[1]};
    const double nu = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    for (double& x : u) x /= nu;
    const TVec3 w = {dir[1] * u[2] - dir[2] * u[1], dir[2] * u[0] - dir[0] * u[2],
                     dir[0] * u[1] - dir[1] * u[0]};
    TPointDef ring;
    for (int k = 0; k < ringSize; ++k) {
      const double phi = 2 * std::numbers::pi * k / ringSize;
      TVec3 p{};
      for (int a = 0; a < 3; ++a) p[a] = mid[a] + 1.4 * (std::cos(phi) * u[a] + std::sin(phi) * w[a]);
      ring.push_back(addAtom(p));
    }
    s.Ligands.push_back(ring);
  }
  return s;
}

void RunAngleSum(benchmark::State& state, int ligands, int ringSize) {
  const TBenchStructure s = MakeStructure(ligands, ringSize);
  for (auto _ : state) {
    TSumResult result;
    benchmark::DoNotOptimize(
        AngleSumWithSu(s.Frac, s.Su, s.Centre, s.Ligands, s.Cell, nullptr, result));
    benchmark::DoNotOptimize(result);
  }
}

void BM_AngleSumTwelveSixAtomCentroids(benchmark::State& state) { RunAngleSum(state, 12, 6); }
void BM_AngleSumFourAtoms(benchmark::State& state) { RunAngleSum(state, 4, 1); }

BENCHMARK(BM_AngleSumTwelveSixAtomCentroids)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AngleSumFourAtoms)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace koravel
