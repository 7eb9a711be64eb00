#include "ligands/ligands.h"

#include <algorithm>

#include "base/error.h"
#include "base/numbers.h"
#include "crystal/elements.h"
#include "crystal/published_angle.h"
#include "crystal/sym_code.h"
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

// The code of the published angles for each ligand's place, where they name
// the place: the first entry at the central atom that ends there.
void TakePublishedCodes(const TModel& model, const TCentre& centre, std::vector<TLigand>& ligands) {
  const TStructure& s = model.Structure;
  const std::vector<TPublishedAtApex> published = PublishedAtApex(s, model.PublishedAngles, centre.Site);
  for (TLigand& ligand : ligands)
    for (const TPublishedAtApex& entry : published) {
      const TSiteRef* end = SameSite(s, entry.End1, ligand.Site)   ? &entry.End1
                            : SameSite(s, entry.End3, ligand.Site) ? &entry.End3
                                                                   : nullptr;
      if (end == nullptr) continue;
      ligand.Site = *end;
      ligand.Members = {*end};
      break;
    }
}

// Pairs of ligands (earlier, later in list order) closer than
// kSamePlaceDistance. In a list sorted by distance from the centre two such
// ligands differ by less than that in distance, which bounds the search.
std::vector<std::pair<size_t, size_t>> SamePlacePairs(const TStructure& s,
                                                      const std::vector<TLigand>& ligands) {
  const TMat3 ortho = OrthoMatrix(s.Cell);
  std::vector<TVec3> x;
  for (const TLigand& l : ligands) x.push_back(MeanCartesian(s, l.Members, ortho));
  std::vector<std::pair<size_t, size_t>> pairs;
  for (size_t j = 0; j < ligands.size(); ++j)
    for (size_t i = j; i-- > 0;) {
      const bool centroids = ligands[i].IsCentroid || ligands[j].IsCentroid;
      if (!centroids && ligands[j].SearchDistance - ligands[i].SearchDistance > kSamePlaceDistance) break;
      if (Distance(x[i], x[j]) < kSamePlaceDistance) pairs.push_back({i, j});
    }
  return pairs;
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

TNeighbourhood SearchNeighbours(const TStructure& s, const TCentre& centre,
                                const TLigandRequest& request) {
  TNeighbourhood n;
  n.Radius = SearchRadius(s, centre, request.Automatic(), request.Tolerance, request.MaxRadius);
  // Named ligands can only be images of the named atoms: the others need not
  // be searched, which matters for a large --max.
  n.Candidates = FindNeighbours(s, centre.Site, n.Radius,
                                request.Automatic() ? std::vector<char>{} : NamedAtoms(s, request.Names));
  return n;
}

namespace {

// An occupancy as the file gives it, at most four decimals, no trailing
// zeros: 0.9, 0.0672.
std::string OccupancyText(double occupancy) {
  std::string text = FormatFixed(occupancy, 4);
  while (text.find('.') != std::string::npos && (text.back() == '0' || text.back() == '.')) text.pop_back();
  return text;
}

}  // namespace

TLigandSet ChooseLigands(const TModel& model, const TCentre& centre, const TLigandRequest& request,
                         const TNeighbourhood& neighbours) {
  const TStructure& s = model.Structure;
  TLigandSet set;
  set.Automatic = request.Automatic();
  if (set.Automatic) {
    set.List = AutomaticLigands(s, neighbours.Candidates, centre, request);
  } else {
    TNamedLigands named = ResolveNamedLigands(s, centre, request.Names, neighbours.Candidates,
                                              neighbours.Radius);
    set.List = std::move(named.Ligands);
    set.SuffixRemoved = named.SuffixRemoved;
  }
  if (set.List.empty()) Fail("no ligands found.");
  SortByDistance(set.List);
  if (set.Automatic) TakePublishedCodes(model, centre, set.List);
  const std::vector<std::pair<size_t, size_t>> pairs = SamePlacePairs(s, set.List);
  if (pairs.empty()) return set;
  if (!set.Automatic) {
    const auto& [i, j] = pairs.front();
    const double occupancyI = s.Atoms[static_cast<size_t>(set.List[i].Site.Atom)].Occ;
    const double occupancyJ = s.Atoms[static_cast<size_t>(set.List[j].Site.Atom)].Occ;
    const std::string both = "ligands " + LigandDisplayName(s, set.List[i]) + " and " +
                             LigandDisplayName(s, set.List[j]) + " occupy the same place; ";
    // Two partly occupied atoms at one place share a site (a mixed site
    // such as Sn/In, or a disorder); two full ones are one atom listed twice.
    if (occupancyI < 1 && occupancyJ < 1)
      Fail(both + "they share one site, with occupancies " + OccupancyText(occupancyI) + " and " +
           OccupancyText(occupancyJ) + " (a mixed or disordered site): name one of them.");
    Fail(both + "the file lists one atom twice.");
  }
  std::vector<char> dropped(set.List.size(), 0);
  for (const auto& [i, j] : pairs) {
    if (dropped[i] || dropped[j]) continue;
    dropped[j] = 1;
    set.SamePlace.push_back({set.List[i], set.List[j]});
  }
  std::vector<TLigand> kept;
  for (size_t k = 0; k < set.List.size(); ++k)
    if (!dropped[k]) kept.push_back(std::move(set.List[k]));
  set.List = std::move(kept);
  return set;
}

std::string LigandDisplayName(const TStructure& s, const TLigand& ligand) {
  if (ligand.IsCentroid) return ligand.Label;
  return IsAtomItself(s, ligand.Site) ? ligand.Label : ligand.Label + "#" + SymCode(s, ligand.Site);
}

}  // namespace koravel
