#include "ligands/ligands.h"

#include <algorithm>
#include <cstdint>
#include <tuple>

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

// An occupancy as the file gives it, at most four decimals, no trailing
// zeros: 0.9, 0.0672.
std::string OccupancyText(double occupancy) {
  std::string text = FormatFixed(occupancy, 4);
  while (text.find('.') != std::string::npos && (text.back() == '0' || text.back() == '.')) text.pop_back();
  return text;
}

// The candidates that pass the bond criterion and the occupancy limit.
TCandidateArray BondedCandidates(const TStructure& s, const TCandidateArray& candidates,
                                 const TCentre& centre, const TLigandRequest& request) {
  TCandidateArray bonded;
  const double centralRadius = CovalentRadius(centre.Element);
  for (const TCandidate& c : candidates) {
    const TAtom& atom = s.Atoms[static_cast<size_t>(c.Atom)];
    if (atom.Dummy || atom.Occ < request.MinOccupancy) continue;  // a NaN occupancy passes
    if (!(c.Dist <= (CovalentRadius(atom.Element) + centralRadius) + request.Tolerance)) continue;
    bonded.push_back(c);
  }
  return bonded;
}

// The site under the code that the published angles give its place, where
// they name it (the first entry at the central atom that ends there).
TSiteRef PublishedSite(const TStructure& s, const std::vector<TPublishedAtApex>& published, const TSiteRef& site) {
  for (const TPublishedAtApex& entry : published) {
    if (SameSite(s, entry.End1, site)) return entry.End1;
    if (SameSite(s, entry.End3, site)) return entry.End3;
  }
  return site;
}

// Every atom the automatic sphere names takes the published code of its
// place, so that one place has one name throughout the report: the atom
// ligands (a centroid's members are named as found) ...
void TakePublishedCodes(const TStructure& s, const std::vector<TPublishedAtApex>& published,
                        std::vector<TLigand>& ligands) {
  for (TLigand& ligand : ligands)
    if (!ligand.IsCentroid) {
      ligand.Site = PublishedSite(s, published, ligand.Site);
      ligand.Members = {ligand.Site};
    }
}

// ... and the atoms left out, with their partners.
void TakePublishedCodes(const TStructure& s, const std::vector<TPublishedAtApex>& published,
                        std::vector<TLeftOut>& leftOut) {
  for (TLeftOut& out : leftOut) {
    out.Site = PublishedSite(s, published, out.Site);
    for (TSiteRef& partner : out.Partners) partner = PublishedSite(s, published, partner);
  }
}

// Where a ligand is, for the same-place test: Cartesian position and
// distance from the centre (a centroid's distance is not yet known).
struct TLigandPlace {
  TVec3 X;
  double Dist = 0;
  bool Centroid = false;
};

// Pairs of places (earlier, later in list order) closer than
// kSamePlaceDistance. In a list sorted by distance from the centre two such
// places differ by less than that in distance, which bounds the search.
std::vector<std::pair<size_t, size_t>> SamePlacePairs(const std::vector<TLigandPlace>& places) {
  std::vector<std::pair<size_t, size_t>> pairs;
  for (size_t j = 0; j < places.size(); ++j)
    for (size_t i = j; i-- > 0;) {
      const bool centroids = places[i].Centroid || places[j].Centroid;
      if (!centroids && places[j].Dist - places[i].Dist > kSamePlaceDistance) break;
      if (Distance(places[i].X, places[j].X) < kSamePlaceDistance) pairs.push_back({i, j});
    }
  return pairs;
}

// Stable by the distance `key` gives, ascending, distances equal within
// kEqualDistance in the order found. Lists of more than 1000 only lead to
// the coordination-number message: a plain stable sort orders them instead
// of the quadratic insertion.
template <class T, class TKey>
void SortByDistance(std::vector<T>& list, TKey key) {
  if (list.size() > 1000) {
    std::stable_sort(list.begin(), list.end(), [&](const T& a, const T& b) { return key(a) < key(b); });
    return;
  }
  for (size_t i = 1; i < list.size(); ++i) {
    size_t j = i;
    while (j > 0 && key(list[j - 1]) > key(list[i]) + kEqualDistance) --j;
    std::rotate(list.begin() + j, list.begin() + i, list.begin() + i + 1);
  }
}

// Of each same-place pair the later one is dropped, unless either is
// dropped already; the pairs that drop one.
std::vector<std::pair<size_t, size_t>> Dropping(const std::vector<std::pair<size_t, size_t>>& pairs,
                                                std::vector<char>& dropped) {
  std::vector<std::pair<size_t, size_t>> dropping;
  for (const auto& [i, j] : pairs) {
    if (dropped[i] || dropped[j]) continue;
    dropped[j] = 1;
    dropping.push_back({i, j});
  }
  return dropping;
}

// An eta-bonded group of atoms as one ligand at their centroid, named by
// its atoms in brackets as it is given by hand; the atoms in the order of
// the search (by atom, operator and translation).
TLigand EtaLigand(const TStructure& s, const TCentre& centre, const TCandidateArray& atoms,
                  const std::vector<size_t>& group) {
  std::vector<TCandidate> members;
  for (size_t i : group) members.push_back(atoms[i]);
  std::sort(members.begin(), members.end(), [](const TCandidate& a, const TCandidate& b) {
    return std::tie(a.Atom, a.Op, a.T[0], a.T[1], a.T[2]) < std::tie(b.Atom, b.Op, b.T[0], b.T[1], b.T[2]);
  });
  TLigand ligand;
  ligand.IsCentroid = true;
  ligand.Label = "[";
  for (const TCandidate& c : members) {
    if (!ligand.Members.empty()) ligand.Label += ' ';
    ligand.Members.push_back(CandidateSite(c));
    ligand.Label += SiteDisplayName(s, ligand.Members.back());
  }
  ligand.Label += ']';
  ligand.Site = ligand.Members.front();
  const TMat3 ortho = OrthoMatrix(s.Cell);
  ligand.SearchDistance = Distance(MeanCartesian(s, ligand.Members, ortho), SiteCartesian(s, centre.Site, ortho));
  return ligand;
}

// The automatic ligands by distance, each place once, of the chemical
// sphere or of the radius criterion alone; of more than kListedNeighbours
// only the nearest get ligand records.
TLigandSet AutomaticLigandSet(const TModel& model, const TCentre& centre, const TLigandRequest& request,
                              const TNeighbourhood& neighbours) {
  const TStructure& s = model.Structure;
  TCandidateArray bonded = BondedCandidates(s, neighbours.Candidates, centre, request);
  if (bonded.empty()) Fail("no ligands found.");
  SortByDistance(bonded, [](const TCandidate& c) { return c.Dist; });
  const TMat3 ortho = OrthoMatrix(s.Cell);
  std::vector<TLigandPlace> places;
  for (const TCandidate& c : bonded) places.push_back({MeanCartesian(s, {CandidateSite(c)}, ortho), c.Dist});
  std::vector<char> dropped(bonded.size(), 0);
  const std::vector<std::pair<size_t, size_t>> dropping = Dropping(SamePlacePairs(places), dropped);
  TCandidateArray atoms;                               // one per place
  std::vector<size_t> atomOf(bonded.size(), SIZE_MAX);  // index in `atoms`
  for (size_t k = 0; k < bonded.size(); ++k)
    if (!dropped[k]) {
      atomOf[k] = atoms.size();
      atoms.push_back(bonded[k]);
    }

  TLigandSet set;
  std::vector<std::vector<size_t>> groups;  // the ligands, as indices into `atoms`
  if (request.Sphere == TSphereKind::Chemical) {
    TChemicalSphere chemistry =
        ChemicalSphere(s, centre, atoms, neighbours.Candidates, neighbours.Radius, request.MinOccupancy);
    groups = std::move(chemistry.Ligands);
    set.LeftOut = std::move(chemistry.LeftOut);
  } else {
    for (size_t i = 0; i < atoms.size(); ++i) groups.push_back({i});
  }
  // The atoms are in order already; an eta-bonded group takes its place by
  // the distance of its centroid.
  std::vector<size_t> order(groups.size());
  std::vector<TLigand> centroids(groups.size());  // of the groups of several atoms
  for (size_t g = 0; g < groups.size(); ++g) {
    order[g] = g;
    if (groups[g].size() > 1) centroids[g] = EtaLigand(s, centre, atoms, groups[g]);
  }
  if (std::any_of(centroids.begin(), centroids.end(), [](const TLigand& l) { return l.IsCentroid; }))
    SortByDistance(order, [&](size_t g) {
      return centroids[g].IsCentroid ? centroids[g].SearchDistance : atoms[groups[g].front()].Dist;
    });

  std::vector<size_t> listed(atoms.size(), SIZE_MAX);  // an atom's index in the list
  for (size_t g : order) {
    if (set.List.size() == kListedNeighbours) {
      ++set.Unlisted;
      continue;
    }
    if (centroids[g].IsCentroid) {
      set.List.push_back(std::move(centroids[g]));
      continue;
    }
    listed[groups[g].front()] = set.List.size();
    set.List.push_back(CandidateLigand(s, atoms[groups[g].front()]));
  }
  const std::vector<TPublishedAtApex> published = PublishedAtApex(s, model.PublishedAngles, centre.Site);
  TakePublishedCodes(s, published, set.List);
  TakePublishedCodes(s, published, set.LeftOut);
  std::vector<size_t> kept;  // list index of each dropped partner's ligand
  std::vector<TLigand> partners;
  for (const auto& [i, j] : dropping) {
    if (listed[atomOf[i]] == SIZE_MAX) continue;
    kept.push_back(listed[atomOf[i]]);
    partners.push_back(CandidateLigand(s, bonded[j]));
  }
  TakePublishedCodes(s, published, partners);
  for (size_t k = 0; k < partners.size(); ++k)
    set.SamePlace.push_back({set.List[kept[k]], std::move(partners[k])});
  return set;
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

TLigandSet ChooseLigands(const TModel& model, const TCentre& centre, const TLigandRequest& request,
                         const TNeighbourhood& neighbours) {
  if (request.Automatic()) return AutomaticLigandSet(model, centre, request, neighbours);
  const TStructure& s = model.Structure;
  TNamedLigands named = ResolveNamedLigands(s, centre, request.Names, neighbours.Candidates,
                                            neighbours.Radius);
  TLigandSet set;
  set.Automatic = false;
  set.List = std::move(named.Ligands);
  set.SuffixRemoved = named.SuffixRemoved;
  if (set.List.empty()) Fail("no ligands found.");
  SortByDistance(set.List, [](const TLigand& l) { return l.IsCentroid ? 0.0 : l.SearchDistance; });
  const TMat3 ortho = OrthoMatrix(s.Cell);
  std::vector<TLigandPlace> places;
  for (const TLigand& l : set.List)
    places.push_back({MeanCartesian(s, l.Members, ortho), l.SearchDistance, l.IsCentroid});
  const std::vector<std::pair<size_t, size_t>> pairs = SamePlacePairs(places);
  if (pairs.empty()) return set;
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

std::string LigandDisplayName(const TStructure& s, const TLigand& ligand) {
  if (ligand.IsCentroid) return ligand.Label;
  return IsAtomItself(s, ligand.Site) ? ligand.Label : ligand.Label + "#" + SymCode(s, ligand.Site);
}

std::string SiteDisplayName(const TStructure& s, const TSiteRef& site) {
  const std::string& label = s.Atoms[static_cast<size_t>(site.Atom)].Label;
  return IsAtomItself(s, site) ? label : label + "#" + SymCode(s, site);
}

}  // namespace koravel
