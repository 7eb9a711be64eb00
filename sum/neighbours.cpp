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

// The sphere of the search, in fractional offsets x from the central atom:
// x^T G x <= R^2 with the metric G = M^T M. Slicing it along a, then b, gives
// for each lattice translation along a the exact range along b, and for each
// pair the exact range along c, so that the loops visit the lattice points
// inside the sphere and not the whole box around it (which, for a large
// radius or a skewed cell, holds far more points than the sphere).
class TSearchSphere {
 public:
  TSearchSphere(const TMat3& ortho, double radius) {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j)
        g_[i][j] = ortho[0][i] * ortho[0][j] + ortho[1][i] * ortho[1][j] + ortho[2][i] * ortho[2][j];
    // The (a, b) block of G^-1 describes the sphere's shadow on the ab plane.
    const double det = g_[0][0] * (g_[1][1] * g_[2][2] - g_[1][2] * g_[2][1]) -
                       g_[0][1] * (g_[1][0] * g_[2][2] - g_[1][2] * g_[2][0]) +
                       g_[0][2] * (g_[1][0] * g_[2][1] - g_[1][1] * g_[2][0]);
    h11_ = (g_[1][1] * g_[2][2] - g_[1][2] * g_[2][1]) / det;
    h12_ = -(g_[0][1] * g_[2][2] - g_[0][2] * g_[2][1]) / det;
    h22_ = (g_[0][0] * g_[2][2] - g_[0][2] * g_[2][0]) / det;
    // A little wider than the radius, so that rounding never loses a point
    // on the sphere; the distance test itself stays exact.
    const double r = radius * (1 + 1e-9) + 1e-9;
    r2_ = r * r;
  }

  // Offsets along b within the sphere for the offset x1 along a.
  bool RangeB(double x1, double& lo, double& hi) const {
    const double detH = h11_ * h22_ - h12_ * h12_;
    const double d = detH * (h11_ * r2_ - x1 * x1);
    return Solve(h11_, -h12_ * x1, d, lo, hi);
  }

  // Offsets along c within the sphere for the offsets x1, x2 along a and b.
  bool RangeC(double x1, double x2, double& lo, double& hi) const {
    const double b = g_[2][0] * x1 + g_[2][1] * x2;
    const double c = g_[0][0] * x1 * x1 + 2 * g_[0][1] * x1 * x2 + g_[1][1] * x2 * x2;
    return Solve(g_[2][2], b, b * b - g_[2][2] * (c - r2_), lo, hi);
  }

 private:
  // The roots (-b -+ sqrt(disc)) / a of a x^2 + 2 b x + c = 0. False when
  // there are none; lo = -inf, hi = +inf when the numbers are unusable.
  static bool Solve(double a, double b, double disc, double& lo, double& hi) {
    if (!(std::isfinite(a) && std::isfinite(b) && std::isfinite(disc) && a > 0)) {
      lo = -HUGE_VAL;
      hi = HUGE_VAL;
      return true;
    }
    if (disc < 0) return false;
    const double root = std::sqrt(disc);
    lo = (-b - root) / a - 1e-9;
    hi = (-b + root) / a + 1e-9;
    return true;
  }

  double g_[3][3];
  double h11_, h12_, h22_;
  double r2_;
};

// Narrows the translations [lo, hi] of one axis to those whose offset
// t - `offset` lies within [xlo, xhi]. False when none is left. Only values
// within [lo, hi] are converted back to integers; NaN bounds narrow nothing.
bool NarrowRange(double offset, double xlo, double xhi, long long& lo, long long& hi) {
  const double low = std::ceil(offset + xlo);
  const double high = std::floor(offset + xhi);
  if (low > static_cast<double>(lo)) {
    if (!(low <= static_cast<double>(hi))) return false;
    lo = static_cast<long long>(low);
  }
  if (high < static_cast<double>(hi)) {
    if (!(high >= static_cast<double>(lo))) return false;
    hi = static_cast<long long>(high);
  }
  return lo <= hi;
}

// An image's fractional coordinates reduced into the unit cell, [0, 1].
TVec3 ReducedToCell(const TVec3& f) {
  return {f[0] - std::floor(f[0]), f[1] - std::floor(f[1]), f[2] - std::floor(f[2])};
}

// Whether two reduced images may lie on the same place modulo the lattice,
// within the same-site tolerance (and a little more, so that rounding never
// hides a pair). NaN never matches.
bool MaySameModuloLattice(const TVec3& a, const TVec3& b) {
  constexpr double kTolerance = kSiteTolerance + 1e-6;
  for (int i = 0; i < 3; ++i) {
    const double d = std::fabs(a[i] - b[i]);
    if (!(d <= kTolerance || d >= 1 - kTolerance)) return false;
  }
  return true;
}

// The search itself: every image of every atom within the radius, each place
// once, in the order atom, operator, lattice translation.
class TNeighbourSearch {
 public:
  TNeighbourSearch(const TWorkingStructure& s, const TSiteRef& central, double radius)
      : s_(s), central_(central), radius_(radius), ortho_(OrthoMatrix(s.Cell)),
        sphere_(ortho_, radius), index_(s.AtomFrac) {
    centralFrac_ = ApplySymOp(central.Op, s.AtomFrac[central.Atom]);
    centralCart_ = SiteCartesian(s.AtomFrac[central.Atom], central.Op, ortho_);
    for (int k = 0; k < 3; ++k) reach_[k] = radius / PlaneSpacing(s.Cell, k);
  }

  TLigArray Run() {
    for (size_t atom = 0; atom < s_.Atoms.size(); ++atom) {
      reduced_.clear();
      for (const TSymOp& op : s_.SymOps) reduced_.push_back(ReducedToCell(ApplySymOp(op, s_.AtomFrac[atom])));
      for (size_t k = 0; k < s_.SymOps.size(); ++k) SearchOperator(static_cast<int>(atom), k);
    }
    return std::move(candidates_);
  }

 private:
  // Whether the atom's image under operator k can coincide with its image
  // under an earlier operator (a special position). Only then can an image
  // of this operator be a place already stored: images under one operator
  // differ by whole lattice translations.
  bool MayCoincideWithEarlier(size_t k) const {
    for (size_t j = 0; j < k; ++j)
      if (MaySameModuloLattice(reduced_[k], reduced_[j])) return true;
    return false;
  }

  // The lattice translations of one operator's image that reach the sphere.
  void SearchOperator(int atom, size_t opIndex) {
    const TSymOp& op = s_.SymOps[opIndex];
    const TVec3 p = ApplySymOp(op, s_.AtomFrac[atom]);
    // Offsets of the image from the central atom are t - (central - image).
    const TVec3 offset = {centralFrac_[0] - p[0], centralFrac_[1] - p[1], centralFrac_[2] - p[2]};
    long long lo[3] = {1, 1, 1}, hi[3] = {0, 0, 0};
    bool empty = false;
    for (int k = 0; k < 3; ++k)
      if (!TranslationRange(offset[k], reach_[k], lo[k], hi[k], radius_)) empty = true;
    if (empty) return;
    const bool checkStored = MayCoincideWithEarlier(opIndex);
    for (long long t1 = lo[0]; t1 <= hi[0]; ++t1) {
      const double x1 = static_cast<double>(t1) - offset[0];
      double blo = 0, bhi = 0;
      long long lo2 = lo[1], hi2 = hi[1];
      if (!sphere_.RangeB(x1, blo, bhi) || !NarrowRange(offset[1], blo, bhi, lo2, hi2)) continue;
      for (long long t2 = lo2; t2 <= hi2; ++t2) {
        const double x2 = static_cast<double>(t2) - offset[1];
        double clo = 0, chi = 0;
        long long lo3 = lo[2], hi3 = hi[2];
        if (!sphere_.RangeC(x1, x2, clo, chi) || !NarrowRange(offset[2], clo, chi, lo3, hi3))
          continue;
        for (long long t3 = lo3; t3 <= hi3; ++t3)
          TryImage(atom, TranslatedSymOp(op, static_cast<int>(t1), static_cast<int>(t2),
                                         static_cast<int>(t3)),
                   checkStored);
      }
    }
  }

  void TryImage(int atom, TSymOp op, bool checkStored) {
    TSiteRef site{atom, std::move(op)};
    if (SameSite(s_.AtomFrac, site, central_)) return;
    const TVec3 pos = ApplySymOp(site.Op, s_.AtomFrac[atom]);
    const double d = Distance(MatVec(ortho_, pos), centralCart_);
    if (d < kMinNeighbourDistance || d > radius_) return;
    if (checkStored && index_.Contains(site, pos, candidates_)) return;
    if (candidates_.size() >= kMaxCandidates)
      Fatal("more than " + std::to_string(kMaxCandidates) +
            " atom images within the search radius (" + FormatFixed(radius_, 2) +
            " A); give a smaller --max=.");
    index_.Add(site, pos, candidates_.size());
    TLigand candidate;
    candidate.Site = std::move(site);
    candidate.Label = s_.Atoms[atom].Label;
    candidate.Element = s_.Atoms[atom].Element;
    candidate.Dist = d;
    candidates_.push_back(std::move(candidate));
  }

  const TWorkingStructure& s_;
  const TSiteRef& central_;
  const double radius_;
  const TMat3 ortho_;
  const TSearchSphere sphere_;
  TSiteIndex index_;
  std::vector<TVec3> reduced_;  // the current atom's images, one per operator
  TVec3 centralFrac_{}, centralCart_{};
  double reach_[3] = {0, 0, 0};
  TLigArray candidates_;
};

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
  return TNeighbourSearch(s, central, radius).Run();
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
