#include "su/dual.h"

#include <algorithm>

namespace koravel {

namespace {

std::size_t CountOf(const TDual& a, const TDual& b) { return std::max(a.Count(), b.Count()); }

// a.G, b.G and a.H, b.H combined as c·a + d·b; an empty part counts as zero.
TDual Linear(double v, double c, const TDual& a, double d, const TDual& b) {
  TDual r(v);
  const std::size_t n = CountOf(a, b);
  if (n == 0) return r;
  r.G.assign(n, 0.0);
  r.H.assign(n * n, 0.0);
  if (a.Count() == n && c != 0) {
    for (std::size_t i = 0; i < n; ++i) r.G[i] += c * a.G[i];
    for (std::size_t i = 0; i < n * n; ++i) r.H[i] += c * a.H[i];
  }
  if (b.Count() == n && d != 0) {
    for (std::size_t i = 0; i < n; ++i) r.G[i] += d * b.G[i];
    for (std::size_t i = 0; i < n * n; ++i) r.H[i] += d * b.H[i];
  }
  return r;
}

// r.H += s·(x yᵀ + y xᵀ), or s·x xᵀ when y is x.
void AddOuter(TDual& r, double s, const std::vector<double>& x, const std::vector<double>& y) {
  const std::size_t n = r.Count();
  if (s == 0 || x.size() != n || y.size() != n) return;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) r.H[i * n + j] += s * (x[i] * y[j] + y[i] * x[j]);
}

}  // namespace

TDual TDual::Variable(double value, std::size_t index, std::size_t count) {
  TDual d(value);
  d.G.assign(count, 0.0);
  d.H.assign(count * count, 0.0);
  d.G[index] = 1;
  return d;
}

TDual operator+(const TDual& a, const TDual& b) { return Linear(a.V + b.V, 1, a, 1, b); }
TDual operator-(const TDual& a, const TDual& b) { return Linear(a.V - b.V, 1, a, -1, b); }
TDual operator-(const TDual& a) { return Linear(-a.V, -1, a, 0, TDual()); }
TDual& operator+=(TDual& a, const TDual& b) { return a = a + b; }
TDual& operator-=(TDual& a, const TDual& b) { return a = a - b; }

TDual operator*(const TDual& a, const TDual& b) {
  TDual r = Linear(a.V * b.V, b.V, a, a.V, b);
  AddOuter(r, 1, a.G, b.G);
  return r;
}

TDual operator/(const TDual& a, const TDual& b) { return a * Chain(b, 1 / b.V, -1 / (b.V * b.V), 2 / (b.V * b.V * b.V)); }

TDual Chain(const TDual& a, double f, double f1, double f2) {
  TDual r = Linear(f, f1, a, 0, TDual());
  AddOuter(r, 0.5 * f2, a.G, a.G);
  return r;
}

TDual sqrt(const TDual& a) {
  const double s = std::sqrt(a.V);
  return Chain(a, s, 0.5 / s, -0.25 / (s * a.V));
}

TDual cbrt(const TDual& a) {
  const double r = std::cbrt(a.V);
  return Chain(a, r, 1 / (3 * r * r), -2 / (9 * r * r * a.V));
}

TDual sin(const TDual& a) { return Chain(a, std::sin(a.V), std::cos(a.V), -std::sin(a.V)); }
TDual cos(const TDual& a) { return Chain(a, std::cos(a.V), -std::sin(a.V), -std::cos(a.V)); }

TDual fabs(const TDual& a) { return a.V < 0 ? -a : a; }

// ∂/∂y = x/r², ∂/∂x = -y/r²; ∂²/∂y² = -2xy/r⁴ = -∂²/∂x², ∂²/∂x∂y = (y² - x²)/r⁴.
TDual atan2(const TDual& y, const TDual& x) {
  const double r2 = x.V * x.V + y.V * y.V;
  const double fy = x.V / r2, fx = -y.V / r2;
  const double fyy = -2 * x.V * y.V / (r2 * r2), fxy = (y.V * y.V - x.V * x.V) / (r2 * r2);
  TDual r = Linear(std::atan2(y.V, x.V), fy, y, fx, x);
  AddOuter(r, 0.5 * fyy, y.G, y.G);
  AddOuter(r, -0.5 * fyy, x.G, x.G);
  AddOuter(r, fxy, x.G, y.G);
  return r;
}

}  // namespace koravel
