#include "base/matrix.h"

#include <algorithm>
#include <cmath>

namespace koravel {

namespace {

// Pivots smaller than this (relative to the largest coefficient) are zero:
// the systems here have small integer coefficients.
constexpr double kPivotTolerance = 1e-9;

}  // namespace

TParametrisation Parametrise(const TMatrix& a, const std::vector<int>& preferred) {
  const std::size_t n = a.Cols;
  // Column order for the elimination: the variables that are not preferred
  // first, then the preferred ones, least preferred first. Pivots are taken
  // from the left, so the preferred variables are the last to become
  // dependent and the most preferred stay free.
  std::vector<int> order;
  for (std::size_t v = 0; v < n; ++v)
    if (std::find(preferred.begin(), preferred.end(), static_cast<int>(v)) == preferred.end())
      order.push_back(static_cast<int>(v));
  for (auto it = preferred.rbegin(); it != preferred.rend(); ++it) order.push_back(*it);

  TMatrix r = a;
  double scale = 0;
  for (double x : r.Data) scale = std::max(scale, std::fabs(x));
  const double tolerance = kPivotTolerance * (scale > 0 ? scale : 1);
  std::vector<int> pivotOfRow;  // the variable each reduced row solves for
  std::size_t row = 0;
  for (int var : order) {
    if (row >= r.Rows) break;
    const std::size_t col = static_cast<std::size_t>(var);
    std::size_t best = row;
    for (std::size_t i = row; i < r.Rows; ++i)
      if (std::fabs(r(i, col)) > std::fabs(r(best, col))) best = i;
    if (std::fabs(r(best, col)) <= tolerance) continue;
    for (std::size_t j = 0; j < n; ++j) std::swap(r(row, j), r(best, j));
    const double p = r(row, col);
    for (std::size_t j = 0; j < n; ++j) r(row, j) /= p;
    for (std::size_t i = 0; i < r.Rows; ++i) {
      if (i == row || r(i, col) == 0) continue;
      const double f = r(i, col);
      for (std::size_t j = 0; j < n; ++j) r(i, j) -= f * r(row, j);
    }
    pivotOfRow.push_back(var);
    ++row;
  }
  TParametrisation result;
  for (int var : preferred)
    if (std::find(pivotOfRow.begin(), pivotOfRow.end(), var) == pivotOfRow.end())
      result.Free.push_back(var);
  result.B = TMatrix(n, result.Free.size());
  for (std::size_t j = 0; j < result.Free.size(); ++j) {
    const std::size_t f = static_cast<std::size_t>(result.Free[j]);
    result.B(f, j) = 1;
    for (std::size_t i = 0; i < pivotOfRow.size(); ++i) {
      const double v = -r(i, f);
      result.B(static_cast<std::size_t>(pivotOfRow[i]), j) = std::fabs(v) <= tolerance ? 0 : v;
    }
  }
  return result;
}

TMatrix Cholesky(const TMatrix& c) {
  const std::size_t n = c.Rows;
  TMatrix l(n, n);
  for (std::size_t j = 0; j < n; ++j) {
    double d = c(j, j);
    for (std::size_t k = 0; k < j; ++k) d -= l(j, k) * l(j, k);
    // No variance left in this direction beyond the rounding of its own:
    // judged against the parameter's variance, not the largest one, so that
    // one parameter with a huge su does not silence all the others.
    if (!(d > 1e-12 * c(j, j))) continue;
    const double root = std::sqrt(d);
    l(j, j) = root;
    for (std::size_t i = j + 1; i < n; ++i) {
      double s = c(i, j);
      for (std::size_t k = 0; k < j; ++k) s -= l(i, k) * l(j, k);
      l(i, j) = s / root;
    }
  }
  return l;
}

}  // namespace koravel
