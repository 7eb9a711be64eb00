#pragma once
#include <string>

#include "geom/structure.h"
#include "geom/symop.h"
#include "sum/ligand.h"

namespace koravel {

// Limits that keep a search over a huge radius from running without end. No
// angle sum needs more than a few hundred neighbour candidates; the limit on
// the candidates keeps a run with an absurd --max= within a second.
constexpr long long kMaxTranslationsPerAxis = 1000;
constexpr size_t kMaxCandidates = 1000000;

// Distance (ångström) between neighbouring lattice planes perpendicular to
// reciprocal axis `axis` (0, 1, 2).
double PlaneSpacing(const TCell& cell, int axis);

// Every atom image within `radius` of the central site (closer than 0.4 Å and
// the central atom itself excluded), each position once, ordered by atom,
// operator and lattice translation.
TCandidateArray FindNeighbours(const TWorkingStructure& s, const TSiteRef& central, double radius);

// The site of a candidate, its operator carrying the translation and code.
TSiteRef CandidateSite(const TWorkingStructure& s, const TCandidate& c);
// The full ligand record of a candidate: site, the atom's label and element,
// and the distance found by the search.
TLigand CandidateLigand(const TWorkingStructure& s, const TCandidate& c);

// The candidates that pass the bond criterion d <= r1 + r2 + tolerance and
// the occupancy limit, in candidate order.
TLigArray SelectAutomaticLigands(const TCandidateArray& candidates, const TWorkingStructure& s,
                                 const std::string& centralElement, double tolerance,
                                 double minOccupancy);

// Stable sort by distance, ascending; distances within 1e-6 Å count as equal,
// so images equidistant by symmetry keep their order on every platform.
void SortLigandsByDistance(TLigArray& ligands);

}  // namespace koravel
