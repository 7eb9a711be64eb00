#include "su/propagation.h"

#include <cmath>
#include <map>

#include "su/point_model.h"

namespace koravel {

namespace {

// Below this su (ångström or degrees) the propagated value is rounding noise
// of the arithmetic, not an uncertainty of the structure.
constexpr double kNoiseSu = 1e-7;

// An su that the arithmetic alone produced (a value fixed by symmetry) is 0.
void DropRoundingNoise(TPropagated& r) {
  if (!(r.Su < kNoiseSu)) return;
  r.Su = r.SuLinear = r.SuSecondOrder = r.Shift = 0;
}

}  // namespace

TPropagated Propagate(const TStructure& s, const TParameters& params,
                      const std::vector<TPoint>& points, const TQuantity& quantity,
                      bool secondOrder) {
  const TCellDerivatives cell = CellDerivatives(s, params);
  const TPointModel model = BuildPointModel(s, params, points, cell.M);
  const size_t n = 3 * points.size(), m = model.Params.size();

  std::vector<TVec3Of<TDual>> x(points.size());
  for (size_t p = 0; p < points.size(); ++p)
    for (int k = 0; k < 3; ++k) x[p][k] = TDual::Variable(model.Cart[p][k], 3 * p + k, n);
  const TDual f = quantity.Dual(x);
  std::vector<double> gX = f.G, hX = f.H;
  gX.resize(n, 0.0);
  hX.resize(n * n, 0.0);

  const TMatrix j = PointJacobian(model, cell);
  std::vector<double> g(m, 0.0);
  for (size_t q = 0; q < m; ++q)
    for (size_t k = 0; k < n; ++k) g[q] += j(k, q) * gX[k];
  TMatrix c(m, m);
  for (size_t a = 0; a < m; ++a)
    for (size_t b = 0; b < m; ++b) c(a, b) = params.Covariance(model.Params[a].Global, model.Params[b].Global);

  TPropagated r;
  r.Value = f.V;
  r.FixedCount = model.Fixed;
  r.TiedCount = model.Tied;
  r.CellTiedCount = params.CellTied;
  for (size_t a = 0; a < m; ++a) {
    const double v = c(a, a);
    if (v > 0 || std::isnan(v)) r.ParametersEntered = true;
  }
  double v1 = 0;
  for (size_t a = 0; a < m; ++a)
    for (size_t b = 0; b < m; ++b) v1 += g[a] * c(a, b) * g[b];
  if (v1 < 0) v1 = 0;

  double v2 = 0;
  if (secondOrder && m > 0) {
    // H = Jᵀ HX J over the coordinates (the positions are linear in them);
    // the cell enters to first order only: its second-order share is far
    // below any su worth printing, while its su can be as large as a file
    // makes it. Then P = H·C.
    TMatrix hj(n, m);
    for (size_t k = 0; k < n; ++k)
      for (size_t l = 0; l < n; ++l) {
        const double h = hX[k * n + l];
        if (h == 0) continue;
        for (size_t q = 0; q < m; ++q) hj(k, q) += h * j(l, q);
      }
    TMatrix h(m, m);
    for (size_t a = 0; a < m; ++a)
      for (size_t b = 0; b < m; ++b) {
        if (model.Params[a].IsCell || model.Params[b].IsCell) continue;
        double sum = 0;
        for (size_t k = 0; k < n; ++k) sum += j(k, a) * hj(k, b);
        h(a, b) = sum;
      }
    TMatrix pc(m, m);
    for (size_t a = 0; a < m; ++a)
      for (size_t k = 0; k < m; ++k) {
        const double hak = h(a, k);
        if (hak == 0) continue;
        for (size_t b = 0; b < m; ++b) pc(a, b) += hak * c(k, b);
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
  DropRoundingNoise(r);
  return r;
}

}  // namespace koravel
