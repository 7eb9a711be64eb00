#include "su/vector_math.h"

namespace koravel {

namespace {

// The angle θ between bond vectors u and w (lengths a, b) in degrees, with
// its gradient and, with `secondOrder`, its Hessian in the six components
// (u then w). In the frame of the plane — û, ŵ; e_u ⟂ u and e_w ⟂ w in the
// plane, each pointing towards the other vector; n̂ its normal —
//   ∂θ/∂u = -e_u/a,  ∂θ/∂w = -e_w/b,
//   ∂²θ/∂u² = (e_u ûᵀ + û e_uᵀ + cot θ n̂n̂ᵀ)/a²,
//   ∂²θ/∂w² = (e_w ŵᵀ + ŵ e_wᵀ + cot θ n̂n̂ᵀ)/b²,
//   ∂²θ/∂u∂w = -n̂n̂ᵀ/(ab sin θ),
// from moving u (or w) along its own direction (θ unchanged, the gradient
// scales as 1/a), within the plane (a rotation of the frame) and out of it
// (the plane tilts). The frame vectors come from cross products, which keep
// their precision near 0 and 180 degrees where ŵ - cos θ û would not.
TDual AngleOfBondVectors(const TVec3& u, const TVec3& w, bool secondOrder) {
  TDual r(AngleBetween(u, w));
  const double a = NormOf(u), b = NormOf(w);
  if (a == 0 || b == 0) return r;
  const TVec3 n = CrossOf(u, w);
  const double ln = NormOf(n), s = ln / (a * b);
  if (s < 1e-9) return r;  // a cone's tip: constant, as AngleBetween
  const TVec3 eu = Scaled(CrossOf(n, u), 1 / (ln * a)), ew = Scaled(CrossOf(w, n), 1 / (ln * b));
  r.G.resize(6);
  for (int i = 0; i < 3; ++i) {
    r.G[i] = -eu[i] / a * kDegPerRad;
    r.G[i + 3] = -ew[i] / b * kDegPerRad;
  }
  if (!secondOrder) return r;
  const TVec3 uh = Scaled(u, 1 / a), wh = Scaled(w, 1 / b), nh = Scaled(n, 1 / ln);
  const double cot = DotOf(u, w) / ln;
  r.SecondOrder = true;
  r.H.assign(36, 0.0);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const double nn = nh[i] * nh[j];
      r.H[i * 6 + j] = (eu[i] * uh[j] + uh[i] * eu[j] + cot * nn) / (a * a) * kDegPerRad;
      r.H[(i + 3) * 6 + j + 3] = (ew[i] * wh[j] + wh[i] * ew[j] + cot * nn) / (b * b) * kDegPerRad;
      r.H[i * 6 + j + 3] = r.H[(j + 3) * 6 + i] = -nn / (a * b * s) * kDegPerRad;
    }
  return r;
}

}  // namespace

TDual AngleAt(const TVec3Of<TDual>& a, const TVec3Of<TDual>& v, const TVec3Of<TDual>& b) {
  const TVec3Of<TDual> u = Diff(a, v), w = Diff(b, v);
  bool second = false;
  for (int i = 0; i < 3; ++i) second = second || u[i].SecondOrder || w[i].SecondOrder;
  const TDual local = AngleOfBondVectors({u[0].V, u[1].V, u[2].V}, {w[0].V, w[1].V, w[2].V}, second);
  return ChainMany({&u[0], &u[1], &u[2], &w[0], &w[1], &w[2]}, local);
}

TDual SumOfSquares(const std::vector<TVec3Of<TDual>>& q) {
  // The one pass applies where every component is linear in the same
  // variables (no Hessian of its own), as coordinates are.
  const std::size_t n = q.empty() ? 0 : q[0][0].Count();
  bool linear = n > 0;
  for (const TVec3Of<TDual>& x : q)
    for (const TDual& c : x) linear = linear && c.Count() == n && c.H.empty() && c.SecondOrder;
  if (!linear) return SumOfSquares<TDual>(q);
  // Value and gradient as the products and sums give them.
  std::vector<TVec3Of<TDual>> firstOrder = q;
  for (TVec3Of<TDual>& x : firstOrder)
    for (TDual& c : x) c.SecondOrder = false;
  TDual sum = SumOfSquares<TDual>(firstOrder);
  // Hessian: 2 ∇q ∇qᵀ per component, (0 + (gⱼgₖ + gⱼgₖ)) as a product of
  // linear numbers writes it, the three components of a vector summed
  // first, then the vectors one by one.
  sum.SecondOrder = true;
  sum.H.assign(n * n, 0.0);
  for (std::size_t i = 0; i < q.size(); ++i) {
    const double* g0 = q[i][0].G.data();
    const double* g1 = q[i][1].G.data();
    const double* g2 = q[i][2].G.data();
    for (std::size_t j = 0; j < n; ++j) {
      double* row = &sum.H[j * n];
      for (std::size_t k = 0; k < n; ++k) {
        const double p0 = 0.0 + (g0[j] * g0[k] + g0[j] * g0[k]);
        const double p1 = 0.0 + (g1[j] * g1[k] + g1[j] * g1[k]);
        const double p2 = 0.0 + (g2[j] * g2[k] + g2[j] * g2[k]);
        const double d = (0.0 + ((0.0 + p0) + p1)) + p2;
        row[k] = i == 0 ? 0.0 + d : row[k] + d;
      }
    }
  }
  return sum;
}

}  // namespace koravel
