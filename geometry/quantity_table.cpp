#include "geometry/quantity_table.h"

#include <cmath>

namespace koravel {

namespace {

// Whether one of the kinks lies within 3 su of zero (a kink held at zero by
// symmetry, su 0, is no kink the su could cross).
bool NearKink(const TPropagator& propagate, const TVectorQuantity& kinks) {
  if (!kinks || !propagate.HasSu()) return false;
  for (const TPropagated& v : propagate.Each(kinks))
    if (v.Su > 0 && std::fabs(v.Value) <= 3 * v.Su) return true;
  return false;
}

}  // namespace

std::vector<TQuantityValue> EvaluateRows(const std::vector<TQuantityRow>& rows, const TSphereFacts& sphere,
                                         const TPropagator& propagate, long long mcDraws) {
  const size_t n = sphere.Positions.size() - 1;
  std::vector<TQuantityValue> values;
  std::vector<TSuRequest> requests;
  std::vector<TQuantity> checked;
  std::vector<size_t> estimated;
  for (const TQuantityRow& row : rows) {
    if (n < row.MinLigands || n > row.MaxLigands) continue;
    TQuantityDefinition d = row.Define(sphere);
    TQuantityValue v{&row, {}, std::nullopt, d.Undefined, false};
    if (v.Undefined.empty()) {
      v.Kinked = NearKink(propagate, d.Kinks);
      requests.push_back({d.Quantity, d.SecondOrder, v.Kinked, row.SuFloor});
      checked.push_back(d.Quantity);
      estimated.push_back(values.size());
    } else {
      v.Value.Value = std::nan("");
    }
    values.push_back(std::move(v));
  }
  const std::vector<TPropagated> results = propagate.Estimate(requests);
  for (size_t k = 0; k < estimated.size(); ++k) {
    TQuantityValue& v = values[estimated[k]];
    v.Value = results[k];
    if (!std::isfinite(v.Value.Value) || !std::isfinite(v.Value.Su)) v.Undefined = "degenerate geometry";
  }
  if (mcDraws > 0 && !checked.empty()) {
    const std::vector<TMonteCarlo> mc = propagate.MonteCarlo(checked, mcDraws);
    for (size_t k = 0; k < estimated.size(); ++k) values[estimated[k]].MonteCarlo = mc[k];
  }
  return values;
}

}  // namespace koravel
