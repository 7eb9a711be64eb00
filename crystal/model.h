#pragma once
#include <memory>
#include <vector>

#include "crystal/covariance.h"
#include "crystal/published_angle.h"
#include "crystal/structure.h"

namespace koravel {

// What a calculation knows of a crystal structure, whatever file it came
// from: the structure, the angles its authors published, the covariances of
// a refinement where there are any, and whether its coordinates carry su at
// all (a calculated structure, or a SHELX file without its matrix, has none).
struct TModel {
  TStructure Structure;
  std::vector<TPublishedAngle> PublishedAngles;
  std::unique_ptr<const TCovSource> Covariance;  // null: the su of each coordinate alone
  bool HasSu = true;
};

}  // namespace koravel
