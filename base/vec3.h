#pragma once
#include <array>
#include <cmath>
#include <numbers>

namespace koravel {

// Three doubles x, y, z: fractional coordinates, their su, or Cartesian
// coordinates in ångström, depending on where the vector is used.
using TVec3 = std::array<double, 3>;

// A 3x3 matrix stored as three rows: entry (i, j) multiplies component j of
// the input into component i of the output.
using TMat3 = std::array<TVec3, 3>;

constexpr double kRadPerDeg = std::numbers::pi / 180.0;

// The value of a number, whatever derivatives it may carry (see su/dual.h).
inline double ValueOf(double x) { return x; }
constexpr double kDegPerRad = 180.0 / std::numbers::pi;

inline TVec3 Minus(const TVec3& a, const TVec3& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
inline TVec3 Plus(const TVec3& a, const TVec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline TVec3 Scaled(const TVec3& a, double f) { return {a[0] * f, a[1] * f, a[2] * f}; }
inline double Dot(const TVec3& a, const TVec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline TVec3 Cross(const TVec3& a, const TVec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double Norm(const TVec3& a) { return std::sqrt(Dot(a, a)); }
inline double Distance(const TVec3& a, const TVec3& b) { return Norm(Minus(a, b)); }

// M·V, each component summed as M(i,0)·V0 + M(i,1)·V1 + M(i,2)·V2.
inline TVec3 MatVec(const TMat3& m, const TVec3& v) {
  TVec3 r{};
  for (int i = 0; i < 3; ++i) r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
  return r;
}

}  // namespace koravel
