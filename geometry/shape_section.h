#pragma once
#include <array>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "geometry/shape_measure.h"
#include "su/propagation.h"

namespace koravel {

// The continuous shape measure of a sphere against one reference shape.
struct TShapeValue {
  const TIdealPolyhedron* Shape = nullptr;
  TPropagated Value;
  // Another assignment lies within 3 su of the best: the measure is the
  // lower of several functions there, and its su comes from a Monte Carlo.
  bool CloseAssignment = false;
  std::optional<TMonteCarlo> MonteCarlo;  // when asked for (--mc)
};

// The position of a sphere relative to the minimal-distortion path between
// shapes A and B (Casanova et al., J. Am. Chem. Soc. 126 (2004) 1755; Cirera,
// Ruiz and Alvarez, Chem. Eur. J. 12 (2006) 3162), with θ_AB the angle of
// ideal B from ideal A, arcsin(√S_A(B)/10):
//   Deviation = 100 ((arcsin(√S(A)/10) + arcsin(√S(B)/10)) / θ_AB − 1)  (%)
//   Coordinate = 100 arcsin(√S(A)/10) / θ_AB                          (%)
struct TPathValue {
  const TIdealPolyhedron* A = nullptr;
  const TIdealPolyhedron* B = nullptr;
  TPropagated Deviation, Coordinate;
  std::optional<TMonteCarlo> DeviationMonteCarlo, CoordinateMonteCarlo;  // --mc
};

struct TShapeSection {
  std::vector<TShapeValue> Shapes;  // every shape of the ligand count, ascending by measure
  std::vector<TPathValue> Paths;    // the pairs whose shapes both have the ligand count
};

// The shape measures of the sphere's points (central atom first) with su
// from `propagate`, and the paths; `mcDraws` > 0 adds a Monte Carlo check.
TShapeSection MeasureShapes(const TPropagator& propagate, const std::vector<TVec3>& points,
                            long long mcDraws);

// The pairs of shapes joined by a minimal-distortion path: the spin-state
// and Bailar-twist paths of four-, five- and six-coordinate centres.
const std::vector<std::pair<std::string_view, std::string_view>>& ShapePaths();

// The measure of ideal B relative to A, S_A(B) (16.737 for OC-6 and TPR-6).
double IdealMeasure(const TIdealPolyhedron& a, const TIdealPolyhedron& b);

// The minimal-distortion path from A to B as points (S(A), S(B)): along it
// arcsin(√S(A)/10) + arcsin(√S(B)/10) = θ_AB.
std::vector<std::array<double, 2>> MinimalDistortionPath(const TIdealPolyhedron& a, const TIdealPolyhedron& b,
                                                        int steps);

// The reference shape of that name.
const TIdealPolyhedron& IdealPolyhedron(std::string_view name);

}  // namespace koravel
