#include <cmath>
#include <numbers>

#include "cif/cif_structure.h"
#include "cif/su_number.h"
#include "geom/fatal.h"

namespace koravel {

namespace {

// A cell item with its su, or the default (su 0) when absent or unreadable.
void ReadCellItem(const TCifBlock& block, std::string_view tag, double fallback, double& value,
                  double& su) {
  if (!ParseSu(block.GetItem(tag), value, su)) {
    value = fallback;
    su = 0;
  }
}

bool UsableLength(double v) { return std::isfinite(v) && v > 0; }
bool UsableAngle(double v) { return std::isfinite(v) && v > 0 && v < 180; }

// (V / abc)²: zero or negative when the three angles cannot meet at a corner,
// in which case every coordinate would collapse onto a plane or worse.
double MetricTerm(const TCell& c) {
  const double toRad = std::numbers::pi / 180.0;
  const double ca = std::cos(c.Alpha * toRad);
  const double cb = std::cos(c.Beta * toRad);
  const double cg = std::cos(c.Gamma * toRad);
  return 2 * ca * cb * cg + (1 - ca * ca - cb * cb - cg * cg);
}

}  // namespace

void ReadCell(const TCifBlock& block, TWorkingStructure& s) {
  TCell& c = s.Cell;
  ReadCellItem(block, "_cell_length_a", 0, c.A, c.SuA);
  ReadCellItem(block, "_cell_length_b", 0, c.B, c.SuB);
  ReadCellItem(block, "_cell_length_c", 0, c.C, c.SuC);
  ReadCellItem(block, "_cell_angle_alpha", 90, c.Alpha, c.SuAlpha);
  ReadCellItem(block, "_cell_angle_beta", 90, c.Beta, c.SuBeta);
  ReadCellItem(block, "_cell_angle_gamma", 90, c.Gamma, c.SuGamma);
  const bool usable = UsableLength(c.A) && UsableLength(c.B) && UsableLength(c.C) &&
                      UsableAngle(c.Alpha) && UsableAngle(c.Beta) && UsableAngle(c.Gamma) &&
                      MetricTerm(c) > 1e-6;
  if (!usable) Fatal("cell parameters are missing or unusable.");
}

}  // namespace koravel
