#pragma once
#include <array>
#include <vector>

#include "base/matrix.h"
#include "crystal/symop.h"

namespace koravel {

// An exact fraction Num/Den in lowest terms, Den > 0.
struct TRational {
  long long Num = 0;
  long long Den = 1;

  bool operator==(const TRational&) const = default;
};

// How an atom on a special position may move: a displacement d keeps it
// there when d = B·p, p the shifts of its free coordinates (the coordinate
// triplets of the Wyckoff positions in International Tables Vol. A, such as
// x,2x,z: y moves twice as far as x).
struct TSiteConstraints {
  std::vector<int> Free;                        // free coordinates 0..2, in the preferred order
  std::vector<std::array<TRational, 3>> Moves;  // column j of B: shift of x, y, z per unit of Free[j]
};

// The constraints of a site symmetry `siteOps` (SiteSymmetryOps): (W - I)·d
// = 0 for the rotation W of each operator, the rows of all W - I reduced
// exactly, in integers, to row echelon form (as cctbx's site_symmetry does).
// The free coordinates are chosen among `preferred` (0..2, most preferred
// first), which stay free as long as the constraints allow; a coordinate not
// in it follows the free ones or, where it could only move on its own, stays
// where it is. A mirror normal to b fixes y; on (x,x,x) one coordinate moves
// all three; on (x,2x,z) y = 2x, or x = y/2 when y is preferred.
TSiteConstraints SiteConstraints(const std::vector<TSymOp>& siteOps,
                                 const std::vector<int>& preferred);

// B (3 × Free.size()) in doubles.
TMatrix DisplacementMatrix(const TSiteConstraints& c);

}  // namespace koravel
