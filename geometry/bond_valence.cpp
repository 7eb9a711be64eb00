#include "geometry/bond_valence.h"

#include <algorithm>
#include <cmath>

#include "geometry/sphere.h"

namespace koravel {

namespace {

template <typename S>
using TPoints = std::vector<TVec3Of<S>>;

// One step of Hoppe's iteration: Σ lᵢwᵢ / Σ wᵢ with wᵢ = exp(1 - (lᵢ/l_av)⁶),
// and its derivative with respect to l_av (dwᵢ/dl_av = 6 wᵢ (lᵢ/l_av)⁶ / l_av).
struct THoppeStep {
  double Next = 0, Slope = 0;
};

THoppeStep HoppeStep(const std::vector<double>& l, double mean) {
  double a = 0, b = 0, da = 0, db = 0;
  for (double li : l) {
    const double r = li / mean, r2 = r * r, r6 = r2 * r2 * r2;
    const double w = std::exp(1 - r6), dw = 6 * w * r6 / mean;
    a += li * w;
    b += w;
    da += li * dw;
    db += dw;
  }
  return {a / b, (da * b - a * db) / (b * b)};
}

// The iteration stops when l_av no longer moves (a few dozen steps: the
// weights fall off as the sixth power); the cap only guards against a cycle.
constexpr int kMaxHoppeSteps = 500;

// Hoppe's l_av, iterated in plain numbers from the shortest bond to
// self-consistency, l* = F(l*). Its derivatives then follow from Newton
// steps l ← l + (F(l) - l) / (1 - F'(l*)) taken from l* in the scalar type:
// the first step gives the first derivatives of the fixed point exactly,
// dl*/dx = (∂F/∂x) / (1 - F'), the second its second derivatives, the third
// settles the rounding; plain numbers take the same steps, so both agree.
template <typename S>
S HoppeMean(const std::vector<S>& l) {
  using std::exp;
  std::vector<double> plain;
  for (const S& li : l) plain.push_back(ValueOf(li));
  double fixed = *std::min_element(plain.begin(), plain.end());
  for (int step = 0; step < kMaxHoppeSteps; ++step) {
    const double next = HoppeStep(plain, fixed).Next;
    if (next == fixed) break;
    fixed = next;
  }
  const double damping = 1 / (1 - HoppeStep(plain, fixed).Slope);
  S mean(fixed);
  for (int step = 0; step < 3; ++step) {
    S sum(0), weights(0);
    for (const S& li : l) {
      const S r = li / mean, r2 = r * r;
      const S w = exp(S(1) - r2 * r2 * r2);
      sum += li * w;
      weights += w;
    }
    mean += (sum / weights - mean) * S(damping);
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

// A function of the bond lengths alone. For exact derivatives it is taken
// over the n lengths as variables and chained to the coordinates once
// (ChainMany): n·N² for the Hessian instead of N² for each of the many
// operations of Hoppe's iteration.
template <typename F>
double OfBondLengths(const std::vector<double>& l, F f) {
  return f(l);
}

template <typename F>
TDual OfBondLengths(const std::vector<TDual>& l, F f) {
  bool second = false;
  for (const TDual& x : l) second = second || x.SecondOrder;
  std::vector<TDual> local;
  std::vector<const TDual*> inputs;
  for (size_t i = 0; i < l.size(); ++i) {
    local.push_back(TDual::Variable(l[i].V, i, l.size(), second));
    inputs.push_back(&l[i]);
  }
  return ChainMany(inputs, f(local));
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
    return OfBondLengths(BondLengths(p), [](const auto& l) { return HoppeWeightSum(l, HoppeMean(l)); });
  }
};

struct TWeightedMeanBond {  // lw, Hoppe's l_av
  template <typename S>
  S operator()(const TPoints<S>& p) const {
    return OfBondLengths(BondLengths(p), [](const auto& l) { return HoppeMean(l); });
  }
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

// lₖ - l̄ for every k: DI has a kink where one vanishes.
std::vector<TDual> BondsFromMean(const TPoints<TDual>& p) {
  std::vector<TDual> l = BondLengths(p);
  TDual mean(0);
  for (const TDual& li : l) mean += li;
  mean = mean / TDual(static_cast<double>(l.size()));
  for (TDual& li : l) li -= mean;
  return l;
}

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

// The table's row for bond i when the centre has `state`: the centre as
// the cation (atom 1 of the table), or, for an anion centre, the ligand as
// the cation at the state the file gives it.
const TBondValenceRow* TableRow(const TSphereFacts& sphere, std::optional<int> state, size_t i) {
  if (sphere.BondValences == nullptr || !state) return nullptr;
  const TBondValenceTable& table = *sphere.BondValences;
  const std::optional<int> ligandState = sphere.OxidationStates[i];
  if (*state > 0) return FindBondValenceRow(table, sphere.Elements[0], *state, sphere.Elements[i], ligandState);
  if (ligandState) return FindBondValenceRow(table, sphere.Elements[i], *ligandState, sphere.Elements[0], state);
  return nullptr;
}

// The parameters of every bond for a centre of `state` (none: element
// parameters), or why one has none.
TBondValenceSetup BondsAt(const TSphereFacts& sphere, std::optional<int> state) {
  TBondValenceSetup setup{.State = state};
  const std::string& centre = sphere.Elements[0];
  for (size_t i = 1; i < sphere.Positions.size(); ++i) {
    const std::string& ligand = sphere.Elements[i];
    if (centre.empty() || ligand.empty())
      return {.State = state, .Undefined = "no element known for " + sphere.Labels[centre.empty() ? 0 : i]};
    if (const TBondValenceRow* row = TableRow(sphere, state, i))
      setup.Bonds.push_back({row->R0, row->B, row->Reference});
    else if (const std::optional<TBondValenceParameters> p = ElementBondValence(centre, ligand))
      setup.Bonds.push_back(*p);
    else
      return {.State = state, .Undefined = "no parameters for " + centre + "-" + ligand};
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

TQuantityDefinition DefineDistortionIndex(const TSphereFacts&) {
  return {.Quantity = MakeQuantity(TDistortionIndex()), .Kinks = BondsFromMean};
}

TQuantityDefinition DefineOffset(const TSphereFacts&) {
  return {.Quantity = MakeQuantity(TOffset()),
          .Kinks = [](const TPoints<TDual>& p) { return std::vector<TDual>{TOffset()(p)}; }};
}

}  // namespace

TBondValenceSetup BondValenceSetup(const TSphereFacts& sphere) {
  for (size_t i = 1; i < sphere.Positions.size(); ++i)
    if (sphere.Centroids[i]) return {.Undefined = "a centroid ligand"};
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
