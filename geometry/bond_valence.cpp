#include "geometry/bond_valence.h"

#include <algorithm>
#include <cmath>

#include "geometry/sphere.h"

namespace koravel {

namespace {

template <typename S>
using TPoints = std::vector<TVec3Of<S>>;

// The iteration stops when l_av no longer moves (a few dozen steps: the
// weights fall off as the sixth power); the cap only guards against a cycle.
constexpr int kMaxHoppeSteps = 500;

template <typename S>
S HoppeMean(const std::vector<S>& l) {
  using std::exp;
  S mean = *std::min_element(l.begin(), l.end(), [](const S& a, const S& b) { return ValueOf(a) < ValueOf(b); });
  for (int step = 0; step < kMaxHoppeSteps; ++step) {
    S sum(0), weights(0);
    for (const S& li : l) {
      const S r = li / mean, r2 = r * r;
      const S w = exp(S(1) - r2 * r2 * r2);
      sum += li * w;
      weights += w;
    }
    const S next = sum / weights;
    const bool settled = ValueOf(next) == ValueOf(mean);
    mean = next;
    // Derivatives converge at the rate the value does: a few more steps
    // after the value has settled carry them to full precision.
    if (settled && step > 20) break;
  }
  return mean;
}

template <typename S>
S HoppeWeightSum(const std::vector<S>& l, const S& mean) {
  using std::exp;
  S sum(0);
  for (const S& li : l) {
    const S r = li / mean, r2 = r * r;
    sum += exp(S(1) - r2 * r2 * r2);
  }
  return sum;
}

// BVS = Σ exp((R0ᵢ - lᵢ)/bᵢ) (Brown & Altermatt 1985).
struct TBondValenceSum {
  std::vector<double> R0, B;
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    using std::exp;
    const std::vector<S> l = BondLengths(p);
    S sum(0);
    for (size_t i = 0; i < l.size(); ++i) sum += exp((S(R0[i]) - l[i]) / S(B[i]));
    return sum;
  }
};

struct TEffectiveCoordination {  // ECoN = Σ wᵢ at Hoppe's l_av
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    const std::vector<S> l = BondLengths(p);
    return HoppeWeightSum(l, HoppeMean(l));
  }
};

struct TWeightedMeanBond {  // lw, Hoppe's l_av
  template <typename S>
  S operator()(const TPoints<S>& p) const { return HoppeMean(BondLengths(p)); }
};

// DI = (1/n) Σ |lᵢ - l̄| / l̄ (Baur, Acta Cryst. B30 (1974) 1195).
struct TDistortionIndex {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    using std::fabs;
    const std::vector<S> l = BondLengths(p);
    S mean(0);
    for (const S& li : l) mean += li;
    mean = mean / S(static_cast<double>(l.size()));
    S sum(0);
    for (const S& li : l) sum += fabs(li - mean);
    return sum / (S(static_cast<double>(l.size())) * mean);
  }
};

// lₖ - l̄: DI has a kink where it vanishes.
struct TBondFromMean {
  size_t K = 0;
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    const std::vector<S> l = BondLengths(p);
    S mean(0);
    for (const S& li : l) mean += li;
    return l[K] - mean / S(static_cast<double>(l.size()));
  }
};

// The distance of the centre from the centroid of its ligands. At exactly
// zero (a centre on an inversion centre of its sphere) the norm has no
// derivative: its square, with the same value and a zero gradient, stands in.
struct TOffset {
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    using std::sqrt;
    TVec3Of<S> centroid{S(0), S(0), S(0)};
    for (size_t i = 1; i < p.size(); ++i)
      for (int k = 0; k < 3; ++k) centroid[k] += p[i][k];
    const S n(static_cast<double>(p.size() - 1));
    TVec3Of<S> d;
    for (int k = 0; k < 3; ++k) d[k] = p[0][k] - centroid[k] / n;
    const S squared = DotOf(d, d);
    return ValueOf(squared) == 0 ? squared : sqrt(squared);
  }
};

double SumOf(const std::vector<double>& lengths, const std::vector<TBondValenceParameters>& bonds) {
  double sum = 0;
  for (size_t i = 0; i < lengths.size(); ++i) sum += std::exp((bonds[i].R0 - lengths[i]) / bonds[i].B);
  return sum;
}

std::string PairName(const TSphereFacts& sphere, size_t i) { return sphere.Elements[0] + "-" + sphere.Elements[i]; }

// The parameters of every bond for a centre of `state` (none: element
// parameters), or why one has none.
TBondValenceSetup BondsAt(const TSphereFacts& sphere, std::optional<int> state) {
  TBondValenceSetup setup;
  setup.State = state;
  const std::string& centre = sphere.Elements[0];
  for (size_t i = 1; i < sphere.Positions.size(); ++i) {
    const std::string& ligand = sphere.Elements[i];
    const TBondValenceRow* row = nullptr;
    if (sphere.BondValences != nullptr && state)
      row = *state > 0 ? FindBondValenceRow(*sphere.BondValences, centre, *state, ligand, sphere.OxidationStates[i])
            : sphere.OxidationStates[i] ? FindBondValenceRow(*sphere.BondValences, ligand, *sphere.OxidationStates[i],
                                                             centre, state)
                                        : nullptr;
    if (row != nullptr) {
      setup.Bonds.push_back({row->R0, row->B, row->Reference});
    } else if (const std::optional<TBondValenceParameters> p = ElementBondValence(centre, ligand)) {
      setup.Bonds.push_back(*p);
    } else {
      setup.Undefined = "no parameters for " + PairName(sphere, i);
      setup.Bonds.clear();
      return setup;
    }
  }
  return setup;
}

TQuantityDefinition DefineSum(const TSphereFacts& sphere) {
  const TBondValenceSetup setup = BondValenceSetup(sphere);
  if (!setup.Undefined.empty()) return {.Undefined = setup.Undefined};
  TBondValenceSum sum;
  for (const TBondValenceParameters& b : setup.Bonds) sum.R0.push_back(b.R0), sum.B.push_back(b.B);
  return {.Quantity = MakeQuantity(sum)};
}

TQuantityDefinition DefineEffectiveCoordination(const TSphereFacts&) {
  // A maximum, n, where all bonds are equal.
  return {.Quantity = MakeQuantity(TEffectiveCoordination()), .SecondOrder = true};
}

TQuantityDefinition DefineWeightedMeanBond(const TSphereFacts&) {
  return {.Quantity = MakeQuantity(TWeightedMeanBond())};
}

TQuantityDefinition DefineDistortionIndex(const TSphereFacts& sphere) {
  TQuantityDefinition d{.Quantity = MakeQuantity(TDistortionIndex())};
  for (size_t k = 0; k + 1 < sphere.Positions.size(); ++k) d.Kinks.push_back(MakeQuantity(TBondFromMean{k}));
  return d;
}

TQuantityDefinition DefineOffset(const TSphereFacts&) {
  const TQuantity offset = MakeQuantity(TOffset());
  return {.Quantity = offset, .Kinks = {offset}};
}

}  // namespace

TBondValenceSetup BondValenceSetup(const TSphereFacts& sphere) {
  for (size_t i = 1; i < sphere.Positions.size(); ++i)
    if (sphere.Elements[i].empty()) return {.Undefined = "a centroid ligand"};
  const std::optional<int> given = sphere.OxidationStates[0];
  if (given || sphere.BondValences == nullptr) return BondsAt(sphere, given);
  // The nearest-state rule: of the states the table gives the centre with
  // its ligands, the one whose own sum comes nearest to it.
  std::vector<int> states;
  for (size_t i = 1; i < sphere.Positions.size(); ++i)
    for (int s : TableValences(*sphere.BondValences, sphere.Elements[0], sphere.Elements[i]))
      if (std::find(states.begin(), states.end(), s) == states.end()) states.push_back(s);
  std::sort(states.begin(), states.end());
  if (states.empty()) return BondsAt(sphere, std::nullopt);
  std::vector<double> lengths = BondLengths(std::vector<TVec3Of<double>>(sphere.Positions.begin(), sphere.Positions.end()));
  TBondValenceSetup best;
  double bestGap = 0;
  for (int s : states) {
    TBondValenceSetup setup = BondsAt(sphere, s);
    if (!setup.Undefined.empty()) continue;
    const double sum = SumOf(lengths, setup.Bonds);
    if (best.Bonds.empty() || std::fabs(sum - s) < bestGap) {
      bestGap = std::fabs(sum - s);
      best = std::move(setup);
      best.AssumedSum = sum;
    }
  }
  if (best.Bonds.empty()) return BondsAt(sphere, states.front());
  best.StateAssumed = true;
  best.TableStates = states;
  return best;
}

double WeightedMeanBond(const std::vector<double>& lengths) { return HoppeMean(lengths); }

const std::vector<TQuantityRow>& BondValenceRows() {
  static const std::vector<TQuantityRow> rows{
      {.Name = "BVS", .Unit = "v.u.", .Decimals = 3, .Meaning = "bond-valence sum (Brown & Altermatt 1985)",
       .MinLigands = 1, .Define = DefineSum},
      {.Name = "ECoN", .Unit = "", .Decimals = 3, .Meaning = "effective coordination number (Hoppe 1979)",
       .MinLigands = 1, .Define = DefineEffectiveCoordination},
      {.Name = "lw", .Unit = "A", .Decimals = 4, .Meaning = "ECoN-weighted mean bond length (Hoppe 1979)",
       .MinLigands = 1, .SuFloor = kDistanceSuFloor, .Define = DefineWeightedMeanBond},
      {.Name = "DI", .Unit = "", .Decimals = 4, .Meaning = "distortion index of the bond lengths (Baur 1974)",
       .MinLigands = 2, .Define = DefineDistortionIndex},
      {.Name = "offset", .Unit = "A", .Decimals = 4, .Meaning = "centre from the centroid of its ligands",
       .MinLigands = 1, .SuFloor = kDistanceSuFloor, .Define = DefineOffset},
  };
  return rows;
}

}  // namespace koravel
