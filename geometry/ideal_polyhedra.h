#pragma once
#include <string_view>
#include <vector>

#include "base/vec3.h"

namespace koravel {

// A reference shape of continuous shape measures: its vertices and its
// central position, centred on the centroid of all of them and scaled to a
// mean square distance of 1 from it (Alvarez et al., Coord. Chem. Rev. 249
// (2005) 1693).
struct TIdealPolyhedron {
  std::string_view Name;         // "OC-6"
  std::string_view Description;  // "octahedron"
  std::vector<TVec3> Vertices;
  TVec3 Centre;
};

// Every reference shape of 2 to 12 vertices, in the order of the literature's
// table.
const std::vector<TIdealPolyhedron>& IdealPolyhedra();

}  // namespace koravel
