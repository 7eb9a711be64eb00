#include "geometry/indices.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "base/numbers.h"
#include "su/monte_carlo.h"

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
std::vector<S> Distances(const TPoints<S>& p) {
  std::vector<S> d;
  for (size_t i = 1; i < p.size(); ++i) d.push_back(DistanceOf(p[i], p[0]));
  return d;
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
    const std::vector<S> d = Distances(p);
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
    const std::vector<S> d = Distances(p);
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

// The 24 trigonal twist angles (Marchivie, Guionneau, Létard and Chasseau,
// Acta Cryst. B61 (2005) 25): for each pair of opposite faces F, F', the
// vectors M->L projected onto the plane normal to the line through the
// centroids of F' and F; for each L of F, the angles to the two ligands of F'
// that are not trans to it. 60° each in a regular octahedron.
template <typename S>
std::vector<S> TwistAngles(const TPoints<S>& p, const TTransPairs& t) {
  auto partner = [&t](int l) {
    for (const auto& [a, b] : t) {
      if (a == l) return b;
      if (b == l) return a;
    }
    return -1;
  };
  std::vector<S> angles;
  for (const auto& [f, g] : OppositeFaces(t)) {
    TVec3Of<S> cf{S(0), S(0), S(0)}, cg{S(0), S(0), S(0)};
    for (int k = 0; k < 3; ++k)
      for (int i = 0; i < 3; ++i) {
        cf[i] += p[static_cast<size_t>(f[k] + 1)][i];
        cg[i] += p[static_cast<size_t>(g[k] + 1)][i];
      }
    TVec3Of<S> u = Diff(cf, cg);
    const S length = NormOf(u);
    for (int i = 0; i < 3; ++i) u[i] = u[i] / length;
    auto projected = [&](int l) {
      TVec3Of<S> v = Diff(p[static_cast<size_t>(l + 1)], p[0]);
      const S along = DotOf(v, u);
      for (int i = 0; i < 3; ++i) v[i] -= along * u[i];
      return v;
    };
    const TVec3Of<S> zero{S(0), S(0), S(0)};
    for (int l : f)
      for (int m : g)
        if (m != partner(l)) angles.push_back(AngleAt(projected(l), zero, projected(m)));
  }
  return angles;
}

// Θ = Σ |60° - θ| over the 24 twist angles.
struct TThetaOct {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    using std::fabs;
    TTransPairs t;
    if (!TransPairs(LigandAngles(p), t)) return S(std::nan(""));
    S sum(0);
    for (const S& theta : TwistAngles(p, t)) sum += fabs(S(60) - theta);
    return sum;
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
    std::vector<S> d = Distances(p);
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

TPoints<double> Positions(const TInput& in, const std::vector<TPoint>& points) {
  const TMat3 ortho = OrthoMatrix(in.Structure.Cell);
  TPoints<double> x;
  for (const TPoint& point : points) x.push_back(MeanCartesian(in.Structure, point, ortho));
  return x;
}

std::string AngleName(const TCentre& centre, const std::vector<TLigand>& ligands, int i, int j) {
  return ligands[static_cast<size_t>(i)].Label + "-" + centre.Label + "-" +
         ligands[static_cast<size_t>(j)].Label;
}

}  // namespace

double TetrahedralAngle() { return kThetaT; }

TIndices ComputeIndices(const TInput& in, const TParameters& params, const TCentre& centre,
                        const std::vector<TLigand>& ligands,
                        const std::vector<TNearlyLinear>& nearlyLinear, long long mcDraws) {
  TIndices result;
  const std::vector<TPoint> points = SpherePoints(centre, ligands);
  const size_t n = ligands.size();
  // Which L-M-L angles an index contains, by rank (0 = largest).
  enum TAngleRanks { kNoAngles, kTwoLargest, kAllAngles, kCisAngles };
  struct TDefinition {
    const char* Name;
    const char* Unit;
    int Decimals;
    bool SecondOrder;  // smooth, with a minimum at the ideal polyhedron
    TQuantity Quantity;
    TAngleRanks Ranks = kNoAngles;
  };
  // A list of gaps: their names (one per value, or one for the first gap of
  // the list within 3 su), their kind and the indices they affect.
  struct TGaps {
    TIndexGap::TKind Kind;
    std::vector<std::string> Names;
    std::vector<std::string> Indices;
    TVectorQuantity Values;
    double SuFloor = kAngleSuFloor;  // angles; bond lengths: kDistanceSuFloor
  };
  std::vector<TDefinition> definitions;
  std::vector<TGaps> gaps;
  const std::string beta = "beta - alpha (the two largest angles)";
  const std::string choice = "the 2nd and 3rd largest angles";
  const TPoints<double> x = Positions(in, points);
  const std::vector<size_t> order = Descending(LigandAngles(x));  // angle ranks
  const std::vector<std::pair<int, int>> pairs = LigandPairs(n);
  if (n == 3) {
    definitions = {{"h", "A", 3, false, MakeQuantity(THeight())}};
  } else if (n == 4) {
    definitions = {{"tau4", "", 4, false, MakeQuantity(TTau4()), kTwoLargest},
                   {"tau4'", "", 4, false, MakeQuantity(TTau4Prime()), kTwoLargest},
                   {"sigma2", "deg2", 2, true, MakeQuantity(TSigma2Tet()), kAllAngles},
                   {"<lambda>", "", 4, true, MakeQuantity(TLambdaTet())}};
    gaps = {{TIndexGap::Choice, {choice}, {"tau4", "tau4'"}, TRankGap{1, 2}},
            {TIndexGap::Kink, {beta}, {"tau4'"}, TRankGap{0, 1}}};
  } else if (n == 5) {
    definitions = {{"tau5", "", 4, false, MakeQuantity(TTau5()), kTwoLargest}};
    gaps = {{TIndexGap::Choice, {choice}, {"tau5"}, TRankGap{1, 2}},
            {TIndexGap::Kink, {beta}, {"tau5"}, TRankGap{0, 1}}};
  } else if (n == 6) {
    TTransPairs trans;
    const bool paired = TransPairs(LigandAngles(x), trans);
    definitions = {{"Sigma", "deg", 2, false, MakeQuantity(TSigmaOct()), kCisAngles}};
    if (paired) definitions.push_back({"Theta", "deg", 2, false, MakeQuantity(TThetaOct())});
    definitions.push_back({"zeta", "A", 4, false, MakeQuantity(TZeta())});
    definitions.push_back({"Delta", "", 7, true, MakeQuantity(TDelta())});
    definitions.push_back({"sigma2", "deg2", 2, true, MakeQuantity(TSigma2Oct()), kCisAngles});
    if (paired) definitions.push_back({"<lambda>", "", 4, true, MakeQuantity(TLambdaOct())});
    if (!paired)
      result.Problem = "the three largest angles do not pair every ligand with a trans partner, "
                       "so Theta and <lambda> are not defined.";
    gaps.push_back({TIndexGap::Choice, {"the smallest trans and the largest cis angle"},
                    {"Sigma", "Theta", "sigma2", "<lambda>"}, TRankGap{2, 3}});
    TGaps cis{TIndexGap::Kink, {}, {"Sigma"}, nullptr};
    const std::vector<size_t> cisPairs(order.begin() + 3, order.end());
    for (size_t k : cisPairs)
      cis.Names.push_back("90 deg minus " + AngleName(centre, ligands, pairs[k].first, pairs[k].second));
    cis.Values = TFromNinety{cisPairs};
    gaps.push_back(cis);
    TGaps bonds{TIndexGap::Kink, {}, {"zeta"}, TFromMeanDistance(), kDistanceSuFloor};
    for (const TLigand& l : ligands) bonds.Names.push_back(centre.Label + "-" + l.Label + " minus the mean distance");
    gaps.push_back(bonds);
    if (paired)
      gaps.push_back({TIndexGap::Kink, {"60 deg minus a trigonal twist angle"}, {"Theta"}, TFromSixty{trans}});
  }

  // The ranks of the nearly linear angles among all angles.
  std::vector<size_t> linearRanks;
  for (const TNearlyLinear& a : nearlyLinear)
    for (size_t r = 0; r < order.size(); ++r)
      if (pairs[order[r]] == std::pair<int, int>{a.Lig1, a.Lig2}) linearRanks.push_back(r);
  auto containsLinear = [&](TAngleRanks ranks) {
    for (size_t r : linearRanks)
      if (ranks == kAllAngles || (ranks == kTwoLargest && r < 2) || (ranks == kCisAngles && r >= 3))
        return true;
    return false;
  };

  const TPropagator propagate(in.Structure, params, points);
  std::vector<TQuantity> quantities;
  for (const TDefinition& d : definitions) {
    TIndex index{d.Name, d.Unit, d.Decimals, propagate(d.Quantity, d.SecondOrder && in.HasSu),
                 std::nullopt};
    if (!in.HasSu) {
      index.Value.Su = index.Value.SuLinear = index.Value.SuSecondOrder = index.Value.Shift = 0;
      index.Value.ParametersEntered = false;
    } else if (containsLinear(d.Ranks)) {
      const TMonteCarlo mc = MonteCarlo(in.Structure, params, points, {d.Quantity}, kNearlyLinearDraws).front();
      index.Draws = mc.Draws;
      index.Value.Su = mc.Sd;
      index.Value.Shift = mc.Mean - index.Value.Value;
      index.Value.SuSecondOrder = 0;
    }
    const std::string unit = d.Unit;
    if (unit == "deg") index.Value = WithSuFloor(index.Value, kAngleSuFloor);
    if (unit == "A") index.Value = WithSuFloor(index.Value, kDistanceSuFloor);
    result.List.push_back(index);
    quantities.push_back(d.Quantity);
  }
  if (mcDraws > 0 && in.HasSu && !quantities.empty()) {
    const std::vector<TMonteCarlo> mc = MonteCarlo(in.Structure, params, points, quantities, mcDraws);
    for (size_t k = 0; k < mc.size(); ++k) result.List[k].MonteCarlo = mc[k];
  }
  if (!in.HasSu) return result;
  for (const TGaps& list : gaps) {
    std::vector<TPropagated> values = propagate.Each(list.Values);
    for (TPropagated& v : values) v = WithSuFloor(v, list.SuFloor);
    for (size_t k = 0; k < values.size(); ++k) {
      if (!(std::fabs(values[k].Value) < 3 * values[k].Su)) continue;
      const bool named = list.Names.size() == values.size();
      const std::string& what = list.Names[named ? k : 0];
      const bool seen = std::any_of(result.Flagged.begin(), result.Flagged.end(),
                                    [&](const TIndexGap& f) { return f.What == what; });
      if (!seen) result.Flagged.push_back({list.Kind, what, list.Indices, values[k].Value, values[k].Su});
      if (!named) break;  // one note for a list of like gaps
    }
  }
  return result;
}

}  // namespace koravel
