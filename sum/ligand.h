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

// A neighbour candidate as the search keeps it: the image of atom `Atom`
// under operator `Op` (0-based position in the structure's operator list),
// shifted by the lattice translation `T`, at `Dist` ångström from the central
// atom. A wide search finds tens of thousands of them; the full TLigand record
// is made only for those that become ligands (CandidateLigand).
struct TCandidate {
  int Atom = 0;
  int Op = 0;
  int T[3] = {0, 0, 0};
  double Dist = 0;
};

using TCandidateArray = std::vector<TCandidate>;

}  // namespace koravel
