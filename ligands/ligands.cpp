#include "ligands/ligands.h"

#include <algorithm>

#include "base/error.h"
#include "crystal/elements.h"
#include "ligands/centre.h"
#include "ligands/explicit_ligands.h"
#include "ligands/neighbours.h"

namespace koravel {

namespace {

std::vector<TLigand> AutomaticLigands(const TStructure& s, const TCandidateArray& candidates,
                                      const TCentre& centre, const TLigandRequest& request) {
  std::vector<TLigand> ligands;
  const double centralRadius = CovalentRadius(centre.Element);
  for (const TCandidate& c : candidates) {
    const TAtom& atom = s.Atoms[static_cast<size_t>(c.Atom)];
    if (atom.Occ < request.MinOccupancy) continue;  // a NaN occupancy passes
    if (!(c.Dist <= (CovalentRadius(atom.Element) + centralRadius) + request.Tolerance)) continue;
    ligands.push_back(CandidateLigand(s, c));
  }
  return ligands;
}

// Stable by distance, ascending, centroids (whose distance is not yet known)
// first. Lists this long only lead to the coordination-number message; they
// are ordered by a plain stable sort instead of the quadratic insertion.
void SortByDistance(std::vector<TLigand>& ligands) {
  auto key = [](const TLigand& l) { return l.IsCentroid ? 0.0 : l.SearchDistance; };
  if (ligands.size() > 1000) {
    std::stable_sort(ligands.begin(), ligands.end(),
                     [&](const TLigand& a, const TLigand& b) { return key(a) < key(b); });
    return;
  }
  for (size_t i = 1; i < ligands.size(); ++i) {
    size_t j = i;
    while (j > 0 && key(ligands[j - 1]) > key(ligands[i]) + kEqualDistance) --j;
    std::rotate(ligands.begin() + j, ligands.begin() + i, ligands.begin() + i + 1);
  }
}

}  // namespace

TNeighbourhood SearchNeighbours(const TInput& in, const TCentre& centre,
                                const TLigandRequest& request) {
  TNeighbourhood n;
  n.Radius = SearchRadius(in.Structure, centre, request.Automatic(), request.Tolerance,
                          request.MaxRadius);
  // Named ligands can only be images of the named atoms: the others need not
  // be searched, which matters for a large --max.
  n.Candidates = FindNeighbours(in.Structure, centre.Site, n.Radius,
                                request.Automatic() ? std::vector<char>{} : NamedAtoms(in, request.Names));
  return n;
}

TLigandSet ChooseLigands(const TInput& in, const TCentre& centre, const TLigandRequest& request,
                         const TNeighbourhood& neighbours) {
  TLigandSet set;
  set.Automatic = request.Automatic();
  if (set.Automatic) {
    set.List = AutomaticLigands(in.Structure, neighbours.Candidates, centre, request);
  } else {
    TNamedLigands named = ResolveNamedLigands(in, centre, request.Names, neighbours.Candidates,
                                              neighbours.Radius);
    set.List = std::move(named.Ligands);
    set.SuffixRemoved = named.SuffixRemoved;
  }
  if (set.List.empty()) Fail("no ligands found.");
  SortByDistance(set.List);
  return set;
}

}  // namespace koravel
