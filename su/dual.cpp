#include "su/dual.h"

#include <algorithm>
#include <utility>

namespace koravel {

namespace {

std::size_t CountOf(const TDual& a, const TDual& b) { return std::max(a.Count(), b.Count()); }

bool HasHessian(const TDual& a) { return !a.H.empty(); }

// a.G, b.G and a.H, b.H combined as c·a + d·b; an empty part counts as zero.
// Each entry is (0 + c·a) + d·b, a term left out where its factor is 0, in
// one pass over a copy of the first term's entries.
TDual Linear(double v, double c, const TDual& a, double d, const TDual& b) {
  TDual r(v);
  const std::size_t n = CountOf(a, b);
  if (n == 0) return r;
  r.SecondOrder = a.SecondOrder || b.SecondOrder;
  const bool useA = a.Count() == n && c != 0, useB = b.Count() == n && d != 0;
  auto combine = [&](std::vector<double>& out, const std::vector<double>& x, const std::vector<double>& y,
                     bool hasX, bool hasY, std::size_t size) {
    if (hasX) {
      out = x;
      if (hasY)
        for (std::size_t i = 0; i < size; ++i) out[i] = (0.0 + c * out[i]) + d * y[i];
      else
        for (std::size_t i = 0; i < size; ++i) out[i] = 0.0 + c * out[i];
    } else if (hasY) {
      out = y;
      for (std::size_t i = 0; i < size; ++i) out[i] = 0.0 + d * out[i];
    } else {
      out.assign(size, 0.0);
    }
  };
  combine(r.G, a.G, b.G, useA, useB, n);
  if (HasHessian(a) || HasHessian(b))
    combine(r.H, a.H, b.H, useA && HasHessian(a), useB && HasHessian(b), n * n);
  return r;
}

// The same for a first term that is a temporary: the result takes over its
// storage and every entry is computed as above, (0 + c·a) + d·b, in place.
// `keepGradient`: the caller still needs a.G (a product adds a.G b.Gᵀ), so
// only the Hessian is taken over.
TDual Linear(double v, double c, TDual&& a, double d, const TDual& b, bool keepGradient = false) {
  const std::size_t n = CountOf(a, b);
  const bool useA = a.Count() == n && c != 0, useB = b.Count() == n && d != 0;
  if (n == 0 || !useA) return Linear(v, c, std::as_const(a), d, b);
  TDual r(v);
  r.SecondOrder = a.SecondOrder || b.SecondOrder;
  auto combine = [&](std::vector<double>& out, const std::vector<double>& y, bool hasY, std::size_t size) {
    if (hasY)
      for (std::size_t i = 0; i < size; ++i) out[i] = (0.0 + c * out[i]) + d * y[i];
    else
      for (std::size_t i = 0; i < size; ++i) out[i] = 0.0 + c * out[i];
  };
  if (keepGradient) {
    r.G = a.G;
  } else {
    r.G = std::move(a.G);
  }
  combine(r.G, b.G, useB, n);
  if (HasHessian(a)) {
    r.H = std::move(a.H);
    combine(r.H, b.H, useB && HasHessian(b), n * n);
  } else if (HasHessian(b)) {
    if (useB) {
      r.H = b.H;
      for (std::size_t i = 0; i < n * n; ++i) r.H[i] = 0.0 + d * r.H[i];
    } else {
      r.H.assign(n * n, 0.0);
    }
  }
  return r;
}

// r.H += s·(x yᵀ + y xᵀ), or s·x xᵀ when y is x.
void AddOuter(TDual& r, double s, const std::vector<double>& x, const std::vector<double>& y) {
  const std::size_t n = r.Count();
  if (s == 0 || !r.SecondOrder || x.size() != n || y.size() != n) return;
  if (!HasHessian(r)) r.H.assign(n * n, 0.0);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) r.H[i * n + j] += s * (x[i] * y[j] + y[i] * x[j]);
}

}  // namespace

TDual TDual::Variable(double value, std::size_t index, std::size_t count, bool secondOrder) {
  TDual d(value);
  d.G.assign(count, 0.0);
  d.G[index] = 1;
  d.SecondOrder = secondOrder;
  return d;
}

TDual operator+(const TDual& a, const TDual& b) { return Linear(a.V + b.V, 1, a, 1, b); }
TDual operator-(const TDual& a, const TDual& b) { return Linear(a.V - b.V, 1, a, -1, b); }
TDual operator+(TDual&& a, const TDual& b) {
  const double v = a.V + b.V;
  return Linear(v, 1, std::move(a), 1, b);
}
TDual operator-(TDual&& a, const TDual& b) {
  const double v = a.V - b.V;
  return Linear(v, 1, std::move(a), -1, b);
}
TDual operator-(const TDual& a) { return Linear(-a.V, -1, a, 0, TDual()); }
// In place where both carry the same derivatives (a sum of many terms).
TDual& operator+=(TDual& a, const TDual& b) {
  if (a.Count() == 0 || a.Count() != b.Count()) return a = a + b;
  a.V += b.V;
  a.SecondOrder = a.SecondOrder || b.SecondOrder;
  for (std::size_t i = 0; i < a.G.size(); ++i) a.G[i] += b.G[i];
  if (HasHessian(b)) {
    if (!HasHessian(a)) a.H.assign(b.H.size(), 0.0);
    for (std::size_t i = 0; i < a.H.size(); ++i) a.H[i] += b.H[i];
  }
  return a;
}
TDual& operator-=(TDual& a, const TDual& b) { return a = a - b; }

TDual operator*(const TDual& a, const TDual& b) {
  TDual r = Linear(a.V * b.V, b.V, a, a.V, b);
  AddOuter(r, 1, a.G, b.G);
  return r;
}

TDual operator*(TDual&& a, const TDual& b) {
  const double v = a.V * b.V, c = b.V, d = a.V;
  TDual r = Linear(v, c, std::move(a), d, b, true);
  AddOuter(r, 1, a.G, b.G);
  return r;
}

TDual operator/(const TDual& a, const TDual& b) { return a * Chain(b, 1 / b.V, -1 / (b.V * b.V), 2 / (b.V * b.V * b.V)); }

TDual Chain(const TDual& a, double f, double f1, double f2) {
  TDual r = Linear(f, f1, a, 0, TDual());
  AddOuter(r, 0.5 * f2, a.G, a.G);
  return r;
}

TDual ChainMany(const std::vector<const TDual*>& inputs, const TDual& local) {
  TDual r(local.V);
  std::size_t n = 0;
  bool second = false;
  for (const TDual* x : inputs) {
    n = std::max(n, x->Count());
    second = second || x->SecondOrder;
  }
  if (n == 0 || local.Count() == 0) return r;
  const std::size_t k = inputs.size();
  r.G.assign(n, 0.0);
  for (std::size_t i = 0; i < k; ++i) {
    const TDual& x = *inputs[i];
    if (x.Count() != n || local.G[i] == 0) continue;
    for (std::size_t a = 0; a < n; ++a) r.G[a] += local.G[i] * x.G[a];
  }
  r.SecondOrder = second;
  if (!second || !HasHessian(local)) return r;
  r.H.assign(n * n, 0.0);
  for (std::size_t i = 0; i < k; ++i) {
    const TDual& x = *inputs[i];
    if (!HasHessian(x) || local.G[i] == 0) continue;
    for (std::size_t a = 0; a < n * n; ++a) r.H[a] += local.G[i] * x.H[a];
  }
  // W = F·∇x (k × n), then H += ∇xᵀ·W.
  std::vector<double> w(k * n, 0.0);
  for (std::size_t i = 0; i < k; ++i)
    for (std::size_t j = 0; j < k; ++j) {
      const double f = local.H[i * k + j];
      if (f == 0 || inputs[j]->Count() != n) continue;
      for (std::size_t a = 0; a < n; ++a) w[i * n + a] += f * inputs[j]->G[a];
    }
  for (std::size_t i = 0; i < k; ++i) {
    if (inputs[i]->Count() != n) continue;
    for (std::size_t a = 0; a < n; ++a) {
      const double ga = inputs[i]->G[a];
      if (ga == 0) continue;
      for (std::size_t b = 0; b < n; ++b) r.H[a * n + b] += ga * w[i * n + b];
    }
  }
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

TDual exp(const TDual& a) {
  const double e = std::exp(a.V);
  return Chain(a, e, e, e);
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
