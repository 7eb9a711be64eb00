#include "geom/text.h"
#include "sum/report.h"

namespace koravel {

namespace {

// Labels compare ignoring case as everywhere in a CIF; symmetry codes are
// exact strings, both sides being written as n_klm.
bool SameAtomSite(const std::string& label, const std::string& code, const TLigand& ligand) {
  return SameText(label, ligand.Label) && code == ligand.Site.Op.Code;
}

}  // namespace

bool CifAngleFor(const std::vector<TCifAngle>& angles, const std::string& centralLabel,
                 const std::string& centralCode, const TLigand& a, const TLigand& b,
                 double& angle, double& su) {
  angle = 0;
  su = 0;
  if (a.IsCentroid || b.IsCentroid) return false;
  for (const TCifAngle& entry : angles) {
    if (!SameText(entry.Label2, centralLabel) || entry.Sym2 != centralCode) continue;
    const bool forward = SameAtomSite(entry.Label1, entry.Sym1, a) &&
                         SameAtomSite(entry.Label3, entry.Sym3, b);
    const bool reverse = SameAtomSite(entry.Label1, entry.Sym1, b) &&
                         SameAtomSite(entry.Label3, entry.Sym3, a);
    if (!forward && !reverse) continue;
    angle = entry.Angle;
    su = entry.Su;
    return true;
  }
  return false;
}

}  // namespace koravel
