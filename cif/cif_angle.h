#pragma once
#include <string>

namespace koravel {

// One bond angle as published in a CIF's _geom_angle loop: Label1-Label2-Label3
// with Label2 at the apex, each with its site symmetry as a full code n_klm.
struct TCifAngle {
  std::string Label1, Sym1;
  std::string Label2, Sym2;
  std::string Label3, Sym3;
  double Angle = 0;
  double Su = 0;
  bool SuGiven = false;
};

}  // namespace koravel
