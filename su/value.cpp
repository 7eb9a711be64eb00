#include "su/value.h"

namespace koravel {

TValue ValueWithKind(const TPropagated& r) {
  if (!r.ParametersEntered || (r.Su == 0 && !HeldBySymmetry(r))) return {r.Value, 0, TSuKind::NoSu};
  if (r.Su == 0) return {r.Value, 0, TSuKind::FixedBySymmetry};
  return {r.Value, r.Su, r.Draws > 0 ? TSuKind::MonteCarlo : TSuKind::Propagated};
}

}  // namespace koravel
