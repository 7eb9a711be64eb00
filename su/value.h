#pragma once
#include "su/propagation.h"

namespace koravel {

// How the su of a printed value came about. Decided here, once: the report,
// the survey and the page only print it.
enum class TSuKind {
  Propagated,       // through exact derivatives from the coordinates, the cell or a full matrix
  MonteCarlo,       // from draws of the free parameters: no derivative within 3 su
  FixedBySymmetry,  // exactly 0: symmetry holds the value, though parameters with su entered it
  NoSu,             // the input gives none (an XYZ file, a .res without its .mat, a CIF without su)
};

// A value with its su and how that su came about.
struct TValue {
  double Value = 0;
  double Su = 0;  // 0 unless Kind is Propagated or MonteCarlo
  TSuKind Kind = TSuKind::NoSu;
};

// The value of a propagated quantity with the kind of its su: none where no
// parameter with an su entered it, or where an su of 0 says nothing of
// symmetry (free coordinates without su); fixed by symmetry where it is 0
// all the same; else a Monte Carlo's or the propagated one.
TValue ValueWithKind(const TPropagated& r);

}  // namespace koravel
