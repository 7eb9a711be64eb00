#include "geometry/descriptors.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "geometry/hull.h"

namespace koravel {

namespace {

const double kThetaT = std::acos(-1.0 / 3.0) * kDegPerRad;

template <typename S>
using TPoints = std::vector<TVec3Of<S>>;

// The L-M-L angles of the ligands (points 1..n) at the centre (point 0), in
// the pair order (1,2), (1,3), ..., (2,3), ...
template <typename S>
std::vector<S> LigandAngles(const TPoints<S>& p) {
  std::vector<S> a;
  for (size_t i = 1; i < p.size(); ++i)
    for (size_t j = i + 1; j < p.size(); ++j) a.push_back(AngleAt(p[i], p[0], p[j]));
  return a;
}

std::vector<std::pair<int, int>> LigandPairs(size_t n) {
  std::vector<std::pair<int, int>> pairs;
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 1; j < n; ++j) pairs.push_back({static_cast<int>(i), static_cast<int>(j)});
  return pairs;
}

// Positions of the angles, largest first (equal values keep their order).
template <typename S>
std::vector<size_t> Descending(const std::vector<S>& a) {
  std::vector<size_t> order(a.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t x, size_t y) { return ValueOf(a[x]) > ValueOf(a[y]); });
  return order;
}

template <typename S>
S Mean(const std::vector<S>& v) {
  S sum(0);
  for (const S& x : v) sum += x;
  return sum / S(static_cast<double>(v.size()));
}

template <typename S>
S Det(const TVec3Of<S>& a, const TVec3Of<S>& b, const TVec3Of<S>& c) {
  return DotOf(a, CrossOf(b, c));
}

// ⟨λ⟩ = (1/n) Σ (d_i / l0)², l0 the centre-to-vertex distance of the regular
// polyhedron of the same volume, l0³ = volume / `volumePerL0Cubed`
// (Robinson, Gibbs and Ribbe, Science 172 (1971) 567).
template <typename S>
S QuadraticElongation(const TPoints<S>& p, const S& volume, double volumePerL0Cubed) {
  using std::cbrt;
  const S l0 = cbrt(volume / S(volumePerL0Cubed));
  S sum(0);
  for (size_t i = 1; i < p.size(); ++i) {
    const TVec3Of<S> d = Diff(p[i], p[0]);
    sum += DotOf(d, d) / (l0 * l0);
  }
  return sum / S(static_cast<double>(p.size() - 1));
}

// V: the volume of the ligands' convex hull.
struct TVolume {
  template <typename S>
  S operator()(const TPoints<S>& p) const { return HullVolume(p, 1); }
};

// --- three ligands

// The signed height of the centre above the plane of L1, L2, L3; positive
// on the side from which L1 -> L2 -> L3 runs counter-clockwise (the
// right-hand rule about n = (L2 - L1) × (L3 - L1)).
struct THeight {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    const TVec3Of<S> n = CrossOf(Diff(p[2], p[1]), Diff(p[3], p[1]));
    return DotOf(n, Diff(p[0], p[1])) / NormOf(n);
  }
};

// --- four ligands

// τ4 = (360° - α - β)/(360° - 2θ_T), β >= α the two largest angles (Yang,
// Powell and Houser, Dalton Trans. 2007, 955): 1 tetrahedral, 0 square planar.
struct TTau4 {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    const std::vector<S> a = LigandAngles(p);
    const std::vector<size_t> o = Descending(a);
    return (S(360) - a[o[0]] - a[o[1]]) / S(360 - 2 * kThetaT);
  }
};

// τ4' = (β - α)/(360° - θ_T) + (180° - β)/(180° - θ_T) (Okuniewski,
// Rosiak, Chojnacki and Becker, Polyhedron 90 (2015) 47).
struct TTau4Prime {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    const std::vector<S> a = LigandAngles(p);
    const std::vector<size_t> o = Descending(a);
    return (a[o[0]] - a[o[1]]) / S(360 - kThetaT) + (S(180) - a[o[0]]) / S(180 - kThetaT);
  }
};

// σ²_tet = Σ (θ_i - θ_T)² / 5 over the six angles (Robinson et al. 1971).
struct TSigma2Tet {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    S sum(0);
    for (const S& a : LigandAngles(p)) sum += (a - S(kThetaT)) * (a - S(kThetaT));
    return sum / S(5);
  }
};

// The volume of a regular tetrahedron is (8 / (9√3)) l0³.
struct TLambdaTet {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    using std::fabs;
    const S volume = fabs(Det(Diff(p[2], p[1]), Diff(p[3], p[1]), Diff(p[4], p[1]))) / S(6);
    return QuadraticElongation(p, volume, 8 / (9 * std::sqrt(3.0)));
  }
};

// --- five ligands

// τ5 = (β - α)/60°, β >= α the two largest angles (Addison, Rao, Reedijk,
// van Rijn and Verschoor, J. Chem. Soc., Dalton Trans. 1984, 1349); not
// clamped to [0, 1].
struct TTau5 {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    const std::vector<S> a = LigandAngles(p);
    const std::vector<size_t> o = Descending(a);
    return (a[o[0]] - a[o[1]]) / S(60);
  }
};

// --- six ligands: the three largest angles are trans, the other twelve cis.

// Σ = Σ |90° - φ| over the 12 cis angles (McCusker et al., Inorg. Chem. 35
// (1996) 2100; Marchivie et al., Acta Cryst. B61 (2005) 25).
struct TSigmaOct {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    using std::fabs;
    const std::vector<S> a = LigandAngles(p);
    const std::vector<size_t> o = Descending(a);
    S sum(0);
    for (size_t k = 3; k < o.size(); ++k) sum += fabs(S(90) - a[o[k]]);
    return sum;
  }
};

// σ² = Σ (φ - 90°)² / 11 over the 12 cis angles (Robinson et al. 1971).
struct TSigma2Oct {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    const std::vector<S> a = LigandAngles(p);
    const std::vector<size_t> o = Descending(a);
    S sum(0);
    for (size_t k = 3; k < o.size(); ++k) sum += (a[o[k]] - S(90)) * (a[o[k]] - S(90));
    return sum / S(11);
  }
};

// ζ = Σ |d_i - d̄| over the six bonds: how far the bond lengths spread.
struct TZeta {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    using std::fabs;
    const std::vector<S> d = BondLengths(p);
    const S mean = Mean(d);
    S sum(0);
    for (const S& x : d) sum += fabs(x - mean);
    return sum;
  }
};

// Δ = (1/6) Σ ((d_i - d̄)/d̄)² (Lufaso and Woodward, Acta Cryst. B60 (2004) 10).
struct TDelta {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    const std::vector<S> d = BondLengths(p);
    const S mean = Mean(d);
    S sum(0);
    for (const S& x : d) sum += ((x - mean) / mean) * ((x - mean) / mean);
    return sum / S(6);
  }
};

// The trans pairs of an octahedron (ligand indices 0..5): the three largest
// angles, when they pair every ligand exactly once.
using TTransPairs = std::array<std::pair<int, int>, 3>;

template <typename S>
bool TransPairs(const std::vector<S>& angles, TTransPairs& pairs) {
  const std::vector<std::pair<int, int>> all = LigandPairs(6);
  const std::vector<size_t> o = Descending(angles);
  std::array<int, 6> seen{};
  for (int k = 0; k < 3; ++k) {
    pairs[static_cast<size_t>(k)] = all[o[static_cast<size_t>(k)]];
    ++seen[static_cast<size_t>(pairs[static_cast<size_t>(k)].first)];
    ++seen[static_cast<size_t>(pairs[static_cast<size_t>(k)].second)];
  }
  return std::all_of(seen.begin(), seen.end(), [](int s) { return s == 1; });
}

// The four pairs of opposite faces: a face takes one ligand of each trans
// pair, its opposite face the three partners.
std::array<std::pair<std::array<int, 3>, std::array<int, 3>>, 4> OppositeFaces(const TTransPairs& t) {
  std::array<std::pair<std::array<int, 3>, std::array<int, 3>>, 4> faces;
  for (int k = 0; k < 4; ++k) {
    const bool second1 = k & 1, second2 = k & 2;
    const int b = second1 ? t[1].second : t[1].first, bo = second1 ? t[1].first : t[1].second;
    const int c = second2 ? t[2].second : t[2].first, co = second2 ? t[2].first : t[2].second;
    faces[static_cast<size_t>(k)] = {{t[0].first, b, c}, {t[0].second, bo, co}};
  }
  return faces;
}

// The volume of the octahedron: the 8 tetrahedra of its faces with the
// centroid of the six ligands. A regular octahedron has (4/3) l0³.
struct TLambdaOct {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    using std::fabs;
    TTransPairs t;
    if (!TransPairs(LigandAngles(p), t)) return S(std::nan(""));
    TVec3Of<S> c{S(0), S(0), S(0)};
    for (size_t i = 1; i < 7; ++i)
      for (int k = 0; k < 3; ++k) c[k] += p[i][k];
    for (int k = 0; k < 3; ++k) c[k] = c[k] / S(6);
    S volume(0);
    for (const auto& [f, g] : OppositeFaces(t))
      for (const auto& face : {f, g})
        volume += fabs(Det(Diff(p[face[0] + 1], c), Diff(p[face[1] + 1], c), Diff(p[face[2] + 1], c))) / S(6);
    return QuadraticElongation(p, volume, 4.0 / 3.0);
  }
};

// The 48 trigonal twist angles (Marchivie, Guionneau, Létard and Chasseau,
// Acta Cryst. B61 (2005) 25, as computed by Ketkaew et al., Dalton Trans. 50
// (2021) 1086): for each of the 8 faces (p, q, r), the vectors M->L projected
// onto the plane of the face, normal n = (q - p) x (r - p), and the angles
// between neighbours in the order p, r', q, p', r, q' (' the trans partner),
// signed in the sense of n. 60° each in a regular octahedron.
template <typename S>
std::vector<S> TwistAngles(const TPoints<S>& p, const TTransPairs& t) {
  using std::atan2;
  auto partner = [&t](int l) {
    for (const auto& [a, b] : t) {
      if (a == l) return b;
      if (b == l) return a;
    }
    return -1;
  };
  auto at = [&p](int l) -> const TVec3Of<S>& { return p[static_cast<size_t>(l + 1)]; };
  std::vector<S> angles;
  for (const auto& [f, g] : OppositeFaces(t))
    for (const std::array<int, 3>& face : {f, g}) {
      const int a = face[0], b = face[1], c = face[2];
      TVec3Of<S> n = CrossOf(Diff(at(b), at(a)), Diff(at(c), at(a)));
      const S length = NormOf(n);
      for (int i = 0; i < 3; ++i) n[i] = n[i] / length;
      auto projected = [&](int l) {
        TVec3Of<S> v = Diff(at(l), p[0]);
        const S along = DotOf(v, n);
        for (int i = 0; i < 3; ++i) v[i] -= along * n[i];
        return v;
      };
      const std::array<int, 6> ring{a, partner(c), b, partner(a), c, partner(b)};
      for (size_t k = 0; k < 6; ++k) {
        const TVec3Of<S> u = projected(ring[k]), v = projected(ring[(k + 1) % 6]);
        angles.push_back(atan2(DotOf(CrossOf(u, v), n), DotOf(u, v)) * S(kDegPerRad));
      }
    }
  return angles;
}

// Θ = (1/2) Σ |60° - θ| over the 48 twist angles: each pair of opposite faces
// once with either face as reference.
struct TThetaOct {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    using std::fabs;
    TTransPairs t;
    if (!TransPairs(LigandAngles(p), t)) return S(std::nan(""));
    S sum(0);
    for (const S& theta : TwistAngles(p, t)) sum += fabs(S(60) - theta);
    return sum / S(2);
  }
};

// --- gaps: each a list of values, computed in one evaluation

// The angle at rank `first` minus the one at rank `second` (0 = largest).
struct TRankGap {
  size_t First, Second;
  template <typename S>
  std::vector<S> operator()(const TPoints<S>& p) const {
    const std::vector<S> a = LigandAngles(p);
    const std::vector<size_t> o = Descending(a);
    return {a[o[First]] - a[o[Second]]};
  }
};

// 90° minus each of the given angles (positions in the pair order).
struct TFromNinety {
  std::vector<size_t> Pairs;
  template <typename S>
  std::vector<S> operator()(const TPoints<S>& p) const {
    const std::vector<S> a = LigandAngles(p);
    std::vector<S> d;
    for (size_t k : Pairs) d.push_back(S(90) - a[k]);
    return d;
  }
};

// Every bond length minus the mean.
struct TFromMeanDistance {
  template <typename S>
  std::vector<S> operator()(const TPoints<S>& p) const {
    std::vector<S> d = BondLengths(p);
    const S mean = Mean(d);
    for (S& x : d) x = x - mean;
    return d;
  }
};

// 60° minus every twist angle, for the trans pairs of the given geometry.
struct TFromSixty {
  TTransPairs Trans;
  template <typename S>
  std::vector<S> operator()(const TPoints<S>& p) const {
    std::vector<S> d = TwistAngles(p, Trans);
    for (S& x : d) x = S(60) - x;
    return d;
  }
};

std::string AngleName(const std::vector<std::string>& labels, int i, int j) {
  return labels[static_cast<size_t>(i) + 1] + "-" + labels[0] + "-" + labels[static_cast<size_t>(j) + 1];
}

TDescriptor Volume() {
  return {.Name = "V", .Unit = "A3", .Decimals = 3, .Meaning = "volume of the ligands' convex hull",
          .Quantity = MakeQuantity(TVolume())};
}

std::vector<TDescriptor> ThreeLigands() {
  return {{.Name = "h", .Unit = "A", .Decimals = 3, .Meaning = "centre above the plane of L1, L2, L3",
           .Quantity = MakeQuantity(THeight())}};
}

std::vector<TDescriptor> FourLigands() {
  return {{.Name = "tau4", .Angles = TAngleSet::TwoLargest, .Gaps = {TGap::SecondAndThirdAngle},
           .Meaning = "1 tetrahedral, 0 square planar (Yang et al. 2007)", .Quantity = MakeQuantity(TTau4())},
          {.Name = "tau4'", .Angles = TAngleSet::TwoLargest, .Gaps = {TGap::SecondAndThirdAngle, TGap::TwoLargestAngles},
           .Meaning = "1 tetrahedral, 0 square planar (Okuniewski et al. 2015)",
           .Quantity = MakeQuantity(TTau4Prime())},
          {.Name = "sigma2", .Unit = "deg2", .Decimals = 2, .SecondOrder = true, .Angles = TAngleSet::All,
           .Meaning = "bond-angle variance from 109.4712 deg", .Quantity = MakeQuantity(TSigma2Tet())},
          {.Name = "<lambda>", .SecondOrder = true, .Meaning = "quadratic elongation (Robinson et al. 1971)",
           .Quantity = MakeQuantity(TLambdaTet()), .Defining = MakeQuantity(TVolume()),
           .Undefined = "coplanar ligands"},
          Volume()};
}

std::vector<TDescriptor> FiveLigands() {
  return {{.Name = "tau5", .Angles = TAngleSet::TwoLargest, .Gaps = {TGap::SecondAndThirdAngle, TGap::TwoLargestAngles},
           .Meaning = "1 trigonal bipyramidal, 0 square pyramidal (Addison et al. 1984)",
           .Quantity = MakeQuantity(TTau5())},
          Volume()};
}

std::vector<TDescriptor> SixLigands() {
  return {{.Name = "Sigma", .Unit = "deg", .Decimals = 2, .Angles = TAngleSet::Cis,
           .Gaps = {TGap::TransAndCis, TGap::CisFromRight}, .Meaning = "sum of |90 - phi| over the 12 cis angles",
           .Quantity = MakeQuantity(TSigmaOct())},
          {.Name = "Theta", .Unit = "deg", .Decimals = 2, .NeedsTransPairs = true,
           .Gaps = {TGap::TransAndCis, TGap::TwistFromSixty},
           .Meaning = "sum of |60 - theta| / 2, 48 twist angles (Marchivie et al. 2005)",
           .Quantity = MakeQuantity(TThetaOct())},
          {.Name = "zeta", .Unit = "A", .Gaps = {TGap::BondsFromMean}, .Meaning = "sum of |d - mean d| over the 6 bonds",
           .Quantity = MakeQuantity(TZeta())},
          {.Name = "Delta", .Decimals = 7, .SecondOrder = true,
           .Meaning = "mean of ((d - mean d)/mean d)^2 over the 6 bonds", .Quantity = MakeQuantity(TDelta())},
          {.Name = "sigma2", .Unit = "deg2", .Decimals = 2, .SecondOrder = true, .Angles = TAngleSet::Cis,
           .Gaps = {TGap::TransAndCis}, .Meaning = "bond-angle variance, 12 cis angles from 90 deg",
           .Quantity = MakeQuantity(TSigma2Oct())},
          {.Name = "<lambda>", .SecondOrder = true, .NeedsTransPairs = true, .Gaps = {TGap::TransAndCis},
           .Meaning = "quadratic elongation (Robinson et al. 1971)", .Quantity = MakeQuantity(TLambdaOct()),
           .Defining = MakeQuantity(TVolume()), .Undefined = "coplanar ligands"},
          Volume()};
}

// The values of a gap for the sphere at hand, with their names: one per
// value, or one for a list of like gaps.
struct TGapValues {
  TFlaggedGap::TKind Kind = TFlaggedGap::Choice;
  std::vector<std::string> Names;
  TVectorQuantity Values;
  double SuFloor = kAngleSuFloor;
};

TGapValues GapValues(TGap gap, const TPoints<double>& x, const std::vector<std::string>& labels) {
  const std::vector<size_t> order = Descending(LigandAngles(x));
  const std::vector<std::pair<int, int>> pairs = LigandPairs(x.size() - 1);
  switch (gap) {
    case TGap::SecondAndThirdAngle:
      return {TFlaggedGap::Choice, {"the 2nd and 3rd largest angles"}, TRankGap{1, 2}};
    case TGap::TwoLargestAngles:
      return {TFlaggedGap::Kink, {"beta - alpha (the two largest angles)"}, TRankGap{0, 1}};
    case TGap::TransAndCis:
      return {TFlaggedGap::Choice, {"the smallest trans and the largest cis angle"}, TRankGap{2, 3}};
    case TGap::CisFromRight: {
      const std::vector<size_t> cis(order.begin() + 3, order.end());
      TGapValues v{TFlaggedGap::Kink, {}, TFromNinety{cis}};
      for (size_t k : cis) v.Names.push_back("90 deg minus " + AngleName(labels, pairs[k].first, pairs[k].second));
      return v;
    }
    case TGap::BondsFromMean: {
      TGapValues v{TFlaggedGap::Kink, {}, TFromMeanDistance(), kDistanceSuFloor};
      for (size_t i = 1; i < labels.size(); ++i)
        v.Names.push_back(labels[0] + "-" + labels[i] + " minus the mean distance");
      return v;
    }
    case TGap::TwistFromSixty: {
      TTransPairs trans;
      TransPairs(LigandAngles(x), trans);
      return {TFlaggedGap::Kink, {"60 deg minus a trigonal twist angle"}, TFromSixty{trans}};
    }
  }
  return {};
}

}  // namespace

double TetrahedralAngle() { return kThetaT; }

const std::vector<TDescriptor>& DescriptorTable(size_t ligandCount) {
  static const std::vector<TDescriptor> kNone;
  static const std::vector<TDescriptor> kThree = ThreeLigands(), kFour = FourLigands(),
                                        kFive = FiveLigands(), kSix = SixLigands(), kMore = {Volume()};
  switch (ligandCount) {
    case 3: return kThree;
    case 4: return kFour;
    case 5: return kFive;
    case 6: return kSix;
    default: return ligandCount >= 7 && ligandCount <= 12 ? kMore : kNone;
  }
}

std::vector<std::string_view> DescriptorNames() {
  std::vector<std::string_view> names;
  for (size_t n = 3; n <= 12; ++n)
    for (const TDescriptor& d : DescriptorTable(n))
      if (std::find(names.begin(), names.end(), d.Name) == names.end()) names.push_back(d.Name);
  return names;
}

double SuFloorOf(std::string_view unit) {
  if (unit == "deg") return kAngleSuFloor;
  if (unit == "A") return kDistanceSuFloor;
  return 0;
}

bool HoldsAny(const TDescriptor& d, const std::vector<TVec3>& points,
              const std::vector<TNearlyLinear>& angles) {
  const std::vector<size_t> order = Descending(LigandAngles(points));
  const std::vector<std::pair<int, int>> pairs = LigandPairs(points.size() - 1);
  for (const TNearlyLinear& a : angles)
    for (size_t rank = 0; rank < order.size(); ++rank) {
      if (pairs[order[rank]] != std::pair<int, int>{a.Lig1, a.Lig2}) continue;
      if (d.Angles == TAngleSet::All || (d.Angles == TAngleSet::TwoLargest && rank < 2) ||
          (d.Angles == TAngleSet::Cis && rank >= 3))
        return true;
    }
  return false;
}

bool HasTransPairs(const std::vector<TVec3>& points) {
  TTransPairs trans;
  return points.size() == 7 && TransPairs(LigandAngles(points), trans);
}

std::vector<TFlaggedGap> FlaggedGaps(const TPropagator& propagate, const std::vector<TVec3>& points,
                                     const std::vector<std::string>& labels) {
  std::vector<TFlaggedGap> flagged;
  const std::vector<TDescriptor>& table = DescriptorTable(points.size() - 1);
  const bool paired = HasTransPairs(points);
  for (int g = 0; g <= static_cast<int>(TGap::TwistFromSixty); ++g) {
    const TGap gap = static_cast<TGap>(g);
    std::vector<std::string> named;
    bool present = false;
    for (const TDescriptor& d : table)
      if (std::find(d.Gaps.begin(), d.Gaps.end(), gap) != d.Gaps.end()) {
        named.emplace_back(d.Name);
        present = present || !d.NeedsTransPairs || paired;
      }
    if (!present) continue;
    const TGapValues list = GapValues(gap, points, labels);
    const std::vector<TPropagated> values = propagate.Each(list.Values, list.SuFloor);
    const bool onePerValue = list.Names.size() == values.size();
    for (size_t k = 0; k < values.size(); ++k) {
      if (!(std::fabs(values[k].Value) < 3 * values[k].Su)) continue;
      const std::string& what = list.Names[onePerValue ? k : 0];
      const bool seen = std::any_of(flagged.begin(), flagged.end(),
                                    [&](const TFlaggedGap& f) { return f.What == what; });
      if (!seen) flagged.push_back({list.Kind, what, named, values[k].Value, values[k].Su});
      if (!onePerValue) break;  // one note for a list of like gaps
    }
  }
  return flagged;
}

}  // namespace koravel
