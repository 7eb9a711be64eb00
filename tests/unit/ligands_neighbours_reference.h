#pragma once
// The neighbour search as plainly as it can be written, for tests that check
// the real search against it: every translation of the box around the
// sphere, every stored candidate compared with every new image.
#include <cmath>

#include "crystal/cell.h"
#include "crystal/structure.h"
#include "ligands/neighbours.h"

namespace koravel::testing {

inline TCandidateArray PlainNeighbours(const TStructure& s, const TSiteRef& central, double radius) {
  TCandidateArray out;
  const TMat3 ortho = OrthoMatrix(s.Cell);
  const TVec3 cf = SitePosition(s, central);
  const TVec3 cc = MatVec(ortho, cf);
  for (size_t j = 0; j < s.Atoms.size(); ++j)
    for (size_t op = 0; op < s.SymOps.size(); ++op) {
      const TVec3 p = ApplySymOp(s.SymOps[op], s.Atoms[j].Frac);
      int lo[3], hi[3];
      for (int k = 0; k < 3; ++k) {
        const double r = radius / PlaneSpacing(s.Cell, k);
        lo[k] = static_cast<int>(std::ceil(cf[k] - r - p[k]));
        hi[k] = static_cast<int>(std::floor(cf[k] + r - p[k]));
      }
      for (int t1 = lo[0]; t1 <= hi[0]; ++t1)
        for (int t2 = lo[1]; t2 <= hi[1]; ++t2)
          for (int t3 = lo[2]; t3 <= hi[2]; ++t3) {
            const TSiteRef site{static_cast<int>(j), static_cast<int>(op), {t1, t2, t3}};
            if (SameSite(s, site, central)) continue;
            const double d = Distance(SiteCartesian(s, site, ortho), cc);
            if (d < 0.4 || d > radius) continue;
            bool stored = false;
            for (const TCandidate& c : out) stored = stored || SameSite(s, site, CandidateSite(c));
            if (!stored) out.push_back({site.Atom, site.Op, {t1, t2, t3}, d});
          }
    }
  return out;
}

}  // namespace koravel::testing
