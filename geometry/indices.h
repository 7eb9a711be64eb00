#pragma once
#include <optional>
#include <string>
#include <vector>

#include "geometry/sphere.h"

namespace koravel {

// The coordination-geometry indices of a centre with their su, for three to
// six ligands (a centroid counts as a ligand). Each index is a function of
// the points (central atom first, then the ligands in report order), written
// once for values and exact derivatives.

// The exact tetrahedral angle arccos(-1/3) = 109.4712206...°, not 109.5.
double TetrahedralAngle();

struct TIndex {
  std::string Name;     // "tau4", "Sigma", ...
  std::string Unit;     // "", "A", "deg", "deg2"
  int Decimals = 4;     // when there is no su
  TPropagated Value;
  std::optional<TMonteCarlo> MonteCarlo;  // when asked for
  long long Draws = 0;  // Monte Carlo draws behind su and shift (a nearly linear angle); 0: propagated
};

// A quantity whose sign or closeness to zero decides how an index is formed:
// the gap between the angles an index chooses and the next (the two largest
// for tau, trans against cis for Sigma), or the argument of a kink (beta -
// alpha in tau4' and tau5, 90 - phi in Sigma). Within 3 su of zero the
// first-order su of the indices it names is not reliable.
struct TIndexGap {
  enum TKind { Choice, Kink };
  TKind Kind = Choice;
  std::string What;                  // "beta - alpha", "N1-Fe1-N2 - 90", ...
  std::vector<std::string> Indices;  // the indices it affects
  double Value = 0;
  double Su = 0;
};

struct TIndices {
  std::vector<TIndex> List;
  std::vector<TIndexGap> Flagged;  // the gaps within 3 su of zero
  std::string Problem;             // why an index is missing (no trans pairs), or ""
};

// The indices of the coordination number (none for other numbers), with a
// Monte Carlo check of `mcDraws` draws (0: none) for each. An index that
// contains one of the `nearlyLinear` angles takes its su and shift from
// kNearlyLinearDraws Monte Carlo draws, as the angle sum does.
TIndices ComputeIndices(const TInput& in, const TParameters& params, const TCentre& centre,
                        const std::vector<TLigand>& ligands,
                        const std::vector<TNearlyLinear>& nearlyLinear, long long mcDraws);

}  // namespace koravel
