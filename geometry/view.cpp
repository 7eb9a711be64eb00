#include "geometry/view.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace koravel {

namespace {

TVec3 Unit(const TVec3& v) { return Scaled(v, 1 / Norm(v)); }

// The smallest distance between two of the points seen along `toward`.
double SmallestSeparation(const std::vector<TVec3>& points, const TVec3& toward) {
  double smallest = INFINITY;
  for (size_t i = 0; i < points.size(); ++i)
    for (size_t j = i + 1; j < points.size(); ++j) {
      const TVec3 d = Minus(points[j], points[i]);
      smallest = std::min(smallest, Norm(Minus(d, Scaled(toward, Dot(d, toward)))));
    }
  return smallest;
}

// Directions evenly spread over a hemisphere (a Fibonacci lattice; a view
// and its reverse show the same).
std::vector<TVec3> HemisphereDirections(int count) {
  std::vector<TVec3> directions;
  const double golden = std::numbers::pi * (3 - std::sqrt(5.0));
  for (int k = 0; k < count; ++k) {
    const double z = 1 - (k + 0.5) / count;
    const double r = std::sqrt(1 - z * z);
    directions.push_back({r * std::cos(golden * k), r * std::sin(golden * k), z});
  }
  return directions;
}

}  // namespace

TView BestView(const std::vector<TVec3>& points) {
  std::vector<TVec3> ligands(points.begin() + 1, points.end());
  TVec3 toward{0, 0, 1};
  const TVec3 normal = ligands.size() == 3 ? Cross(Minus(ligands[1], ligands[0]), Minus(ligands[2], ligands[0]))
                                           : TVec3{0, 0, 0};
  if (Norm(normal) > 1e-6) {
    toward = Unit(normal);
  } else {
    double best = -1;
    for (const TVec3& d : HemisphereDirections(600)) {
      const double separation = SmallestSeparation(points, d);
      if (separation > best + 1e-9) best = separation, toward = d;
    }
  }
  TView view;
  view.Toward = toward;
  // The first ligand to the right, or any direction across the view where
  // it lies on the line of sight.
  TVec3 right = points.size() > 1 ? Minus(points[1], points[0]) : TVec3{1, 0, 0};
  right = Minus(right, Scaled(toward, Dot(right, toward)));
  if (Norm(right) < 1e-6) right = Cross(toward, std::fabs(toward[0]) < 0.9 ? TVec3{1, 0, 0} : TVec3{0, 1, 0});
  view.Right = Unit(right);
  view.Up = Cross(view.Toward, view.Right);
  return view;
}

TVec3 InView(const TView& view, const TVec3& point) {
  return {Dot(point, view.Right), Dot(point, view.Up), Dot(point, view.Toward)};
}

}  // namespace koravel
