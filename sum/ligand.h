#pragma once
#include <string>
#include <vector>

#include "geom/symop.h"
#include "sum/points.h"

namespace koravel {

// A ligand of the central atom, or a neighbour candidate of the search.
struct TLigand {
  TSiteRef Site;          // for a centroid: a copy of its first member's site
  std::string Label;      // the structure's label; "Cg1", "Cg2", ... for centroids
  std::string Element;    // empty for a centroid
  double Dist = 0;        // from the central atom, ångström
  double DistSu = 0;
  bool IsCentroid = false;
  TPointDef Points;       // the ligand as a point
};

using TLigArray = std::vector<TLigand>;

}  // namespace koravel
