#pragma once
#include <string>

namespace koravel {

// One bond angle as a CIF publishes it in its _geom_angle loop:
// Label1-Label2-Label3 with Label2 at the apex, each with its site symmetry
// as a full code n_klm.
struct TPublishedAngle {
  std::string Label1, Sym1;
  std::string Label2, Sym2;
  std::string Label3, Sym3;
  double Angle = 0;
  double Su = 0;
};

}  // namespace koravel
