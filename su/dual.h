#pragma once
#include <cmath>
#include <cstddef>
#include <vector>

#include "base/vec3.h"

namespace koravel {

// A number that carries its first and second derivatives with respect to N
// variables (second-order forward-mode automatic differentiation): value,
// gradient and the full N × N Hessian. Every quantity is written once, as a
// function of its scalar type, and evaluated with double for the value (and
// Monte Carlo draws) and with TDual for exact derivatives. A constant has
// empty gradient and Hessian, which count as zero. The Hessian is carried
// only where second order is asked for, and stays empty (zero) as long as
// the number is linear in the variables: differences of coordinates cost N.
struct TDual {
  double V = 0;
  std::vector<double> G;  // N
  std::vector<double> H;  // N × N, row-major, symmetric; empty: zero
  bool SecondOrder = false;

  TDual() = default;
  TDual(double value) : V(value) {}  // NOLINT: constants convert implicitly

  // Variable `index` of `count`, at `value`; with `secondOrder` false it
  // carries no Hessian, and neither does anything computed from it (first
  // derivatives cost N per operation, second ones N²).
  static TDual Variable(double value, std::size_t index, std::size_t count, bool secondOrder = true);
  std::size_t Count() const { return G.size(); }
};

inline double ValueOf(const TDual& x) { return x.V; }

TDual operator+(const TDual& a, const TDual& b);
TDual operator-(const TDual& a, const TDual& b);
TDual operator-(const TDual& a);
TDual operator*(const TDual& a, const TDual& b);
// The same for a temporary first term, whose storage the result takes over.
TDual operator+(TDual&& a, const TDual& b);
TDual operator-(TDual&& a, const TDual& b);
TDual operator*(TDual&& a, const TDual& b);
TDual operator/(const TDual& a, const TDual& b);
TDual& operator+=(TDual& a, const TDual& b);
TDual& operator-=(TDual& a, const TDual& b);

// f(a) from f, f' and f'' at a's value (the chain rule to second order).
TDual Chain(const TDual& a, double f, double f1, double f2);

// f of several inputs from f's value, gradient g (k) and Hessian F (k × k,
// row-major) with respect to them: the chain rule to second order,
// ∇f = Σ gᵢ ∇xᵢ and ∇²f = Σ gᵢ ∇²xᵢ + Σ Fᵢⱼ ∇xᵢ ∇xⱼᵀ. A function of a few
// inputs with derivatives known in closed form costs k·N² this way instead
// of N² for every one of its operations.
TDual ChainMany(const std::vector<const TDual*>& inputs, const TDual& local);

TDual sqrt(const TDual& a);
TDual cbrt(const TDual& a);
TDual exp(const TDual& a);
TDual sin(const TDual& a);
TDual cos(const TDual& a);
TDual atan2(const TDual& y, const TDual& x);
// |a| with the derivatives of its side (those of a for a = 0).
TDual fabs(const TDual& a);

}  // namespace koravel
