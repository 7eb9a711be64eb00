#include "geometry/shape_measure.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <numeric>

namespace koravel {

namespace {

using TMat4 = std::array<std::array<double, 4>, 4>;
using TScatter = std::array<double, 6>;  // xx, yy, zz, xy, xz, yz

// Horn's symmetric, traceless 4 × 4 matrix of M = Σ qᵢ pᵢᵀ, whose largest
// eigenvalue is max over proper R of Σ qᵢ · R pᵢ (Horn 1987, eq. 41).
TMat4 HornMatrix(const std::array<double, 9>& m) {
  const double xx = m[0], xy = m[1], xz = m[2], yx = m[3], yy = m[4], yz = m[5], zx = m[6], zy = m[7],
               zz = m[8];
  return {{{xx + yy + zz, yz - zy, zx - xz, xy - yx},
           {yz - zy, xx - yy - zz, xy + yx, zx + xz},
           {zx - xz, xy + yx, -xx + yy - zz, yz + zy},
           {xy - yx, zx + xz, yz + zy, -xx - yy + zz}}};
}

double Det3(double a, double b, double c, double d, double e, double f, double g, double h, double i) {
  return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

// By the 2 × 2 minors of the first two rows and of the last two (Laplace).
double Det4(const TMat4& n) {
  const auto& a = n[0];
  const auto& b = n[1];
  const auto& c = n[2];
  const auto& d = n[3];
  const double s0 = a[0] * b[1] - a[1] * b[0], s1 = a[0] * b[2] - a[2] * b[0];
  const double s2 = a[0] * b[3] - a[3] * b[0], s3 = a[1] * b[2] - a[2] * b[1];
  const double s4 = a[1] * b[3] - a[3] * b[1], s5 = a[2] * b[3] - a[3] * b[2];
  const double c5 = c[2] * d[3] - c[3] * d[2], c4 = c[1] * d[3] - c[3] * d[1];
  const double c3 = c[1] * d[2] - c[2] * d[1], c2 = c[0] * d[3] - c[3] * d[0];
  const double c1 = c[0] * d[2] - c[2] * d[0], c0 = c[0] * d[1] - c[1] * d[0];
  return s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
}

// The eigenvalues (descending) and eigenvectors (columns) of a symmetric
// 4 × 4 matrix by cyclic Jacobi rotations.
void Jacobi(TMat4 a, std::array<double, 4>& values, TMat4& vectors) {
  TMat4 v{};
  for (size_t i = 0; i < 4; ++i) v[i][i] = 1;
  for (int sweep = 0; sweep < 60; ++sweep) {
    double off = 0, all = 0;
    for (size_t i = 0; i < 4; ++i)
      for (size_t j = 0; j < 4; ++j) (i == j ? all : off) += a[i][j] * a[i][j];
    if (off <= 1e-32 * (all + off)) break;
    for (size_t p = 0; p < 3; ++p)
      for (size_t q = p + 1; q < 4; ++q) {
        if (a[p][q] == 0) continue;
        const double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
        const double t = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (size_t k = 0; k < 4; ++k) {
          const double akp = a[k][p], akq = a[k][q];
          a[k][p] = c * akp - s * akq;
          a[k][q] = s * akp + c * akq;
        }
        for (size_t k = 0; k < 4; ++k) {
          const double apk = a[p][k], aqk = a[q][k];
          a[p][k] = c * apk - s * aqk;
          a[q][k] = s * apk + c * aqk;
        }
        for (size_t k = 0; k < 4; ++k) {
          const double vkp = v[k][p], vkq = v[k][q];
          v[k][p] = c * vkp - s * vkq;
          v[k][q] = s * vkp + c * vkq;
        }
      }
  }
  std::array<size_t, 4> order{0, 1, 2, 3};
  std::sort(order.begin(), order.end(), [&](size_t x, size_t y) { return a[x][x] > a[y][y]; });
  for (size_t k = 0; k < 4; ++k) {
    values[k] = a[order[k]][order[k]];
    for (size_t i = 0; i < 4; ++i) vectors[i][k] = v[i][order[k]];
  }
}

// Horn's maximum by Newton's method on the characteristic polynomial
// λ⁴ + c₂λ² + c₁λ + c₀ of Horn's matrix, started above the largest root
// (√3 ‖M‖ ≥ σ₁ + σ₂ + σ₃): above it every derivative is positive, so the
// iteration approaches the root from above (Theobald, Acta Cryst. A61 (2005)
// 478). A simple root takes a handful of steps; a double root (collinear
// points) converges only linearly and ends at the polynomial's rounding
// noise, about 1e-8 of λ.
struct TNewtonRoot {
  double Lambda = 0;
  int Steps = 0;
};

TNewtonRoot HornNewton(const std::array<double, 9>& m, double frobenius,
                       double floor = -std::numeric_limits<double>::infinity(),
                       double above = std::numeric_limits<double>::infinity()) {
  if (frobenius == 0) return {};
  const double c2 = -2 * frobenius;
  const double c1 = -8 * Det3(m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8]);
  const double c0 = Det4(HornMatrix(m));
  // Started at √3 ‖M‖ or at a closer upper bound of the root, when one is known.
  TNewtonRoot root{std::min(std::sqrt(3 * frobenius), above), 0};
  double& lambda = root.Lambda;
  while (root.Steps < 100) {
    ++root.Steps;
    const double l2 = lambda * lambda;
    const double f = (l2 + c2) * l2 + c1 * lambda + c0;
    const double df = 4 * l2 * lambda + 2 * c2 * lambda + c1;
    if (!(df > 0) || !(f > 0)) break;
    const double next = lambda - f / df;
    if (!(next < lambda)) break;
    const bool done = lambda - next < 1e-15 * lambda;
    lambda = next;
    if (done || lambda < floor) break;  // below the floor: the root is too
  }
  return root;
}

double Frobenius(const std::array<double, 9>& m) {
  double sum = 0;
  for (double x : m) sum += x * x;
  return sum;
}

// Horn's maximum to the last digits: Newton's value where it converged
// quadratically, else (a double or nearly double root) the Jacobi method's.
double LargestEigenvalue(const std::array<double, 9>& m) {
  const TNewtonRoot root = HornNewton(m, Frobenius(m));
  if (root.Steps <= 20) return root.Lambda;
  std::array<double, 4> values;
  TMat4 vectors;
  Jacobi(HornMatrix(m), values, vectors);
  return values[0];
}

// The singular values (descending) of the 3 × m matrix of a point set from
// its scatter Σ x xᵀ: the square roots of the scatter's eigenvalues, by the
// trigonometric solution of the characteristic cubic (Smith, Commun. ACM 4
// (1961) 168).
std::array<double, 3> SingularValues(const TScatter& s) {
  const double p1 = s[3] * s[3] + s[4] * s[4] + s[5] * s[5];
  const double q = (s[0] + s[1] + s[2]) / 3;
  std::array<double, 3> e;
  if (p1 <= 1e-30 * (q * q + 1e-300)) {
    e = {s[0], s[1], s[2]};
  } else {
    const double p2 = (s[0] - q) * (s[0] - q) + (s[1] - q) * (s[1] - q) + (s[2] - q) * (s[2] - q) + 2 * p1;
    const double p = std::sqrt(p2 / 6);
    const double b0 = (s[0] - q) / p, b1 = (s[1] - q) / p, b2 = (s[2] - q) / p;
    const double b3 = s[3] / p, b4 = s[4] / p, b5 = s[5] / p;
    const double r = std::clamp(Det3(b0, b3, b4, b3, b1, b5, b4, b5, b2) / 2, -1.0, 1.0);
    const double phi = std::acos(r) / 3;
    e[0] = q + 2 * p * std::cos(phi);
    e[2] = q + 2 * p * std::cos(phi + 2 * std::numbers::pi / 3);
    e[1] = 3 * q - e[0] - e[2];
  }
  for (double& x : e) x = std::sqrt(std::max(x, 0.0));
  std::sort(e.begin(), e.end(), std::greater<>());
  return e;
}

TScatter ScatterOf(const TVec3& x) {
  return {x[0] * x[0], x[1] * x[1], x[2] * x[2], x[0] * x[1], x[0] * x[2], x[1] * x[2]};
}

void Add(TScatter& s, const TScatter& t, double sign) {
  for (size_t k = 0; k < 6; ++k) s[k] += sign * t[k];
}

// M += q pᵀ.
void AddOuter(std::array<double, 9>& m, const TVec3& q, const TVec3& p) {
  m[0] += q[0] * p[0], m[1] += q[0] * p[1], m[2] += q[0] * p[2];
  m[3] += q[1] * p[0], m[4] += q[1] * p[1], m[5] += q[1] * p[2];
  m[6] += q[2] * p[0], m[7] += q[2] * p[1], m[8] += q[2] * p[2];
}

// The points centred on their centroid and scaled to Σ |x|² = 1.
std::vector<TVec3> Normalised(std::vector<TVec3> x) {
  TVec3 mean{0, 0, 0};
  for (const TVec3& v : x) mean = Plus(mean, v);
  mean = Scaled(mean, 1.0 / static_cast<double>(x.size()));
  double sum = 0;
  for (TVec3& v : x) {
    v = Minus(v, mean);
    sum += Dot(v, v);
  }
  const double scale = sum > 0 ? 1 / std::sqrt(sum) : 1;
  for (TVec3& v : x) v = Scaled(v, scale);
  return x;
}

// What the search needs of a reference shape, whatever the points: its
// vertices and centre normalised, its rotations, and the singular values of
// each set of its vertices (a bit per vertex), which the bound on the
// ligands not yet assigned reads again and again. Those are filled in as
// searches meet them and kept for every later search in the process: a
// survey meets the same shapes at every centre.
class TShapeFrame {
 public:
  explicit TShapeFrame(const TIdealPolyhedron& shape)
      : Rotations(ShapeRotations(shape)), Sigma_(std::size_t{1} << shape.Vertices.size()) {
    std::vector<TVec3> p = shape.Vertices;
    p.push_back(shape.Centre);
    p = Normalised(p);
    Centre = p.back();
    p.pop_back();
    Vertices = p;
  }

  // The frame of a shape of the table, made on first use; another shape's
  // is made for the caller in `own`.
  static const TShapeFrame& Of(const TIdealPolyhedron& shape, std::unique_ptr<TShapeFrame>& own) {
    const std::vector<TIdealPolyhedron>& table = IdealPolyhedra();
    if (&shape < table.data() || &shape >= table.data() + table.size()) {
      own = std::make_unique<TShapeFrame>(shape);
      return *own;
    }
    struct TSlot {
      std::once_flag Once;
      std::unique_ptr<TShapeFrame> Frame;
    };
    static const std::unique_ptr<TSlot[]> slots(new TSlot[table.size()]);
    TSlot& slot = slots[static_cast<size_t>(&shape - table.data())];
    std::call_once(slot.Once, [&] { slot.Frame = std::make_unique<TShapeFrame>(shape); });
    return *slot.Frame;
  }

  // σ of the vertices in `set`. Threads that meet a set at once both
  // compute it and store the same values.
  std::array<double, 3> Sigma(std::uint32_t set) const {
    TSigma& s = Sigma_[set];
    if (s.Known.load(std::memory_order_acquire))
      return {s.Value[0].load(std::memory_order_relaxed), s.Value[1].load(std::memory_order_relaxed),
              s.Value[2].load(std::memory_order_relaxed)};
    TScatter scatter{};
    for (size_t j = 0; j < Vertices.size(); ++j)
      if (set & (1u << j)) Add(scatter, ScatterOf(Vertices[j]), 1);
    const std::array<double, 3> sigma = SingularValues(scatter);
    for (size_t k = 0; k < 3; ++k) s.Value[k].store(sigma[k], std::memory_order_relaxed);
    s.Known.store(true, std::memory_order_release);
    return sigma;
  }

  std::vector<TVec3> Vertices;
  TVec3 Centre{};
  std::vector<std::vector<int>> Rotations;

 private:
  struct TSigma {
    std::atomic<bool> Known{false};
    std::array<std::atomic<double>, 3> Value{};
  };
  mutable std::vector<TSigma> Sigma_;
};

// The branch and bound over assignments. Ligands are assigned one by one;
// for a partial assignment A the largest attainable D = max_R Σ qᵢ · R p_π(i)
// is bounded by
//
//   max_R Σ_{i ∈ A} qᵢ · R p_π(i)  +  Σₖ σₖ(Q_rest) σₖ(P_free),
//
// the first term Horn's maximum over the assigned pairs and the central
// atom, the second von Neumann's trace inequality (|tr(A B)| ≤ Σ σₖ(A) σₖ(B))
// for the ligands not yet assigned and the vertices still free, whatever
// their pairing and the rotation. Both terms can only exceed the part of D
// they stand for, so the bound never cuts the optimum; at a full assignment
// it is D itself. Of the assignments that the shape's rotations turn into
// one another only one is visited: the vertex of each next ligand must be
// the first of its orbit under the rotations that fix the vertices already
// taken (a stabiliser chain), which leaves n!/|G| leaves.
class TShapeSearch {
 public:
  // How far D may differ between the members of a class of assignments, for
  // figures symmetric to about 1e-8: a branch is cut only when its bound
  // falls short by more.
  static constexpr double kClassSpread = 1e-6;

  TShapeSearch(const std::vector<TVec3>& points, const TIdealPolyhedron& shape)
      : N_(shape.Vertices.size()),
        Frame_(TShapeFrame::Of(shape, OwnFrame_)),
        Group_(Frame_.Rotations),
        P_(Frame_.Vertices),
        PCentre_(Frame_.Centre) {
    Q_ = Normalised(points);
    // Ligands far from those already taken first: the bound bites sooner.
    std::vector<bool> taken(N_ + 1, false);
    for (size_t k = 0; k < N_; ++k) {
      size_t best = 0;
      double bestScore = -1;
      for (size_t i = 1; i <= N_; ++i) {
        if (taken[i]) continue;
        double score = Dot(Q_[i], Q_[i]);
        for (size_t j : Order_) score = std::min(score, Dot(Minus(Q_[i], Q_[j]), Minus(Q_[i], Q_[j])));
        if (score > bestScore) bestScore = score, best = i;
      }
      taken[best] = true;
      Order_.push_back(best);
    }
    for (size_t d = 0; d < N_; ++d) QNorm_.push_back(Norm(Q_[Order_[d]]));
    for (const TVec3& v : P_) PNorm_.push_back(Norm(v));
    RestSigma_.assign(N_ + 1, {0, 0, 0});
    TScatter rest{};
    for (size_t d = N_; d-- > 0;) {
      Add(rest, ScatterOf(Q_[Order_[d]]), 1);
      RestSigma_[d] = SingularValues(rest);
    }
  }

  // The best assignment, or (collect) the best `most` of those whose
  // measure is at most `limitMeasure`.
  std::vector<TShapeFit> Run(double limitMeasure, bool collect, size_t most = 1) {
    Collect_ = collect;
    Most_ = most;
    LimitD_ = collect ? std::sqrt(std::max(0.0, 1 - limitMeasure / 100)) : -1;
    Vertex_.assign(N_, -1);
    std::array<double, 9> m{};
    AddOuter(m, Q_[0], PCentre_);
    Children_.assign(N_, {});
    for (std::vector<TChild>& c : Children_) c.reserve(N_);
    Stabilisers_.assign(N_, {});
    for (std::vector<size_t>& s : Stabilisers_) s.reserve(Group_.size());
    Stabilisers_[0].resize(Group_.size());
    std::iota(Stabilisers_[0].begin(), Stabilisers_[0].end(), 0);
    // A single pair: max over R of q · R p is |q| |p|.
    Descend(0, m, Norm(Q_[0]) * Norm(PCentre_), 0);
    std::sort(Found_.begin(), Found_.end(),
              [](const TShapeFit& a, const TShapeFit& b) { return a.Measure < b.Measure; });
    return Found_;
  }

 private:
  // A full assignment: the best of its class (the figures are symmetric to
  // about 1e-8, so the members of a class differ in the last digits).
  void Leaf() {
    double d = -1;
    TAssignment best;
    for (const std::vector<int>& g : Group_) {
      std::array<double, 9> m{};
      AddOuter(m, Q_[0], PCentre_);
      TAssignment a(N_);
      for (size_t i = 0; i < N_; ++i) {
        a[i] = g[static_cast<size_t>(Vertex_[i])];
        AddOuter(m, Q_[i + 1], P_[static_cast<size_t>(a[i])]);
      }
      if (const double dg = LargestEigenvalue(m); dg > d) d = dg, best = a;
    }
    const double measure = std::max(0.0, 100 * (1 - d * d));
    if (Collect_) {
      // A heap with the worst kept fit on top; once it is full, only a
      // better one enters, and the worst kept D becomes the limit.
      auto worse = [](const TShapeFit& a, const TShapeFit& b) { return a.Measure < b.Measure; };
      if (Found_.size() == Most_) {
        if (!(measure < Found_.front().Measure)) return;
        std::pop_heap(Found_.begin(), Found_.end(), worse);
        Found_.pop_back();
      }
      Found_.push_back({best, measure});
      std::push_heap(Found_.begin(), Found_.end(), worse);
      if (Found_.size() == Most_)
        LimitD_ = std::max(LimitD_, std::sqrt(std::max(0.0, 1 - Found_.front().Measure / 100)));
    } else if (d > LimitD_) {
      LimitD_ = d;
      Found_ = {{best, measure}};
    }
  }

  // The children of a node are weighed first, then visited best first; the
  // buffers of each depth are kept, so that the search allocates nothing.
  void Descend(size_t depth, const std::array<double, 9>& m, double lambda, std::uint32_t used) {
    std::vector<TChild>& children = Children_[depth];
    children.clear();
    const std::vector<size_t>& stabiliser = Stabilisers_[depth];
    const TVec3& q = Q_[Order_[depth]];
    const std::uint32_t all = (1u << N_) - 1;
    for (size_t j = 0; j < N_; ++j) {
      if (used & (1u << j)) continue;
      const bool first = std::all_of(stabiliser.begin(), stabiliser.end(),
                                     [&](size_t g) { return Group_[g][j] >= static_cast<int>(j); });
      if (!first) continue;
      TChild c{static_cast<int>(j), 0, 0, m};
      AddOuter(c.M, q, P_[j]);
      double rest = 0;
      if (depth + 1 < N_) {
        const std::array<double, 3> sp = Frame_.Sigma(all & ~(used | (1u << j)));
        const std::array<double, 3>& sq = RestSigma_[depth + 1];
        rest = sq[0] * sp[0] + sq[1] * sp[1] + sq[2] * sp[2];
      }
      // One more pair q pᵀ moves Horn's matrix by one whose norm is |q| |p|
      // (its eigenvalues are ±|q| |p|), so the parent's maximum plus that
      // bounds the child's (Weyl): a child it cuts needs no eigenvalue, and
      // Newton starts there. Its iterates fall from above: one below what
      // the child needs settles it, without the last steps of convergence.
      const double frobenius = Frobenius(c.M);
      const double margin = 1e-7 * std::sqrt(frobenius);
      const double cut = LimitD_ - kClassSpread;
      const double above = lambda + QNorm_[depth] * PNorm_[j] + margin;
      if (above + margin + rest < cut) continue;
      c.Lambda = HornNewton(c.M, frobenius, cut - rest - margin, above).Lambda;
      c.Bound = c.Lambda + margin + rest;
      if (c.Bound < cut) continue;
      children.push_back(c);
    }
    std::sort(children.begin(), children.end(),
              [](const TChild& a, const TChild& b) { return a.Bound > b.Bound; });
    for (size_t k = 0; k < children.size(); ++k) {
      const TChild& c = children[k];
      if (c.Bound < LimitD_ - kClassSpread) break;
      Vertex_[Order_[depth] - 1] = c.Vertex;
      if (depth + 1 == N_) {
        Leaf();
        continue;
      }
      std::vector<size_t>& fixing = Stabilisers_[depth + 1];
      fixing.clear();
      for (size_t g : stabiliser)
        if (Group_[g][static_cast<size_t>(c.Vertex)] == c.Vertex) fixing.push_back(g);
      Descend(depth + 1, c.M, c.Lambda, used | (1u << c.Vertex));
    }
    Vertex_[Order_[depth] - 1] = -1;
  }

  struct TChild {
    int Vertex;
    double Bound;   // of the best D below it
    double Lambda;  // Horn's maximum of the pairs taken so far
    std::array<double, 9> M;
  };

  size_t N_;
  std::unique_ptr<TShapeFrame> OwnFrame_;  // of a shape from outside the table
  const TShapeFrame& Frame_;
  const std::vector<std::vector<int>>& Group_;
  const std::vector<TVec3>& P_;
  const TVec3& PCentre_;
  std::vector<TVec3> Q_;
  std::vector<size_t> Order_;
  std::vector<std::array<double, 3>> RestSigma_;
  double LimitD_ = -1;
  bool Collect_ = false;
  size_t Most_ = 1;
  TAssignment Vertex_;
  std::vector<TShapeFit> Found_;
  std::vector<double> QNorm_, PNorm_;  // |q| of the ligand of each depth, |p| of each vertex
  std::vector<std::vector<TChild>> Children_;      // of the node at each depth
  std::vector<std::vector<size_t>> Stabilisers_;  // rotations fixing the vertices taken above each depth
};

// The orthonormal frame of u and the part of w normal to it.
TMat3 FrameOf(const TVec3& u, const TVec3& w) {
  const TVec3 e1 = Scaled(u, 1 / Norm(u));
  const TVec3 w2 = Minus(w, Scaled(e1, Dot(w, e1)));
  const TVec3 e2 = Scaled(w2, 1 / Norm(w2));
  return {e1, e2, Cross(e1, e2)};
}

}  // namespace

double HornMaximum(const std::array<double, 9>& m) { return LargestEigenvalue(m); }

TDual HornMaximum(const std::array<TDual, 9>& m) {
  // λ₁ with ∂λ₁/∂mₐ = u₁ᵀ Eₐ u₁ and ∂²λ₁/∂mₐ∂m_b = 2 Σ_{k>1} (u₁ᵀ Eₐ uₖ)(u₁ᵀ E_b uₖ)/(λ₁ − λₖ),
  // Eₐ = ∂N/∂mₐ (first- and second-order perturbation theory; N is linear
  // in m). A degenerate pair leaves out its second-order term.
  std::array<double, 9> values;
  for (size_t a = 0; a < 9; ++a) values[a] = m[a].V;
  std::array<double, 4> lambda;
  TMat4 u;
  Jacobi(HornMatrix(values), lambda, u);
  // (u₁ᵀ Eₐ uₖ) for every a and k.
  std::array<std::array<double, 4>, 9> couple{};
  for (size_t a = 0; a < 9; ++a) {
    std::array<double, 9> unit{};
    unit[a] = 1;
    const TMat4 e = HornMatrix(unit);
    for (size_t k = 0; k < 4; ++k)
      for (size_t i = 0; i < 4; ++i)
        for (size_t j = 0; j < 4; ++j) couple[a][k] += u[i][0] * e[i][j] * u[j][k];
  }
  TDual local(lambda[0]);
  local.G.assign(9, 0.0);
  local.H.assign(81, 0.0);
  for (size_t a = 0; a < 9; ++a) local.G[a] = couple[a][0];
  const double scale = std::fabs(lambda[0]) + std::fabs(lambda[3]) + 1e-300;
  for (size_t k = 1; k < 4; ++k) {
    const double gap = lambda[0] - lambda[k];
    if (gap <= 1e-12 * scale) continue;
    for (size_t a = 0; a < 9; ++a)
      for (size_t b = 0; b < 9; ++b) local.H[9 * a + b] += 2 * couple[a][k] * couple[b][k] / gap;
  }
  std::vector<const TDual*> inputs;
  for (const TDual& x : m) inputs.push_back(&x);
  return ChainMany(inputs, local);
}

namespace {

// The correlation matrix Σ qᵢ pᵢᵀ of points (central atom first) centred on
// their centroid and the shape's centred vertices (centre last) under an
// assignment: |Q| and |P| are the same for every assignment, so the one with
// the largest Horn maximum has the lowest measure.
std::array<double, 9> Correlation(const std::vector<TVec3>& points, const std::vector<TVec3>& p,
                                  const TAssignment& assignment) {
  const size_t n = points.size();
  TVec3 mean{0, 0, 0};
  for (const TVec3& x : points) mean = Plus(mean, x);
  mean = Scaled(mean, 1.0 / static_cast<double>(n));
  std::array<double, 9> m{};
  AddOuter(m, Minus(points[0], mean), p.back());
  for (size_t i = 1; i < n; ++i) AddOuter(m, Minus(points[i], mean), p[static_cast<size_t>(assignment[i - 1])]);
  return m;
}

}  // namespace

TCandidateAssignments::TCandidateAssignments(const std::vector<TVec3>& reference, const TIdealPolyhedron& shape,
                                             std::vector<TAssignment> assignments)
    : Shape_(&shape), Assignments_(std::move(assignments)) {
  const size_t n = shape.Vertices.size() + 1;
  TVec3 pMean = shape.Centre;
  for (const TVec3& v : shape.Vertices) pMean = Plus(pMean, v);
  pMean = Scaled(pMean, 1.0 / static_cast<double>(n));
  for (const TVec3& v : shape.Vertices) P_.push_back(Minus(v, pMean));
  P_.push_back(Minus(shape.Centre, pMean));
  for (const TVec3& p : P_) {
    PNorm_.push_back(Norm(p));
    PP_ += Dot(p, p);
  }
  TVec3 mean{0, 0, 0};
  for (const TVec3& x : reference) mean = Plus(mean, x);
  mean = Scaled(mean, 1.0 / static_cast<double>(reference.size()));
  for (const TVec3& x : reference) Q0_.push_back(Minus(x, mean));
  for (const TAssignment& a : Assignments_) {
    const std::array<double, 9> m0 = Correlation(reference, P_, a);
    Lambda0_.push_back(HornNewton(m0, Frobenius(m0)).Lambda);
  }
}

double TCandidateAssignments::LowestMeasure(const std::vector<TVec3>& points) const {
  const size_t n = points.size();
  TVec3 mean{0, 0, 0};
  for (const TVec3& x : points) mean = Plus(mean, x);
  mean = Scaled(mean, 1.0 / static_cast<double>(n));
  // ‖M − M₀‖_F ≤ Σᵢ |qᵢ − q₀ᵢ| |p_π(i)|: a bound of each candidate before its M.
  // On the stack for the shapes of the table (13 points at most): a draw
  // allocates nothing.
  constexpr size_t kOnStack = 16;
  std::array<TVec3, kOnStack> qStack;
  std::array<double, kOnStack> movedStack;
  std::vector<TVec3> qHeap(n > kOnStack ? n : 0);
  std::vector<double> movedHeap(n > kOnStack ? n : 0);
  TVec3* q = n > kOnStack ? qHeap.data() : qStack.data();
  double* moved = n > kOnStack ? movedHeap.data() : movedStack.data();
  double qq = 0;
  for (size_t i = 0; i < n; ++i) {
    q[i] = Minus(points[i], mean);
    qq += Dot(q[i], q[i]);
    moved[i] = Norm(Minus(q[i], Q0_[i]));
  }
  double best = -1;
  for (size_t k = 0; k < Assignments_.size(); ++k) {
    const TAssignment& a = Assignments_[k];
    double shift = moved[0] * Norm(P_.back());
    for (size_t i = 1; i < n; ++i) shift += moved[i] * PNorm_[static_cast<size_t>(a[i - 1])];
    const double bound = Lambda0_[k] + 2 * shift * (1 + 1e-12) + 1e-300;
    if (bound <= best) continue;
    std::array<double, 9> m{};
    AddOuter(m, q[0], P_.back());
    for (size_t i = 1; i < n; ++i) AddOuter(m, q[i], P_[static_cast<size_t>(a[i - 1])]);
    best = std::max(best, HornNewton(m, Frobenius(m), best, bound).Lambda);
  }
  return 100 * (1 - best * best / (qq * PP_));
}

std::vector<std::vector<int>> ShapeRotations(const TIdealPolyhedron& shape) {
  const size_t n = shape.Vertices.size();
  std::vector<TVec3> all = shape.Vertices;
  all.push_back(shape.Centre);
  all = Normalised(all);
  const TVec3 centre = all.back();
  all.pop_back();
  constexpr double kSame = 1e-6;
  auto vertexAt = [&](const TVec3& x) {
    for (size_t j = 0; j < n; ++j)
      if (Distance(all[j], x) < kSame) return static_cast<int>(j);
    return -1;
  };
  std::vector<int> identity(n);
  std::iota(identity.begin(), identity.end(), 0);
  std::vector<std::vector<int>> group{identity};
  auto add = [&](const std::vector<int>& g) {
    if (std::find(group.begin(), group.end(), g) == group.end()) group.push_back(g);
  };
  // Two vertices spanning a plane with the centroid fix a rotation by where
  // they go; collinear shapes (a line through the centroid) have at most
  // the half-turn that reverses the line.
  size_t a = 0, b = 0;
  double widest = 0;
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j)
      if (const double c = Norm(Cross(all[i], all[j])); c > widest) widest = c, a = i, b = j;
  if (widest < kSame) {
    std::vector<int> reversed(n);
    bool ok = Norm(centre) < kSame;
    for (size_t j = 0; j < n && ok; ++j) ok = (reversed[j] = vertexAt(Scaled(all[j], -1))) >= 0;
    if (ok) add(reversed);
    return group;
  }
  const TMat3 from = FrameOf(all[a], all[b]);
  for (size_t a2 = 0; a2 < n; ++a2)
    for (size_t b2 = 0; b2 < n; ++b2) {
      if (a2 == b2 || std::fabs(Norm(all[a2]) - Norm(all[a])) > kSame ||
          std::fabs(Norm(all[b2]) - Norm(all[b])) > kSame ||
          std::fabs(Dot(all[a2], all[b2]) - Dot(all[a], all[b])) > kSame)
        continue;
      const TMat3 to = FrameOf(all[a2], all[b2]);
      // R = toᵀ · from: coordinates in the first frame, placed in the second.
      auto rotate = [&](const TVec3& x) {
        const TVec3 local = MatVec(from, x);
        return Plus(Plus(Scaled(to[0], local[0]), Scaled(to[1], local[1])), Scaled(to[2], local[2]));
      };
      if (Distance(rotate(centre), centre) > kSame) continue;
      std::vector<int> g(n);
      bool ok = true;
      for (size_t j = 0; j < n && ok; ++j) ok = (g[j] = vertexAt(rotate(all[j]))) >= 0;
      if (ok) add(g);
    }
  return group;
}

TShapeFit BestFit(const std::vector<TVec3>& points, const TIdealPolyhedron& shape) {
  return TShapeSearch(points, shape).Run(0, false).front();
}

std::vector<TShapeFit> FitsUpTo(const std::vector<TVec3>& points, const TIdealPolyhedron& shape,
                                double limit, size_t most) {
  std::vector<TShapeFit> fits = TShapeSearch(points, shape).Run(limit, true, most);
  if (fits.empty()) fits.push_back(BestFit(points, shape));
  return fits;
}

}  // namespace koravel
