#include <cmath>

#include "sum/report.h"

namespace koravel {

namespace {

// Angles within this many degrees are equal: angles that symmetry makes
// equal (the 90s of an octahedron) differ only in rounding noise, which must
// not decide their order, or the table would differ between platforms.
constexpr double kEqualAngle = 1e-6;

// Stable insertion sort, largest angle first: an angle moves before every
// earlier one that is smaller, so equal angles keep the pair order.
void SortDescending(std::vector<TAngleRec>& angles) {
  for (size_t i = 1; i < angles.size(); ++i) {
    TAngleRec current = angles[i];
    size_t j = i;
    while (j > 0 && angles[j - 1].Value < current.Value - kEqualAngle) {
      angles[j] = angles[j - 1];
      --j;
    }
    angles[j] = current;
  }
}

}  // namespace

std::vector<TAngleRec> BuildAngleList(const TReportInput& in, const TLigArray& ligands) {
  const TWorkingStructure& s = *in.Structure;
  const TPointDef centre = PointOfSite(in.CentralSite);
  const int n = static_cast<int>(ligands.size());
  std::vector<TAngleRec> angles;
  if (n > 1) angles.reserve(static_cast<size_t>(n * (n - 1) / 2));
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      TAngleRec rec;
      rec.Lig1 = i;
      rec.Lig2 = j;
      if (!in.CalcOnly && CifAngleFor(s.CifAngles, in.CentralLabel, in.CentralSite.Op.Code,
                                      ligands[i], ligands[j], rec.Value, rec.Su)) {
        rec.FromCif = true;
      } else {
        int fixedCount = 0;
        rec.Value = AngleWithSu(s.AtomFrac, s.AtomSu, ligands[i].Points, centre,
                                ligands[j].Points, s.Cell, in.Cov, rec.Su, fixedCount);
      }
      // Without su in the input a published su would be the only one shown;
      // the report then gives none at all.
      if (!in.HasSu) rec.Su = 0;
      angles.push_back(rec);
    }
  }
  SortDescending(angles);
  return angles;
}

TSumResult ComputeAngleSum(const TReportInput& in, const TLigArray& ligands,
                           const std::vector<TAngleRec>& angles) {
  const TWorkingStructure& s = *in.Structure;
  TPointList points;
  points.reserve(ligands.size());
  for (const TLigand& ligand : ligands) points.push_back(ligand.Points);
  TSumResult r;
  AngleSumWithSu(s.AtomFrac, s.AtomSu, PointOfSite(in.CentralSite), points, s.Cell, in.Cov,
                 r);
  double sumSquares = 0;
  for (const TAngleRec& angle : angles) sumSquares += angle.Su * angle.Su;
  r.SuIndependent = std::sqrt(sumSquares);
  if (!in.HasSu) {
    r.Su = 0;
    r.SuLinear = 0;
    r.SuSecondOrder = 0;
  }
  return r;
}

}  // namespace koravel
