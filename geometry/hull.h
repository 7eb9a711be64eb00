#pragma once
#include <array>
#include <vector>

#include "su/dual.h"
#include "su/vector_math.h"

namespace koravel {

// The faces of the convex hull of points as triangles (indices), each
// oriented with its normal outwards; a face of several coplanar points is
// one polygon, fanned into triangles. Points that all lie in a plane give
// that polygon once, and a hull of volume 0.
std::vector<std::array<size_t, 3>> HullTriangles(const std::vector<TVec3>& points);

// The volume of the convex hull of points[first..]: the sum over its faces
// of the tetrahedra they make with points[first] (the divergence theorem).
// The faces come from the values; the derivatives follow them, a hull's
// faces being fixed where no four points are nearly coplanar.
template <typename S>
S HullVolume(const std::vector<TVec3Of<S>>& points, size_t first) {
  std::vector<TVec3> x;
  for (size_t i = first; i < points.size(); ++i)
    x.push_back({ValueOf(points[i][0]), ValueOf(points[i][1]), ValueOf(points[i][2])});
  S volume(0);
  const TVec3Of<S>& o = points[first];
  for (const auto& [a, b, c] : HullTriangles(x))
    volume += DotOf(Diff(points[first + a], o), CrossOf(Diff(points[first + b], o), Diff(points[first + c], o)));
  return volume / S(6);
}

}  // namespace koravel
