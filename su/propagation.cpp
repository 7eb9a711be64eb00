#include "su/propagation.h"

#include <cmath>
#include <map>

#include "su/point_model.h"

namespace koravel {

namespace {

// Below this su, whatever the unit, the propagated value is rounding noise
// of the arithmetic (a value fixed by symmetry), not an uncertainty of the
// structure.
constexpr double kNoiseSu = 1e-7;

// The share of the variance that makes a note on the second-order term.
constexpr double kSecondOrderShare = 0.1;

// A value of an input without su: no su, no shift, nothing entered.
TPropagated ValueOnly(TPropagated r) {
  r.Su = r.SuLinear = r.SuSecondOrder = r.Shift = 0;
  r.ParametersEntered = false;
  return r;
}

}  // namespace

TPropagated WithSuFloor(TPropagated r, double floor) {
  if (r.Su < floor) r.Su = r.SuLinear = r.SuSecondOrder = r.Shift = 0;
  return r;
}

double SecondOrderShare(const TPropagated& r) {
  return (r.SuSecondOrder * r.SuSecondOrder) / (r.Su * r.Su);
}

bool HeldBySymmetry(const TPropagated& r) { return r.ParametersEntered && r.Su == 0 && !r.FreeWithoutSu; }

bool NearExtremum(const TPropagated& r) { return r.Su > 0 && SecondOrderShare(r) >= kSecondOrderShare; }

TPropagator::TPropagator(const TStructure& s, const TParameters& params, std::vector<TPoint> points,
                         bool hasSu)
    : S_(s), Params_(params), Points_(std::move(points)), HasSu_(hasSu) {
  const TCellDerivatives cell = CellDerivatives(s, params);
  Model_ = BuildPointModel(s, params, Points_, cell.M);
  J_ = PointJacobian(Model_, cell);
  const size_t m = Model_.Params.size();
  C_ = TMatrix(m, m);
  for (size_t a = 0; a < m; ++a)
    for (size_t b = 0; b < m; ++b)
      C_(a, b) = params.Covariance(Model_.Params[a].Global, Model_.Params[b].Global);
  bool coordinateWithSu = false, freeCoordinate = false;
  for (size_t a = 0; a < m; ++a) {
    const bool withSu = C_(a, a) > 0 || std::isnan(C_(a, a));
    if (withSu) Entered_ = true;
    if (!Model_.Params[a].IsCell) {
      freeCoordinate = true;
      coordinateWithSu = coordinateWithSu || withSu;
    }
  }
  FreeWithoutSu_ = freeCoordinate && !coordinateWithSu;
  CellTied_ = params.CellTied;
  JRows_.resize(J_.Rows);
  JColumns_.resize(m);
  for (size_t k = 0; k < J_.Rows; ++k)
    for (size_t q = 0; q < m; ++q)
      if (J_(k, q) != 0) {
        JRows_[k].push_back({q, J_(k, q)});
        JColumns_[q].push_back({k, J_(k, q)});
      }
  CRows_.resize(m);
  for (size_t a = 0; a < m; ++a)
    for (size_t b = 0; b < m; ++b)
      if (C_(a, b) != 0) CRows_[a].push_back({b, C_(a, b)});
}

std::vector<TVec3Of<TDual>> TPropagator::Variables(bool secondOrder) const {
  const size_t n = 3 * Points_.size();
  std::vector<TVec3Of<TDual>> x(Points_.size());
  for (size_t p = 0; p < Points_.size(); ++p)
    for (int k = 0; k < 3; ++k)
      x[p][k] = TDual::Variable(Model_.Cart[p][k], 3 * p + k, n, secondOrder);
  return x;
}

TPropagated TPropagator::FromDerivatives(const TDual& f, bool secondOrder) const {
  const size_t n = 3 * Points_.size(), m = Model_.Params.size();
  std::vector<double> gX = f.G;
  gX.resize(n, 0.0);
  // g = Jᵀ gX and gᵀCg over the non-zero entries only: a distance or an
  // angle depends on a few of the sphere's coordinates, and a sphere of
  // hundreds of neighbours has thousands of parameters.
  std::vector<double> g(m, 0.0);
  for (size_t k = 0; k < n; ++k) {
    if (gX[k] == 0) continue;
    for (const auto& [q, j] : JRows_[k]) g[q] += j * gX[k];
  }
  std::vector<size_t> nonzero;
  for (size_t q = 0; q < m; ++q)
    if (g[q] != 0) nonzero.push_back(q);

  TPropagated r;
  r.Value = f.V;
  r.FixedCount = Model_.Fixed;
  r.TiedCount = Model_.Tied;
  r.CellTiedCount = CellTied_;
  r.ParametersEntered = Entered_;
  r.FreeWithoutSu = FreeWithoutSu_;
  double v1 = 0;
  for (size_t a : nonzero)
    for (size_t b : nonzero) v1 += g[a] * C_(a, b) * g[b];
  if (v1 < 0) v1 = 0;

  double v2 = 0;
  if (secondOrder && m > 0 && f.H.size() == n * n) {
    // H = Jᵀ HX J over the coordinates (the positions are linear in them);
    // the cell enters to first order only: its second-order share is far
    // below any su worth printing, while its su can be as large as a file
    // makes it. Then P = H·C.
    // Over the non-zero entries of H, J and C only.
    TMatrix hj(n, m);
    for (size_t k = 0; k < n; ++k)
      for (size_t l = 0; l < n; ++l) {
        const double h = f.H[k * n + l];
        if (h == 0) continue;
        for (const auto& [q, j] : JRows_[l]) hj(k, q) += h * j;
      }
    TMatrix h(m, m);
    for (size_t a = 0; a < m; ++a) {
      if (Model_.Params[a].IsCell) continue;
      for (size_t b = 0; b < m; ++b) {
        if (Model_.Params[b].IsCell) continue;
        double sum = 0;
        for (const auto& [k, j] : JColumns_[a]) sum += j * hj(k, b);
        h(a, b) = sum;
      }
    }
    TMatrix pc(m, m);
    for (size_t a = 0; a < m; ++a)
      for (size_t k = 0; k < m; ++k) {
        const double hak = h(a, k);
        if (hak == 0) continue;
        for (const auto& [b, c] : CRows_[k]) pc(a, b) += hak * c;
      }
    double sum = 0, trace = 0;
    for (size_t a = 0; a < m; ++a) {
      trace += pc(a, a);
      for (size_t b = 0; b < m; ++b) sum += pc(a, b) * pc(b, a);
    }
    v2 = sum < 0 ? 0 : 0.5 * sum;
    r.Shift = 0.5 * trace;
  }
  r.SuLinear = std::sqrt(v1);
  r.SuSecondOrder = std::sqrt(v2);
  r.Su = std::sqrt(v1 + v2);
  return WithSuFloor(r, kNoiseSu);
}

std::vector<TPropagated> TPropagator::Estimate(const std::vector<TSuRequest>& requests) const {
  std::vector<TPropagated> result;
  std::vector<size_t> across;
  std::vector<TPlainQuantity> sampled;
  for (const TSuRequest& r : requests) {
    const bool secondOrder = r.SecondOrder && HasSu_;
    TPropagated value = FromDerivatives(r.Quantity.Dual(Variables(secondOrder)), secondOrder);
    if (!HasSu_) value = ValueOnly(value);
    if (HasSu_ && r.FromMonteCarlo) {
      across.push_back(result.size());
      sampled.push_back(r.Quantity.Plain);
    }
    result.push_back(value);
  }
  if (!sampled.empty()) {
    const std::vector<TMonteCarlo> mc = Sampler().RunUntilStable(sampled);
    for (size_t k = 0; k < across.size(); ++k) {
      TPropagated& value = result[across[k]];
      value.Su = mc[k].Sd;
      value.Shift = mc[k].Mean - value.Value;
      value.SuSecondOrder = 0;
      value.Draws = mc[k].Draws;
    }
  }
  for (size_t k = 0; k < result.size(); ++k) result[k] = WithSuFloor(result[k], requests[k].SuFloor);
  return result;
}

std::vector<TPropagated> TPropagator::Each(const TVectorQuantity& quantity, double suFloor) const {
  std::vector<TPropagated> result;
  for (const TDual& f : quantity(Variables(false))) {
    const TPropagated value = FromDerivatives(f, false);
    result.push_back(HasSu_ ? WithSuFloor(value, suFloor) : ValueOnly(value));
  }
  return result;
}

TPropagated TPropagator::OfPoints(const std::vector<size_t>& which, const TQuantity& quantity,
                                  double suFloor) const {
  const size_t k = which.size();
  std::vector<TVec3Of<TDual>> x(k);
  for (size_t j = 0; j < k; ++j)
    for (size_t c = 0; c < 3; ++c)
      x[j][c] = TDual::Variable(Model_.Cart[which[j]][c], 3 * j + c, 3 * k, false);
  const TDual local = quantity.Dual(x);
  TDual f(local.V);
  f.G.assign(3 * Points_.size(), 0.0);
  if (local.G.size() == 3 * k)
    for (size_t j = 0; j < k; ++j)
      for (size_t c = 0; c < 3; ++c) f.G[3 * which[j] + c] += local.G[3 * j + c];
  const TPropagated value = FromDerivatives(f, false);
  return HasSu_ ? WithSuFloor(value, suFloor) : ValueOnly(value);
}

TPointSampler TPropagator::Sampler() const { return TPointSampler(S_, Params_, Model_, C_); }

std::vector<TMonteCarlo> TPropagator::MonteCarlo(const std::vector<TQuantity>& quantities,
                                                 long long draws) const {
  if (!HasSu_ || quantities.empty()) return {};
  std::vector<TPlainQuantity> plain;
  for (const TQuantity& q : quantities) plain.push_back(q.Plain);
  return Sampler().Run(plain, draws);
}

TPropagated Propagate(const TStructure& s, const TParameters& params,
                      const std::vector<TPoint>& points, const TQuantity& quantity,
                      bool secondOrder) {
  return TPropagator(s, params, points, true).Estimate({{quantity, secondOrder}}).front();
}

}  // namespace koravel
