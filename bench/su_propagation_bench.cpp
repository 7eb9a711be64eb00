// Time of the su propagation of an angle sum: a central atom with twelve
// ligands that are centroids of six-membered rings (219 refined coordinates,
// with the second-order term), and a plain four-coordinate centre; and the
// time of the geometry indices of a six-coordinate centre with their su.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "crystal/cell.h"
#include "crystal/structure.h"
#include "geometry/analysis.h"
#include "su/parameters.h"
#include "su/propagation.h"

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

// The structure, its free parameters and the points: the centre first.
struct TBenchStructure {
  TStructure S;
  TParameters Params;
  std::vector<TPoint> Points;
};

// The central atom in the middle of the cell and a point along each of
// `directions` (unit vectors); each point is a ring of `ringSize` atoms 1.4 Å
// from its centre, or one atom when ringSize is 1.
TBenchStructure MakeStructure(const std::vector<TVec3>& directions, int ringSize) {
  TBenchStructure s;
  s.S.Cell = BenchCell();
  s.S.SymOps = {IdentitySymOp()};
  const TMat3 ortho = OrthoMatrix(s.S.Cell);
  const TVec3 centre = {10.0, 11.0, 11.5};
  auto addAtom = [&](const TVec3& cart) {
    TAtom atom;
    atom.Label = std::string("C").append(std::to_string(s.S.Atoms.size() + 1));
    atom.Element = std::string("C");
    atom.Frac = FracOf(ortho, cart);
    atom.FracSu = {0.00011, 0.00009, 0.00012};
    s.S.Atoms.push_back(atom);
    return TSiteRef{static_cast<int>(s.S.Atoms.size()) - 1, 0, {}};
  };
  s.Points = {{addAtom(centre)}};
  for (const TVec3& dir : directions) {
    const double dist = ringSize == 1 ? 2.0 : 2.1;
    const TVec3 mid = Plus(centre, Scaled(dir, dist));
    if (ringSize == 1) {
      s.Points.push_back({addAtom(mid)});
      continue;
    }
    // Two unit vectors perpendicular to the direction span the ring's plane.
    TVec3 u = std::fabs(dir[2]) < 0.9 ? TVec3{-dir[1], dir[0], 0} : TVec3{0, -dir[2], dir[1]};
    u = Scaled(u, 1 / Norm(u));
    const TVec3 w = Cross(dir, u);
    TPoint ring;
    for (int k = 0; k < ringSize; ++k) {
      const double phi = 2 * std::numbers::pi * k / ringSize;
      const TVec3 radial = Plus(Scaled(u, std::cos(phi)), Scaled(w, std::sin(phi)));
      ring.push_back(addAtom(Plus(mid, Scaled(radial, 1.4))));
    }
    s.Points.push_back(ring);
  }
  s.Params = FreeParameters(s.S, nullptr);
  return s;
}

// `count` well-spread directions (a golden-angle spiral).
std::vector<TVec3> SpiralDirections(int count) {
  std::vector<TVec3> directions;
  const double golden = std::numbers::pi * (3 - std::sqrt(5.0));
  for (int i = 0; i < count; ++i) {
    const double z = 1 - (2 * i + 1.0) / count;
    const double r = std::sqrt(1 - z * z);
    directions.push_back({r * std::cos(golden * i), r * std::sin(golden * i), z});
  }
  return directions;
}

void RunAngleSum(benchmark::State& state, const TBenchStructure& s) {
  const TQuantity sum = MakeQuantity(TAngleSumOfPoints());
  for (auto _ : state) benchmark::DoNotOptimize(Propagate(s.S, s.Params, s.Points, sum, true));
}

void BM_AngleSumTwelveSixAtomCentroids(benchmark::State& state) {
  RunAngleSum(state, MakeStructure(SpiralDirections(12), 6));
}
void BM_AngleSumFourAtoms(benchmark::State& state) {
  RunAngleSum(state, MakeStructure(SpiralDirections(4), 1));
}

// The analysis of an octahedron (the ligands along `directions`): every
// angle, the sum and every descriptor with its su and gap notes.
void RunAnalysis(benchmark::State& state, const std::vector<TVec3>& directions) {
  std::vector<TVec3> unit;
  for (const TVec3& d : directions) unit.push_back(Scaled(d, 1 / Norm(d)));
  TBenchStructure s = MakeStructure(unit, 1);
  TModel model;
  model.Structure = s.S;
  const TCentre centre{s.Points[0][0], "Fe1", "Fe", false};
  TLigandSet ligands;
  for (size_t i = 1; i < s.Points.size(); ++i) {
    const TSiteRef& site = s.Points[i][0];
    ligands.List.push_back({site, model.Structure.Atoms[static_cast<size_t>(site.Atom)].Label, "C",
                            false, {site}, 2.0});
  }
  for (auto _ : state) benchmark::DoNotOptimize(AnalyseSphere(model, centre, ligands, {}));
}

// A distorted octahedron: everything propagated.
void BM_AnalysisOfAnOctahedron(benchmark::State& state) {
  RunAnalysis(state, {{1, 0.05, 0}, {-1, 0, 0.08}, {0, 1, 0}, {0.1, -1, 0}, {0, 0, 1}, {0, 0.04, -1}});
}

// The same with its three trans angles straight between independent atoms,
// as a file without symmetry lists an octahedron on an inversion centre: the
// sum's su comes from the Monte Carlo; the difference to the case above is
// what the Monte Carlo costs.
void BM_AnalysisAcrossStraightAngles(benchmark::State& state) {
  RunAnalysis(state, {{1, 0.05, 0}, {-1, -0.05, 0}, {0.1, 1, 0}, {-0.1, -1, 0}, {0, 0.04, 1}, {0, -0.04, -1}});
}

BENCHMARK(BM_AngleSumTwelveSixAtomCentroids)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AngleSumFourAtoms)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnalysisOfAnOctahedron)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnalysisAcrossStraightAngles)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace koravel
