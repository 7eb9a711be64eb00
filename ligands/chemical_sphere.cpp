#include "ligands/chemical_sphere.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "crystal/elements.h"

namespace koravel {

namespace {

// An atom image around the centre, with what the rules ask of it.
struct TImage {
  TSiteRef Site;
  TVec3 X{};          // Cartesian, ångström
  double Dist = 0;    // from the centre
  double Radius = 0;  // covalent
  bool Metal = false;
  bool Hydrogen = false;
};

// Images sorted into cubes, so that those near a point are found without
// looking at all of them: a sphere searched with a huge tolerance holds
// hundreds of thousands, and every question below is asked within a few
// ångström.
class TImageGrid {
 public:
  explicit TImageGrid(const std::vector<TImage>& images) : images_(images) {
    for (size_t i = 0; i < images.size(); ++i)
      if (TKey key; CellOf(images[i].X, key)) cells_[key].push_back(i);
  }

  // Calls visit(i) for every image within `radius` of p.
  template <class TVisit>
  void ForEachNear(const TVec3& p, double radius, TVisit visit) const {
    TKey centre;
    if (!CellOf(p, centre) || !(radius >= 0 && radius < kMaxRadius)) return;
    const long long reach = static_cast<long long>(std::ceil(radius / kEdge));
    for (long long dx = -reach; dx <= reach; ++dx)
      for (long long dy = -reach; dy <= reach; ++dy)
        for (long long dz = -reach; dz <= reach; ++dz) {
          const auto found = cells_.find({centre[0] + dx, centre[1] + dy, centre[2] + dz});
          if (found == cells_.end()) continue;
          for (size_t i : found->second)
            if (Distance(images_[i].X, p) <= radius) visit(i);
        }
  }

 private:
  using TKey = std::array<long long, 3>;
  struct THash {
    size_t operator()(const TKey& k) const {
      size_t h = 0;
      for (long long v : k) h = h * 1000003u ^ std::hash<long long>()(v);
      return h;
    }
  };
  static constexpr double kEdge = 3.0;        // ångström
  static constexpr double kMaxRadius = 50.0;  // far beyond any bond

  // Positions that are not finite or absurdly large lie in no cell.
  static bool CellOf(const TVec3& x, TKey& key) {
    for (int i = 0; i < 3; ++i) {
      if (!(std::fabs(x[i]) < 1e9)) return false;
      key[i] = static_cast<long long>(std::floor(x[i] / kEdge));
    }
    return true;
  }

  const std::vector<TImage>& images_;
  std::unordered_map<TKey, std::vector<size_t>, THash> cells_;
};

enum class TState { Kept, Behind, BondedTo, Bridged };

bool Nearer(double a, double b) { return a < b - kEqualDistance; }

bool SamePlace(const TImage& a, const TImage& b) { return Distance(a.X, b.X) < kSamePlaceDistance; }

bool Bonded(const TImage& a, const TImage& b) {
  return Distance(a.X, b.X) <= a.Radius + b.Radius + kLigandBondTolerance;
}

// Whether the midpoint of the bond a-b is nearer to the centre than either
// atom, |MB|^2 - |MA|^2 < |AB|^2 / 2 by Apollonius' theorem: the centre then
// binds the bond side-on (the M-C-C angle of a cyclopentadienyl is 70 deg),
// where an atom behind a donor makes an angle near 90 deg or more at it (the
// C of a chelating carboxylate, the H of a water, the Si of a silicate).
bool SideOn(const TImage& a, const TImage& b) {
  const double ab = Distance(a.X, b.X);
  return std::fabs(b.Dist * b.Dist - a.Dist * a.Dist) < ab * ab / 2;
}

// Whether b lies behind a as seen from the centre: their bond is not
// side-on, and the angle centre-a-b is at least 75 deg. The angle matters
// where the bond a-b is long beside the distance of a: from a carboxylate
// oxygen, the lanthanide its group chelates makes 65 deg at the carbon
// (O-C 1.26, Ln-O 2.7, Ln...C 3.0 A) and is bonded to the oxygen, not
// behind the carbon.
bool Behind(const TImage& a, const TImage& b, const TVec3& centre) {
  const TVec3 toCentre = Minus(centre, a.X), toB = Minus(b.X, a.X);
  const double cosine = Dot(toCentre, toB) / (Norm(toCentre) * Norm(toB));
  return !SideOn(a, b) && cosine <= std::cos(75 / kDegPerRad);
}

// Two ligand atoms of one eta-bonded group: non-metals bonded side-on; a
// hydrogen only with a hydrogen (dihydrogen).
bool EtaPair(const TImage& a, const TImage& b) {
  return !a.Metal && !b.Metal && a.Hydrogen == b.Hydrogen && Bonded(a, b) && SideOn(a, b);
}

// The largest covalent radius of the structure's atoms: the reach of any
// bond.
double LargestRadius(const TStructure& s) {
  double largest = 0;
  for (const TAtom& a : s.Atoms)
    if (!a.Dummy) largest = std::max(largest, CovalentRadius(a.Element));
  return largest;
}

// The chemistry's view of one centre.
class TChemistry {
 public:
  TChemistry(const TStructure& s, const TCentre& centre, const TCandidateArray& radiusLigands,
             const TCandidateArray& neighbours, double searchRadius, double minOccupancy)
      : s_(s),
        ortho_(OrthoMatrix(s.Cell)),
        centre_(SiteCartesian(s, centre.Site, ortho_)),
        centreMetal_(IsMetal(centre.Element)),
        searchRadius_(searchRadius),
        minOccupancy_(minOccupancy),
        largestRadius_(LargestRadius(s)),
        ligands_(Images(radiusLigands, false)),
        partners_(Partners(neighbours)),
        ligandGrid_(ligands_),
        partnerGrid_(partners_) {}

  TChemicalSphere Sphere() {
    TChemicalSphere sphere;
    state_.assign(ligands_.size(), TState::Kept);
    for (size_t j = 0; j < ligands_.size(); ++j) {
      TLeftOut out{ligands_[j].Site, TLeftOutReason::Behind, {}};
      if (ligands_[j].Hydrogen) {
        out.Partners = HydrogenOwners(j);
        out.Reason = TLeftOutReason::BondedTo;
        if (!out.Partners.empty()) state_[j] = TState::BondedTo;
      } else if (ligands_[j].Metal && centreMetal_) {
        out.Partners = Bridges(j);
        out.Reason = TLeftOutReason::BridgedBy;
        if (!out.Partners.empty()) state_[j] = TState::Bridged;
      } else {
        out.Partners = Donors(j);
        if (!out.Partners.empty()) state_[j] = TState::Behind;
      }
      if (state_[j] != TState::Kept) sphere.LeftOut.push_back(std::move(out));
    }
    sphere.Ligands = Groups();
    return sphere;
  }

 private:
  TImage Image(const TSiteRef& site) const {
    const TAtom& atom = s_.Atoms[static_cast<size_t>(site.Atom)];
    TImage image{site, SiteCartesian(s_, site, ortho_), 0, CovalentRadius(atom.Element),
                 IsMetal(atom.Element), IsHydrogen(atom.Element)};
    image.Dist = Distance(image.X, centre_);
    return image;
  }

  // The images of the candidates; as bond partners, only real atoms above
  // the occupancy limit (a NaN occupancy passes, as for ligands).
  std::vector<TImage> Images(const TCandidateArray& candidates, bool partners) const {
    std::vector<TImage> images;
    for (const TCandidate& c : candidates) {
      const TAtom& atom = s_.Atoms[static_cast<size_t>(c.Atom)];
      if (partners && (atom.Dummy || atom.Occ < minOccupancy_)) continue;
      images.push_back(Image(CandidateSite(c)));
    }
    return images;
  }

  // The neighbours that can be bond partners of the ligands: within a bond
  // of a hydrogen ligand, or nearer than a metal ligand (a bridge).
  std::vector<TImage> Partners(const TCandidateArray& neighbours) const {
    double reach = 0;
    for (const TImage& l : ligands_) reach = std::max(reach, l.Dist + 2 * largestRadius_ + kLigandBondTolerance);
    TCandidateArray near;
    for (const TCandidate& c : neighbours)
      if (c.Dist <= reach) near.push_back(c);
    return Images(near, true);
  }

  // The ligand at the place of an image, or -1.
  long long LigandAt(const TImage& x) const {
    long long found = -1;
    ligandGrid_.ForEachNear(x.X, kSamePlaceDistance, [&](size_t k) {
      if (found < 0) found = static_cast<long long>(k);
    });
    return found;
  }

  // The non-metal atoms a hydrogen ligand is bonded to that are nearer to it
  // than the centre; a second hydrogen of the sphere bonded side-on to it
  // (dihydrogen) does not count.
  std::vector<TSiteRef> HydrogenOwners(size_t j) const {
    const TImage& h = ligands_[j];
    std::vector<std::pair<double, TSiteRef>> owners;  // by distance from the hydrogen
    auto consider = [&](const TImage& x) {
      const double hx = Distance(h.X, x.X);
      if (x.Metal || SamePlace(x, h) || !Bonded(h, x) || !Nearer(hx, h.Dist)) return;
      const long long k = LigandAt(x);
      if (x.Hydrogen && SideOn(h, x) && k >= 0) return;
      // An atom listed twice (as an atom and its symmetry copy) is named once,
      // as the sphere names its place.
      owners.push_back({hx, k >= 0 ? ligands_[static_cast<size_t>(k)].Site : x.Site});
    };
    // An owner is nearer to the hydrogen than the centre, and bonded to it.
    const double reach = std::min(h.Dist, h.Radius + largestRadius_ + kLigandBondTolerance);
    if (h.Dist + reach <= searchRadius_) {
      partnerGrid_.ForEachNear(h.X, reach, [&](size_t i) { consider(partners_[i]); });
    } else {  // beyond the neighbours found: a search of its own
      for (const TImage& x : Images(FindNeighbours(s_, h.Site, reach), true)) consider(x);
    }
    std::stable_sort(owners.begin(), owners.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TSiteRef> sites;
    for (const auto& owner : owners)
      if (std::none_of(sites.begin(), sites.end(), [&](const TSiteRef& site) { return SameSite(s_, site, owner.second); }))
        sites.push_back(owner.second);
    return sites;
  }

  // The non-metal atoms between a metal ligand and the metal centre: nearer
  // to each than they are to each other, within bonding reach of the ligand.
  // Named are the ligands of the centre bonded to the far metal; failing
  // those (a long lead-oxygen bond), the atom nearest to the far metal.
  std::vector<TSiteRef> Bridges(size_t j) const {
    const TImage& b = ligands_[j];
    std::vector<size_t> lens;
    partnerGrid_.ForEachNear(b.X, std::min(b.Dist, b.Radius + largestRadius_ + kBridgeReach), [&](size_t i) {
      const TImage& x = partners_[i];
      const double xb = Distance(x.X, b.X);
      if (x.Metal || SamePlace(x, b) || !Nearer(x.Dist, b.Dist) || !Nearer(xb, b.Dist) ||
          xb > x.Radius + b.Radius + kBridgeReach)
        return;
      lens.push_back(i);
    });
    std::vector<size_t> ligands;  // in order of distance from the centre
    for (size_t i : lens) {
      const long long k = LigandAt(partners_[i]);
      if (k >= 0 && state_[static_cast<size_t>(k)] == TState::Kept && Bonded(partners_[i], b))
        ligands.push_back(static_cast<size_t>(k));
    }
    std::sort(ligands.begin(), ligands.end());
    ligands.erase(std::unique(ligands.begin(), ligands.end()), ligands.end());
    std::vector<TSiteRef> bridges;
    for (size_t k : ligands) bridges.push_back(ligands_[k].Site);
    if (bridges.empty() && !lens.empty()) {
      const auto nearest = std::min_element(lens.begin(), lens.end(), [&](size_t p, size_t q) {
        return Distance(partners_[p].X, b.X) < Distance(partners_[q].X, b.X);
      });
      bridges.push_back(partners_[*nearest].Site);
    }
    return bridges;
  }

  // The nearer atoms of the sphere that an atom is bonded to and lies
  // behind: ligands it lies behind (Behind), and any atom left out before
  // it, but for hydrogens left to their owners.
  std::vector<TSiteRef> Donors(size_t j) const {
    const TImage& b = ligands_[j];
    std::vector<size_t> donors;
    ligandGrid_.ForEachNear(b.X, b.Radius + largestRadius_ + kLigandBondTolerance, [&](size_t a) {
      const TImage& d = ligands_[a];
      if (a >= j || state_[a] == TState::BondedTo || !Nearer(d.Dist, b.Dist) || !Bonded(d, b)) return;
      if (state_[a] == TState::Kept && !Behind(d, b, centre_)) return;
      donors.push_back(a);
    });
    std::sort(donors.begin(), donors.end());
    std::vector<TSiteRef> sites;
    for (size_t a : donors) sites.push_back(ligands_[a].Site);
    return sites;
  }

  // The ligands kept, an eta-bonded group as one (only around a metal).
  std::vector<std::vector<size_t>> Groups() const {
    std::vector<size_t> root(ligands_.size());
    std::iota(root.begin(), root.end(), 0);
    auto find = [&root](size_t i) {
      while (root[i] != i) i = root[i] = root[root[i]];
      return i;
    };
    for (size_t a = 0; a < ligands_.size() && centreMetal_; ++a) {
      if (state_[a] != TState::Kept) continue;
      ligandGrid_.ForEachNear(ligands_[a].X, ligands_[a].Radius + largestRadius_ + kLigandBondTolerance,
                              [&](size_t b) {
                                if (b <= a || state_[b] != TState::Kept || !EtaPair(ligands_[a], ligands_[b])) return;
                                const size_t ra = find(a), rb = find(b);
                                root[std::max(ra, rb)] = std::min(ra, rb);
                              });
    }
    std::vector<std::vector<size_t>> groups;
    std::vector<long long> groupOfRoot(ligands_.size(), -1);
    for (size_t i = 0; i < ligands_.size(); ++i) {
      if (state_[i] != TState::Kept) continue;
      const size_t r = find(i);
      if (groupOfRoot[r] < 0) {
        groupOfRoot[r] = static_cast<long long>(groups.size());
        groups.emplace_back();
      }
      groups[static_cast<size_t>(groupOfRoot[r])].push_back(i);
    }
    return groups;
  }

  const TStructure& s_;
  const TMat3 ortho_;
  const TVec3 centre_;
  const bool centreMetal_;
  const double searchRadius_;
  const double minOccupancy_;
  const double largestRadius_;
  const std::vector<TImage> ligands_;
  const std::vector<TImage> partners_;
  const TImageGrid ligandGrid_;
  const TImageGrid partnerGrid_;
  std::vector<TState> state_;
};

}  // namespace

TChemicalSphere ChemicalSphere(const TStructure& s, const TCentre& centre,
                               const TCandidateArray& radiusLigands, const TCandidateArray& neighbours,
                               double searchRadius, double minOccupancy) {
  const size_t looked = std::min(radiusLigands.size(), kChemistryAtoms);
  const TCandidateArray nearest(radiusLigands.begin(), radiusLigands.begin() + static_cast<std::ptrdiff_t>(looked));
  TChemicalSphere sphere = TChemistry(s, centre, nearest, neighbours, searchRadius, minOccupancy).Sphere();
  for (size_t i = looked; i < radiusLigands.size(); ++i) sphere.Ligands.push_back({i});
  return sphere;
}

}  // namespace koravel
