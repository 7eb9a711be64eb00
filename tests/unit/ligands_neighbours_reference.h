#pragma once
// The neighbour search as plainly as it can be written, for tests that check
// the real search against it: every translation of the box around the
// sphere, every stored candidate compared with every new image.
#include <cmath>

#include "geom/cell.h"
#include "geom/structure.h"
#include "sum/ligand.h"
#include "sum/neighbours.h"

namespace koravel {

inline TLigArray PlainNeighbours(const TWorkingStructure& s, const TSiteRef& central, double radius) {
  TLigArray out;
  const TMat3 ortho = OrthoMatrix(s.Cell);
  const TVec3 cf = ApplySymOp(central.Op, s.AtomFrac[central.Atom]);
  const TVec3 cc = SiteCartesian(s.AtomFrac[central.Atom], central.Op, ortho);
  for (size_t j = 0; j < s.Atoms.size(); ++j)
    for (const TSymOp& op : s.SymOps) {
      const TVec3 p = ApplySymOp(op, s.AtomFrac[j]);
      int lo[3], hi[3];
      for (int k = 0; k < 3; ++k) {
        const double r = radius / PlaneSpacing(s.Cell, k);
        lo[k] = static_cast<int>(std::ceil(cf[k] - r - p[k]));
        hi[k] = static_cast<int>(std::floor(cf[k] + r - p[k]));
      }
      for (int t1 = lo[0]; t1 <= hi[0]; ++t1)
        for (int t2 = lo[1]; t2 <= hi[1]; ++t2)
          for (int t3 = lo[2]; t3 <= hi[2]; ++t3) {
            TSiteRef site{static_cast<int>(j), TranslatedSymOp(op, t1, t2, t3)};
            if (SameSite(s.AtomFrac, site, central)) continue;
            const TVec3 x = SiteCartesian(s.AtomFrac[j], site.Op, ortho);
            const double d = std::sqrt((x[0] - cc[0]) * (x[0] - cc[0]) +
                                       (x[1] - cc[1]) * (x[1] - cc[1]) +
                                       (x[2] - cc[2]) * (x[2] - cc[2]));
            if (d < 0.4 || d > radius) continue;
            bool stored = false;
            for (const TLigand& c : out) stored = stored || SameSite(s.AtomFrac, site, c.Site);
            if (stored) continue;
            TLigand c;
            c.Site = site;
            c.Label = s.Atoms[j].Label;
            c.Element = s.Atoms[j].Element;
            c.Dist = d;
            out.push_back(c);
          }
    }
  return out;
}

}  // namespace koravel
