#include "crystal/site_constraints.h"

#include <algorithm>
#include <numeric>

namespace koravel {

namespace {

using TIntRow = std::array<long long, 3>;

// The row divided by the greatest common divisor of its entries.
TIntRow Primitive(TIntRow row) {
  const long long g = std::gcd(std::gcd(row[0], row[1]), row[2]);
  if (g > 1)
    for (long long& v : row) v /= g;
  return row;
}

// `row` without its component along column `col`, by the pivot row: both
// scaled so that the entries in that column cancel.
TIntRow Eliminate(const TIntRow& row, const TIntRow& pivot, int col) {
  TIntRow r;
  for (int j = 0; j < 3; ++j) r[j] = row[j] * pivot[col] - pivot[j] * row[col];
  return Primitive(r);
}

TRational Fraction(long long num, long long den) {
  if (den < 0) {
    num = -num;
    den = -den;
  }
  const long long g = std::gcd(num, den);
  return {num / g, den / g};
}

// A row of the reduced echelon form and the coordinate it solves for.
struct TPivot {
  int Column = 0;
  TIntRow Row{};  // Row[Column] > 0, zero in the columns of the other pivots
};

// Gauss-Jordan elimination in integers, pivots taken in the column order given.
std::vector<TPivot> ReducedEchelon(std::vector<TIntRow> rows, const std::vector<int>& order) {
  std::vector<TPivot> pivots;
  for (int col : order) {
    const auto found =
        std::find_if(rows.begin(), rows.end(), [col](const TIntRow& r) { return r[col] != 0; });
    if (found == rows.end()) continue;
    TPivot pivot{col, Primitive(*found)};
    if (pivot.Row[col] < 0)
      for (long long& v : pivot.Row) v = -v;
    rows.erase(found);
    for (TIntRow& r : rows) r = Eliminate(r, pivot.Row, col);
    for (TPivot& p : pivots) p.Row = Eliminate(p.Row, pivot.Row, col);
    pivots.push_back(pivot);
  }
  return pivots;
}

}  // namespace

TSiteConstraints SiteConstraints(const std::vector<TSymOp>& siteOps,
                                 const std::vector<int>& preferred) {
  std::vector<TIntRow> rows;
  for (const TSymOp& op : siteOps)
    for (int i = 0; i < 3; ++i) {
      TIntRow row;
      for (int j = 0; j < 3; ++j) row[j] = op.Rot[i][j] - (i == j ? 1 : 0);
      if (row != TIntRow{}) rows.push_back(row);
    }
  // Pivots are taken first in the coordinates that are not preferred, then
  // in the preferred ones, least preferred first: the most preferred are the
  // last to become dependent.
  std::vector<int> order;
  for (int axis = 0; axis < 3; ++axis)
    if (std::find(preferred.begin(), preferred.end(), axis) == preferred.end())
      order.push_back(axis);
  order.insert(order.end(), preferred.rbegin(), preferred.rend());
  const std::vector<TPivot> pivots = ReducedEchelon(std::move(rows), order);

  TSiteConstraints c;
  for (int axis : preferred)
    if (std::none_of(pivots.begin(), pivots.end(),
                     [axis](const TPivot& p) { return p.Column == axis; }))
      c.Free.push_back(axis);
  for (int f : c.Free) {
    std::array<TRational, 3> move{};
    move[f] = {1, 1};
    // Row·d = 0 with d_f = 1 and the other non-pivot coordinates at rest.
    for (const TPivot& p : pivots) move[p.Column] = Fraction(-p.Row[f], p.Row[p.Column]);
    c.Moves.push_back(move);
  }
  return c;
}

TMatrix DisplacementMatrix(const TSiteConstraints& c) {
  TMatrix b(3, c.Free.size());
  for (size_t j = 0; j < c.Moves.size(); ++j)
    for (size_t i = 0; i < 3; ++i)
      b(i, j) = static_cast<double>(c.Moves[j][i].Num) / static_cast<double>(c.Moves[j][i].Den);
  return b;
}

}  // namespace koravel
