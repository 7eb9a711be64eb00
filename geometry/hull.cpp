#include "geometry/hull.h"

#include <algorithm>
#include <cmath>

namespace koravel {

std::vector<std::array<size_t, 3>> HullTriangles(const std::vector<TVec3>& p) {
  const size_t n = p.size();
  double scale = 0;
  for (const TVec3& x : p) scale = std::max(scale, Distance(x, p[0]));
  const double tolerance = 1e-9 * scale;
  std::vector<std::array<size_t, 3>> triangles;
  std::vector<std::vector<size_t>> faces;  // the points of each face found, sorted
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 1; j < n; ++j)
      for (size_t k = j + 1; k < n; ++k) {
        TVec3 normal = Cross(Minus(p[j], p[i]), Minus(p[k], p[i]));
        const double length = Norm(normal);
        if (length <= tolerance * scale) continue;  // collinear
        normal = Scaled(normal, 1 / length);
        std::vector<size_t> on;
        bool above = false, below = false;
        for (size_t m = 0; m < n; ++m) {
          const double d = Dot(normal, Minus(p[m], p[i]));
          if (d > tolerance) above = true;
          else if (d < -tolerance) below = true;
          else on.push_back(m);
        }
        if (above && below) continue;
        if (std::find(faces.begin(), faces.end(), on) != faces.end()) continue;
        faces.push_back(on);
        if (above) normal = Scaled(normal, -1);  // outwards
        // The face's points in turn about the outward normal, fanned.
        TVec3 centre{0, 0, 0};
        for (size_t m : on) centre = Plus(centre, p[m]);
        centre = Scaled(centre, 1.0 / static_cast<double>(on.size()));
        const TVec3 u = Minus(p[on[0]], centre), w = Cross(normal, u);
        std::vector<std::pair<double, size_t>> around;
        for (size_t m : on) around.push_back({std::atan2(Dot(Minus(p[m], centre), w), Dot(Minus(p[m], centre), u)), m});
        std::sort(around.begin(), around.end());
        for (size_t t = 1; t + 1 < around.size(); ++t)
          triangles.push_back({around[0].second, around[t].second, around[t + 1].second});
      }
  return triangles;
}

}  // namespace koravel
