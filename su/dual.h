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
// empty gradient and Hessian, which count as zero.
struct TDual {
  double V = 0;
  std::vector<double> G;  // N
  std::vector<double> H;  // N × N, row-major, symmetric

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
TDual operator/(const TDual& a, const TDual& b);
TDual& operator+=(TDual& a, const TDual& b);
TDual& operator-=(TDual& a, const TDual& b);

// f(a) from f, f' and f'' at a's value (the chain rule to second order).
TDual Chain(const TDual& a, double f, double f1, double f2);

// f of several inputs from f's value, gradient g (k) and Hessian F (k × k,
// row-major) with respect to them: the chain rule to second order,
// ∇f = Σ gᵢ ∇xᵢ and ∇²f = Σ gᵢ ∇²xᵢ + Σ Fᵢⱼ ∇xᵢ ∇xⱼᵀ. A function of a few
// points evaluated first in its own k variables and then taken through
// this costs k·N² instead of N² for every one of its operations.
TDual ChainMany(const std::vector<TDual>& inputs, const TDual& local);

// f(inputs) evaluated in local variables, one per input, then taken through
// ChainMany.
template <typename F>
TDual Preaccumulated(const std::vector<TDual>& inputs, F f) {
  bool second = false;
  for (const TDual& x : inputs) second = second || !x.H.empty();
  std::vector<TDual> local;
  local.reserve(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i)
    local.push_back(TDual::Variable(inputs[i].V, i, inputs.size(), second));
  return ChainMany(inputs, f(local));
}

TDual sqrt(const TDual& a);
TDual cbrt(const TDual& a);
TDual sin(const TDual& a);
TDual cos(const TDual& a);
TDual atan2(const TDual& y, const TDual& x);
// |a| with the derivatives of its side (those of a for a = 0).
TDual fabs(const TDual& a);

}  // namespace koravel
