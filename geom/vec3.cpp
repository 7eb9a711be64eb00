#include "geom/vec3.h"

namespace koravel {

TVec3 MatVec(const TMat3& m, const TVec3& v) {
  TVec3 r{};
  for (int i = 0; i < 3; ++i) r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
  return r;
}

}  // namespace koravel
