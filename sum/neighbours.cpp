#include "sum/neighbours.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "geom/cell.h"
#include "geom/elements.h"
#include "geom/fatal.h"
#include "geom/number_text.h"

namespace koravel {

namespace {

constexpr double kDegToRad = 0.017453292519943295;
// Atom images closer than this to the central atom are never neighbours: an
// image of the central atom on a special position, or a disordered partner.
constexpr double kMinNeighbourDistance = 0.4;
// Distances within this count as equal when ordering ligands.
constexpr double kEqualDistance = 1e-6;
// Same-site tolerance in fractional units (as SameSite uses).
constexpr double kSiteTolerance = 0.001;

double Distance(const TVec3& a, const TVec3& b) {
  const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Stored candidates, found again by position. A site within the same-site
// tolerance of a stored one lies in the same or a neighbouring bucket of
// the tolerance's width, so only 27 buckets need to be looked at; positions
// that cannot be bucketed (not finite, or absurdly large) match nothing.
class TSiteIndex {
 public:
  explicit TSiteIndex(const std::vector<TVec3>& frac) : frac_(frac) {}

  bool Contains(const TSiteRef& site, const TVec3& pos, const TLigArray& stored) const {
    long long key[3];
    if (!BucketOf(pos, key)) return false;
    for (long long dx = -1; dx <= 1; ++dx)
      for (long long dy = -1; dy <= 1; ++dy)
        for (long long dz = -1; dz <= 1; ++dz) {
          auto found = buckets_.find(Hash(site.Atom, key[0] + dx, key[1] + dy, key[2] + dz));
          if (found == buckets_.end()) continue;
          for (size_t slot : found->second)
            if (SameSite(frac_, site, stored[slot].Site)) return true;
        }
    return false;
  }

  void Add(const TSiteRef& site, const TVec3& pos, size_t slot) {
    long long key[3];
    if (BucketOf(pos, key)) buckets_[Hash(site.Atom, key[0], key[1], key[2])].push_back(slot);
  }

 private:
  static bool BucketOf(const TVec3& pos, long long key[3]) {
    for (int i = 0; i < 3; ++i) {
      if (!(std::fabs(pos[i]) < 1e9)) return false;
      key[i] = static_cast<long long>(std::floor(pos[i] / kSiteTolerance));
    }
    return true;
  }
  static size_t Hash(int atom, long long x, long long y, long long z) {
    size_t h = std::hash<long long>()(atom);
    for (long long v : {x, y, z}) h = h * 1000003u ^ std::hash<long long>()(v);
    return h;
  }

  const std::vector<TVec3>& frac_;
  std::unordered_map<size_t, std::vector<size_t>> buckets_;
};

[[noreturn]] void RadiusTooLarge(double radius) {
  Fatal("search radius " + FormatFixed(radius, 2) +
        " A is too large for this cell; give a smaller --max=.");
}

// The lattice translations t along one axis that can bring an image within
// `reach` (fractional) of the central atom, `offset` being central minus
// image. False when there is none.
bool TranslationRange(double offset, double reach, long long& lo, long long& hi, double radius) {
  const double low = std::ceil(offset - reach);
  const double high = std::floor(offset + reach);
  if (high < low) return false;
  if (!(high - low + 1 <= kMaxTranslationsPerAxis)) RadiusTooLarge(radius);
  // Coordinates far outside any cell cannot come near the central atom.
  if (!(std::fabs(low) < 1e9 && std::fabs(high) < 1e9)) return false;
  lo = static_cast<long long>(low);
  hi = static_cast<long long>(high);
  return true;
}

}  // namespace

double PlaneSpacing(const TCell& cell, int axis) {
  const double ca = std::cos(cell.Alpha * kDegToRad);
  const double cb = std::cos(cell.Beta * kDegToRad);
  const double cg = std::cos(cell.Gamma * kDegToRad);
  double g = 2 * ca * cb * cg + (1 - ca * ca - cb * cb - cg * cg);
  if (g < 1e-12) g = 1e-12;
  const double volume = std::sqrt(g) * (cell.A * cell.B * cell.C);
  switch (axis) {
    case 0: return volume / (std::sin(cell.Alpha * kDegToRad) * (cell.B * cell.C));
    case 1: return volume / (std::sin(cell.Beta * kDegToRad) * (cell.A * cell.C));
    default: return volume / (std::sin(cell.Gamma * kDegToRad) * (cell.A * cell.B));
  }
}

TLigArray FindNeighbours(const TWorkingStructure& s, const TSiteRef& central, double radius) {
  TLigArray candidates;
  const TMat3 ortho = OrthoMatrix(s.Cell);
  const TVec3 centralFrac = ApplySymOp(central.Op, s.AtomFrac[central.Atom]);
  const TVec3 centralCart = SiteCartesian(s.AtomFrac[central.Atom], central.Op, ortho);
  double reach[3];
  for (int k = 0; k < 3; ++k) reach[k] = radius / PlaneSpacing(s.Cell, k);

  TSiteIndex index(s.AtomFrac);
  for (size_t atom = 0; atom < s.Atoms.size(); ++atom) {
    for (const TSymOp& op : s.SymOps) {
      const TVec3 p = ApplySymOp(op, s.AtomFrac[atom]);
      long long lo[3] = {1, 1, 1}, hi[3] = {0, 0, 0};
      bool empty = false;
      for (int k = 0; k < 3; ++k)
        if (!TranslationRange(centralFrac[k] - p[k], reach[k], lo[k], hi[k], radius)) empty = true;
      if (empty) continue;
      for (long long t1 = lo[0]; t1 <= hi[0]; ++t1)
        for (long long t2 = lo[1]; t2 <= hi[1]; ++t2)
          for (long long t3 = lo[2]; t3 <= hi[2]; ++t3) {
            TSiteRef site{static_cast<int>(atom),
                          TranslatedSymOp(op, static_cast<int>(t1), static_cast<int>(t2),
                                          static_cast<int>(t3))};
            if (SameSite(s.AtomFrac, site, central)) continue;
            const TVec3 pos = ApplySymOp(site.Op, s.AtomFrac[atom]);
            const double d = Distance(MatVec(ortho, pos), centralCart);
            if (d < kMinNeighbourDistance || d > radius) continue;
            if (index.Contains(site, pos, candidates)) continue;
            if (candidates.size() >= kMaxCandidates)
              Fatal("more than 1000000 atom images within the search radius (" +
                    FormatFixed(radius, 2) + " A); give a smaller --max=.");
            TLigand candidate;
            candidate.Site = site;
            candidate.Label = s.Atoms[atom].Label;
            candidate.Element = s.Atoms[atom].Element;
            candidate.Dist = d;
            index.Add(site, pos, candidates.size());
            candidates.push_back(std::move(candidate));
          }
    }
  }
  return candidates;
}

TLigArray SelectAutomaticLigands(const TLigArray& candidates, const TWorkingStructure& s,
                                 const std::string& centralElement, double tolerance,
                                 double minOccupancy) {
  TLigArray ligands;
  const double centralRadius = CovalentRadius(centralElement);
  for (const TLigand& c : candidates) {
    const double occ = s.Atoms[c.Site.Atom].Occ;
    if (occ < minOccupancy) continue;  // a NaN occupancy passes
    if (!(c.Dist <= (CovalentRadius(c.Element) + centralRadius) + tolerance)) continue;
    ligands.push_back(c);
  }
  return ligands;
}

void SortLigandsByDistance(TLigArray& ligands) {
  auto greater = [](const TLigand& earlier, const TLigand& moving) {
    return earlier.Dist > moving.Dist + kEqualDistance;
  };
  // Lists this long only lead to the coordination-number message; they are
  // ordered by a plain stable sort instead of the quadratic insertion.
  if (ligands.size() > 1000) {
    std::stable_sort(ligands.begin(), ligands.end(), [&](const TLigand& a, const TLigand& b) {
      return greater(b, a);
    });
    return;
  }
  for (size_t i = 1; i < ligands.size(); ++i) {
    size_t j = i;
    while (j > 0 && greater(ligands[j - 1], ligands[i])) --j;
    std::rotate(ligands.begin() + j, ligands.begin() + i, ligands.begin() + i + 1);
  }
}

}  // namespace koravel
