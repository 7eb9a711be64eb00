#include "ligands/neighbours.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "base/error.h"
#include "base/numbers.h"
#include "crystal/group_ops.h"

namespace koravel {

namespace {

// Atom images closer than this to the central atom are never neighbours: an
// image of the central atom on a special position, or a disordered partner.
constexpr double kMinNeighbourDistance = 0.4;

// Same-site images of one atom: the positions of its images under two
// operators can coincide only when they differ by (nearly) a lattice vector
// already without translations; twice the same-site tolerance leaves ample
// room for the rounding of the translated positions.
constexpr double kPartnerTolerance = 2 * kSiteTolerance;

// Which operators can give one atom the same site twice: an image under such
// an operator can coincide with an image under another one, because the atom
// lies on (or very near) a special position.
// That is so when the two untranslated images differ by nearly a lattice
// vector: their coordinates reduced to [0, 1] are, axis by axis, nearly equal
// or nearly 1 apart. A few questions about an atom are answered by comparing
// with every other operator; many, by sorting the images along x once.
class TPartnerTable {
 public:
  // Starts on a new atom, given its untranslated image under each operator.
  void Reset(const std::vector<TVec3>& positions) {
    const size_t n = positions.size();
    reduced_.resize(n);
    finite_.resize(n);
    for (size_t s = 0; s < n; ++s) {
      const TVec3& p = positions[s];
      // A position that is not finite is never the same site as another.
      finite_[s] = std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
      if (finite_[s])
        for (int i = 0; i < 3; ++i) reduced_[s][i] = p[i] - std::floor(p[i]);
    }
    answer_.assign(n, kUnknown);
    questions_ = 0;
  }

  bool HasPartner(size_t op) {
    if (answer_[op] == kUnknown) {
      if (++questions_ <= kQuestionsBeforeSorting) {
        answer_[op] = kNo;
        for (size_t u = 0; u < answer_.size(); ++u)
          if (u != op && Coincide(op, u)) answer_[op] = kYes;
      } else {
        AnswerAll();
      }
    }
    return answer_[op] == kYes;
  }

 private:
  static constexpr char kUnknown = 0, kNo = 1, kYes = 2;
  static constexpr int kQuestionsBeforeSorting = 8;

  bool Coincide(size_t s, size_t u) const {
    if (!finite_[s] || !finite_[u]) return false;
    for (int i = 0; i < 3; ++i) {
      const double d = std::fabs(reduced_[s][i] - reduced_[u][i]);
      if (!(d <= kPartnerTolerance || d >= 1 - kPartnerTolerance)) return false;
    }
    return true;
  }

  void AnswerAll() {
    byX_.clear();
    for (size_t s = 0; s < answer_.size(); ++s) {
      answer_[s] = kNo;
      if (finite_[s]) byX_.push_back({reduced_[s][0], s});
    }
    std::sort(byX_.begin(), byX_.end());
    auto test = [&](size_t a, size_t b) {
      const size_t s = byX_[a].second, u = byX_[b].second;
      if (Coincide(s, u)) answer_[s] = answer_[u] = kYes;
    };
    const size_t n = byX_.size();
    for (size_t a = 0; a < n; ++a)
      for (size_t b = a + 1; b < n && byX_[b].first - byX_[a].first <= kPartnerTolerance; ++b)
        test(a, b);
    // Reduced x near 0 meets reduced x near 1 across the cell face.
    for (size_t a = 0; a < n && byX_[a].first <= kPartnerTolerance; ++a)
      for (size_t b = n; b-- > a + 1 && byX_[b].first >= 1 - kPartnerTolerance;) test(a, b);
  }

  std::vector<TVec3> reduced_;
  std::vector<char> finite_;
  std::vector<char> answer_;
  int questions_ = 0;
  std::vector<std::pair<double, size_t>> byX_;
};

// Stored images of atoms on special positions, found again by position. A
// site within the same-site tolerance of a stored one lies in the same or a
// neighbouring bucket of the tolerance's width, so only 27 buckets need to be
// looked at; positions that cannot be bucketed (not finite, or absurdly
// large) match nothing.
class TSiteIndex {
 public:
  explicit TSiteIndex(const TStructure& s) : s_(s) {}

  bool Contains(const TSiteRef& site, const TVec3& pos) const {
    long long key[3];
    if (!BucketOf(pos, key)) return false;
    for (long long dx = -1; dx <= 1; ++dx)
      for (long long dy = -1; dy <= 1; ++dy)
        for (long long dz = -1; dz <= 1; ++dz) {
          auto found = buckets_.find(Hash(site.Atom, key[0] + dx, key[1] + dy, key[2] + dz));
          if (found == buckets_.end()) continue;
          for (size_t i : found->second)
            if (SameSite(s_, site, sites_[i])) return true;
        }
    return false;
  }

  void Add(TSiteRef site, const TVec3& pos) {
    long long key[3];
    if (!BucketOf(pos, key)) return;
    buckets_[Hash(site.Atom, key[0], key[1], key[2])].push_back(sites_.size());
    sites_.push_back(std::move(site));
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

  const TStructure& s_;
  std::vector<TSiteRef> sites_;
  std::unordered_map<size_t, std::vector<size_t>> buckets_;
};

[[noreturn]] void RadiusTooLarge(double radius) {
  Fail("search radius " + FormatFixed(radius, 2) +
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

// Calls visit(t) for each lattice translation t within the box [lo, hi]
// whose offset t - `offset` from the central atom lies inside the sphere.
template <class TVisit>
void ForEachTranslationInSphere(const TSearchSphere& sphere, const TVec3& offset,
                                const long long lo[3], const long long hi[3], TVisit visit) {
  for (long long t1 = lo[0]; t1 <= hi[0]; ++t1) {
    const double x1 = static_cast<double>(t1) - offset[0];
    double blo = 0, bhi = 0;
    long long lo2 = lo[1], hi2 = hi[1];
    if (!sphere.RangeB(x1, blo, bhi) || !NarrowRange(offset[1], blo, bhi, lo2, hi2)) continue;
    for (long long t2 = lo2; t2 <= hi2; ++t2) {
      const double x2 = static_cast<double>(t2) - offset[1];
      double clo = 0, chi = 0;
      long long lo3 = lo[2], hi3 = hi[2];
      if (!sphere.RangeC(x1, x2, clo, chi) || !NarrowRange(offset[2], clo, chi, lo3, hi3)) continue;
      for (long long t3 = lo3; t3 <= hi3; ++t3)
        visit(TIntVec3{static_cast<int>(t1), static_cast<int>(t2), static_cast<int>(t3)});
    }
  }
}

// The search around one central site and what it has found. Each image's
// position is computed as ApplySymOp computes it, rotation part first, so
// that distances and same-site tests see exactly the same numbers. Only
// images of atoms on special positions can repeat a stored site, so only
// those go through the site index.
class TNeighbourSearch {
 public:
  TNeighbourSearch(const TStructure& s, const TSiteRef& central, double radius)
      : s_(s),
        central_(central),
        radius_(radius),
        ortho_(OrthoMatrix(s.Cell)),
        centralFrac_(SitePosition(s, central)),
        centralCart_(MatVec(ortho_, centralFrac_)),
        sphere_(ortho_, radius),
        index_(s),
        // An operator that repeats an earlier one modulo the lattice gives
        // the same images again: it is left out (a CIF may list an operator
        // twice, or both x,y,z and x+1,y,z).
        searched_(DistinctOpIndices(s.SymOps)),
        untranslated_(searched_.size()) {
    for (int axis = 0; axis < 3; ++axis) reach_[axis] = radius / PlaneSpacing(s.Cell, axis);
  }

  void AddImagesOf(int atom) {
    const TVec3& f = s_.Atoms[static_cast<size_t>(atom)].Frac;
    for (size_t k = 0; k < searched_.size(); ++k)
      untranslated_[k] = ApplySymOp(s_.SymOps[static_cast<size_t>(searched_[k])], f);
    partnersReady_ = false;  // set up when the atom has an image in range
    for (size_t k = 0; k < searched_.size(); ++k) AddImagesUnder(atom, k);
  }

  TCandidateArray Candidates() && { return std::move(candidates_); }

 private:
  // The images of `atom` under the k-th searched operator.
  void AddImagesUnder(int atom, size_t k) {
    const TVec3& p = untranslated_[k];
    long long lo[3] = {1, 1, 1}, hi[3] = {0, 0, 0};
    bool empty = false;
    for (int axis = 0; axis < 3; ++axis)
      if (!TranslationRange(centralFrac_[axis] - p[axis], reach_[axis], lo[axis], hi[axis], radius_))
        empty = true;
    if (empty) return;
    const TSymOp& op = s_.SymOps[static_cast<size_t>(searched_[k])];
    const TVec3 rotated = RotatedPart(op, s_.Atoms[static_cast<size_t>(atom)].Frac);
    // Offsets of the image from the central atom are t - (central - image).
    const TVec3 offset = {centralFrac_[0] - p[0], centralFrac_[1] - p[1], centralFrac_[2] - p[2]};
    ForEachTranslationInSphere(sphere_, offset, lo, hi, [&](const TIntVec3& t) {
      AddImage(atom, k, AddTranslation(op, rotated, t), t);
    });
  }

  // The image of `atom` under the k-th searched operator and translation t, at `pos`.
  void AddImage(int atom, size_t k, const TVec3& pos, const TIntVec3& t) {
    const int op = searched_[k];
    const double d = Distance(MatVec(ortho_, pos), centralCart_);
    if (d < kMinNeighbourDistance || d > radius_) return;
    if (atom == central_.Atom && SameSite(s_, TSiteRef{atom, op, t}, central_)) return;
    if (!partnersReady_) {
      partners_.Reset(untranslated_);
      partnersReady_ = true;
    }
    if (partners_.HasPartner(k)) {
      TSiteRef site{atom, op, t};
      if (index_.Contains(site, pos)) return;
      index_.Add(std::move(site), pos);
    }
    if (candidates_.size() >= kMaxCandidates)
      Fail("more than 1000000 atom images within the search radius (" + FormatFixed(radius_, 2) +
           " A); give a smaller --max=.");
    candidates_.push_back({atom, op, {t[0], t[1], t[2]}, d});
  }

  const TStructure& s_;
  const TSiteRef central_;
  const double radius_;
  const TMat3 ortho_;
  const TVec3 centralFrac_;
  const TVec3 centralCart_;
  double reach_[3];
  const TSearchSphere sphere_;
  TSiteIndex index_;
  TPartnerTable partners_;
  const std::vector<int> searched_;
  std::vector<TVec3> untranslated_;  // the atom's image under each searched operator
  bool partnersReady_ = false;
  TCandidateArray candidates_;
};

}  // namespace

TCandidateArray FindNeighbours(const TStructure& s, const TSiteRef& central, double radius,
                               const std::vector<char>& wanted) {
  TNeighbourSearch search(s, central, radius);
  for (size_t atom = 0; atom < s.Atoms.size(); ++atom)
    if (wanted.empty() || wanted[atom]) search.AddImagesOf(static_cast<int>(atom));
  return std::move(search).Candidates();
}

TSiteRef CandidateSite(const TCandidate& c) {
  return TSiteRef{c.Atom, c.Op, {c.T[0], c.T[1], c.T[2]}};
}

TLigand CandidateLigand(const TStructure& s, const TCandidate& c) {
  TLigand ligand;
  ligand.Site = CandidateSite(c);
  ligand.Label = s.Atoms[static_cast<size_t>(c.Atom)].Label;
  ligand.Element = s.Atoms[static_cast<size_t>(c.Atom)].Element;
  ligand.Members = {ligand.Site};
  ligand.SearchDistance = c.Dist;
  return ligand;
}

}  // namespace koravel
