#pragma once
#include <array>
#include <vector>

#include "geometry/ideal_polyhedra.h"
#include "su/dual.h"
#include "su/vector_math.h"

namespace koravel {

// Continuous shape measures (Pinsky and Avnir, Inorg. Chem. 37 (1998) 5575;
// Alvarez et al., Coord. Chem. Rev. 249 (2005) 1693):
//
//   S(P) = 100 · min Σᵢ |qᵢ − (s R p_π(i) + t)|² / Σᵢ |qᵢ − q̄|²
//
// over proper rotations R, scales s, translations t and assignments π of
// the ligands to the vertices of the reference shape P; q are the central
// atom and the ligands, the central atom matched to P's central position.
// 0 for the ideal shape, 100 at most.

// Ligand i (1-based, in the order of the points) goes to vertex Vertex[i - 1].
using TAssignment = std::vector<int>;

struct TShapeFit {
  TAssignment Vertex;
  double Measure = 0;
};

// The largest eigenvalue of Horn's 4 × 4 matrix of the correlation matrix
// M = Σ qᵢ pᵢᵀ (row-major): max over proper rotations R of Σ qᵢ · R pᵢ
// (Horn, J. Opt. Soc. Am. A 4 (1987) 629). The TDual form carries its exact
// first and second derivatives (the eigenvalue's perturbation series).
double HornMaximum(const std::array<double, 9>& m);
TDual HornMaximum(const std::array<TDual, 9>& m);

// The measure for one assignment, with R, s and t optimal (closed form):
// S = 100 (1 − D² / (|Q|² |P|²)) with Q and P centred and D = HornMaximum.
// A smooth function of the points wherever the largest eigenvalue is simple.
template <typename S>
S MeasureFor(const std::vector<TVec3Of<S>>& points, const TIdealPolyhedron& shape,
             const TAssignment& assignment) {
  const size_t n = points.size();
  TVec3Of<S> mean{S(0), S(0), S(0)};
  for (const TVec3Of<S>& x : points)
    for (int k = 0; k < 3; ++k) mean[k] += x[k];
  for (int k = 0; k < 3; ++k) mean[k] = mean[k] / S(static_cast<double>(n));
  TVec3 pMean = shape.Centre;
  for (const TVec3& v : shape.Vertices) pMean = Plus(pMean, v);
  pMean = Scaled(pMean, 1.0 / static_cast<double>(n));

  std::vector<TVec3Of<S>> q(n);
  for (size_t i = 0; i < n; ++i) q[i] = Diff(points[i], mean);
  const S qq = SumOfSquares(q);
  std::array<S, 9> m{};
  double pp = 0;
  for (size_t i = 0; i < n; ++i) {
    const TVec3 p = Minus(i == 0 ? shape.Centre : shape.Vertices[static_cast<size_t>(assignment[i - 1])], pMean);
    pp += Dot(p, p);
    for (int a = 0; a < 3; ++a)
      for (int b = 0; b < 3; ++b) m[static_cast<size_t>(3 * a + b)] += q[i][a] * S(p[b]);
  }
  const S d = HornMaximum(m);
  return S(100) * (S(1) - d * d / (qq * S(pp)));
}

// Assignments among which the lowest measure is sought again and again, for
// points near the reference points they were given with (the draws of a
// Monte Carlo). Each keeps its Horn maximum λ₀ at the reference: Horn's
// matrix is linear in M, with ‖N(Δ)‖₂ ≤ ‖N(Δ)‖_F = 2‖Δ‖_F, so λ ≤ λ₀ +
// 2‖M − M₀‖_F (Weyl's inequality) bounds it at any other points, and
// ‖M − M₀‖_F ≤ Σᵢ |qᵢ − q₀ᵢ| |p_π(i)|. A candidate whose bound falls below
// the best so far is passed over without even its M; the others start
// Newton's method there.
class TCandidateAssignments {
 public:
  TCandidateAssignments() = default;
  TCandidateAssignments(const std::vector<TVec3>& reference, const TIdealPolyhedron& shape,
                        std::vector<TAssignment> assignments);

  const std::vector<TAssignment>& Assignments() const { return Assignments_; }
  // The lowest of their measures for these points (central atom first).
  double LowestMeasure(const std::vector<TVec3>& points) const;

 private:
  const TIdealPolyhedron* Shape_ = nullptr;
  std::vector<TAssignment> Assignments_;
  std::vector<TVec3> P_;  // the shape's vertices, centred; the centre last
  std::vector<double> PNorm_;
  double PP_ = 0;          // Σ |p|²
  std::vector<TVec3> Q0_;  // the reference points, centred
  std::vector<double> Lambda0_;
};

// The best assignment, by an exact branch and bound: the global minimum.
// `points` hold the central atom, then as many ligands as the shape has
// vertices.
TShapeFit BestFit(const std::vector<TVec3>& points, const TIdealPolyhedron& shape);

// The assignments whose measure is at most `limit`, one of each class of
// assignments that the shape's rotations turn into one another (they give
// the same measure), the best first; of more than `most`, the best `most`.
std::vector<TShapeFit> FitsUpTo(const std::vector<TVec3>& points, const TIdealPolyhedron& shape,
                                double limit, size_t most);

// The proper rotations that map the shape onto itself, each as the
// permutation of the vertices it makes (the identity first).
std::vector<std::vector<int>> ShapeRotations(const TIdealPolyhedron& shape);

}  // namespace koravel
