#include "su/monte_carlo.h"

#include <cmath>

#include "crystal/cell.h"
#include "su/random.h"

namespace koravel {

namespace {

constexpr std::uint64_t kSeed = 20261207;

// Running mean and variance (Welford, Technometrics 4 (1962) 419).
struct TRunningMoments {
  long long N = 0;
  double Mean = 0, M2 = 0;
  void Add(double x) {
    ++N;
    const double d = x - Mean;
    Mean += d / static_cast<double>(N);
    M2 += d * (x - Mean);
  }
};

}  // namespace

std::vector<TMonteCarlo> MonteCarlo(const TStructure& s, const TParameters& params,
                                    const std::vector<TPoint>& points,
                                    const std::vector<TQuantity>& quantities, long long draws) {
  const TMat3 ortho = OrthoMatrix(s.Cell);
  const TPointModel model = BuildPointModel(s, params, points, ortho);
  const size_t m = model.Params.size(), n = points.size();
  TMatrix c(m, m);
  for (size_t a = 0; a < m; ++a)
    for (size_t b = 0; b < m; ++b) c(a, b) = params.Covariance(model.Params[a].Global, model.Params[b].Global);
  const TMatrix l = Cholesky(c);
  const std::array<double, 6> cell0 = CellParameters(s.Cell);

  std::vector<TRunningMoments> moments(quantities.size());
  TNormalDeviates normal(kSeed);
  std::vector<double> z(m), dq(m);
  std::vector<TVec3> x(n);
  for (long long draw = 0; draw < draws; ++draw) {
    for (double& v : z) v = normal.Next();
    for (size_t a = 0; a < m; ++a) {
      double sum = 0;
      for (size_t b = 0; b <= a; ++b) sum += l(a, b) * z[b];
      dq[a] = sum;
    }
    std::array<double, 6> cell = cell0;
    std::vector<TVec3> frac = model.Frac;
    for (size_t a = 0; a < m; ++a) {
      const TLocalParameter& lp = model.Params[a];
      if (lp.IsCell) {
        for (size_t k = 0; k < 6; ++k) cell[k] += params.CellB(k, lp.CellIndex) * dq[a];
        continue;
      }
      for (size_t p = 0; p < n; ++p) frac[p] = Plus(frac[p], Scaled(lp.FracShift[p], dq[a]));
    }
    const TMat3 mDraw = OrthoMatrixOf(cell);
    for (size_t p = 0; p < n; ++p) x[p] = MatVec(mDraw, frac[p]);
    for (size_t q = 0; q < quantities.size(); ++q) moments[q].Add(quantities[q].Plain(x));
  }
  std::vector<TMonteCarlo> result;
  for (const TRunningMoments& mo : moments)
    result.push_back({mo.N, mo.Mean, mo.N > 1 ? std::sqrt(mo.M2 / static_cast<double>(mo.N - 1)) : 0});
  return result;
}

}  // namespace koravel
