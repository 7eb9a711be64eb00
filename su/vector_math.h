#pragma once
#include <array>
#include <cmath>
#include <vector>

#include "base/vec3.h"
#include "su/dual.h"

namespace koravel {

// Vector geometry on any scalar type: double for values, TDual for exact
// derivatives. Angles are in degrees.
template <typename S>
using TVec3Of = std::array<S, 3>;

template <typename S>
TVec3Of<S> Diff(const TVec3Of<S>& a, const TVec3Of<S>& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

template <typename S>
S DotOf(const TVec3Of<S>& a, const TVec3Of<S>& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

template <typename S>
TVec3Of<S> CrossOf(const TVec3Of<S>& a, const TVec3Of<S>& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

template <typename S>
S NormOf(const TVec3Of<S>& a) {
  using std::sqrt;
  return sqrt(DotOf(a, a));
}

template <typename S>
S DistanceOf(const TVec3Of<S>& a, const TVec3Of<S>& b) {
  return NormOf(Diff(a, b));
}

// The angle between u and w, from atan2 of its sine and cosine parts,
// which keeps full precision near 0 and 180 degrees where the arc cosine of
// a rounded cosine loses half of the digits; 0 when u or w is zero. An angle
// of 0 or 180 degrees (sine below 1e-9) has no derivative, the angle being a
// cone's tip there; it counts as constant, which it is where symmetry keeps
// the three points on a line.
template <typename S>
S AngleBetween(const TVec3Of<S>& u, const TVec3Of<S>& w) {
  using std::atan2;
  using std::sqrt;
  const S uu = DotOf(u, u), ww = DotOf(w, w);
  if (ValueOf(uu) == 0 || ValueOf(ww) == 0) return S(0);
  const TVec3Of<S> n = CrossOf(u, w);
  const S nn = DotOf(n, n);
  const S uw = DotOf(u, w);
  if (ValueOf(nn) < 1e-18 * ValueOf(uu) * ValueOf(ww))
    return S(std::atan2(std::sqrt(ValueOf(nn)), ValueOf(uw)) * kDegPerRad);
  return atan2(sqrt(nn), uw) * S(kDegPerRad);
}

// The angle at vertex v between a and b.
template <typename S>
S AngleAt(const TVec3Of<S>& a, const TVec3Of<S>& v, const TVec3Of<S>& b) {
  return AngleBetween(Diff(a, v), Diff(b, v));
}

// With derivatives: the angle's gradient and Hessian in the six components
// of its bond vectors in closed form, then carried to the variables by the
// chain rule, so that a sum of many angles costs little more than its terms.
TDual AngleAt(const TVec3Of<TDual>& a, const TVec3Of<TDual>& v, const TVec3Of<TDual>& b);

// Σᵢ qᵢ · qᵢ, summed vector by vector.
template <typename S>
S SumOfSquares(const std::vector<TVec3Of<S>>& q) {
  S sum(0);
  for (const TVec3Of<S>& x : q) sum += DotOf(x, x);
  return sum;
}

// The same sum, its Hessian in one pass over the entries instead of nine
// products and sums of full matrices per vector; every entry is the same
// number, added in the same order.
TDual SumOfSquares(const std::vector<TVec3Of<TDual>>& q);

}  // namespace koravel
