#pragma once
#include <functional>
#include <utility>
#include <vector>

#include "crystal/structure.h"
#include "su/dual.h"
#include "su/monte_carlo.h"
#include "su/parameters.h"
#include "su/point_model.h"
#include "su/vector_math.h"

namespace koravel {

// A point (TPoint): the unit-weight mean of the Cartesian positions of its
// sites, one site for an atom, the member sites for a centroid.

// A scalar function of the Cartesian positions of points (in list order),
// written once for both scalar types: double for values and Monte Carlo
// draws, TDual for exact derivatives.
struct TQuantity {
  std::function<double(const std::vector<TVec3Of<double>>&)> Plain;
  std::function<TDual(const std::vector<TVec3Of<TDual>>&)> Dual;
};

template <typename F>
TQuantity MakeQuantity(F f) {
  return {[f](const std::vector<TVec3Of<double>>& p) { return f(p); },
          [f](const std::vector<TVec3Of<TDual>>& p) { return f(p); }};
}

// A quantity with its propagated su.
struct TPropagated {
  double Value = 0;          // at the given coordinates and cell
  double Su = 0;             // sqrt(V1 + V2)
  double SuLinear = 0;       // sqrt(V1), first order (coordinates and cell)
  double SuSecondOrder = 0;  // sqrt(V2)
  double Shift = 0;          // expectation shift of the second-order term
  int FixedCount = 0;        // coordinates involved that cannot move
  int TiedCount = 0;         // coordinates involved that move with another one's parameter
  int CellTiedCount = 0;     // cell parameters tied to a free one with an su
  // True when a parameter with an su entered: an su of 0 then means "fixed
  // by symmetry", not "no su given".
  bool ParametersEntered = false;
  // Coordinates that are free parameters entered, none of them with an su
  // (a CIF that gives none): a zero su then says nothing of symmetry.
  bool FreeWithoutSu = false;
  long long Draws = 0;       // Monte Carlo draws behind Su and Shift; 0: propagated
};

// An su of exactly 0 that symmetry holds (a sum of 360 on a mirror plane):
// parameters with su entered, and the coordinates were not all without su.
bool HeldBySymmetry(const TPropagated& r);

// The share of the variance that the second-order term carries.
double SecondOrderShare(const TPropagated& r);

// Near an extremum the first derivatives vanish and the second-order term
// carries the su: a tenth of the variance or more is worth a note.
bool NearExtremum(const TPropagated& r);

// Below these su a propagated angle (degrees) or distance (ångström) is
// rounding noise of the arithmetic — a value fixed by symmetry, or computed
// from coordinates that a file rounds — not an uncertainty of the structure.
constexpr double kAngleSuFloor = 5e-5;
constexpr double kDistanceSuFloor = 5e-6;

// `r` with its su, its parts and its shift zero when the su lies below `floor`.
TPropagated WithSuFloor(TPropagated r, double floor);

// Several quantities of the same points at once (one evaluation), each to
// first order.
using TVectorQuantity = std::function<std::vector<TDual>(const std::vector<TVec3Of<TDual>>&)>;

// What is asked of one quantity.
struct TSuRequest {
  TQuantity Quantity;
  bool SecondOrder = false;  // smooth with an extremum in reach: second-order term and shift
  // It has no derivative within 3 su — it holds an angle near 180 or 0 deg,
  // or is the lower of two functions that cross there: its su and shift
  // come from a Monte Carlo.
  bool FromMonteCarlo = false;
  double SuFloor = 0;        // kAngleSuFloor, kDistanceSuFloor or none
};

// Quantities of a set of points with their su, propagated from the
// covariance C of the free parameters the points depend on through exact
// derivatives: the first-order variance gᵀCg and, with `secondOrder`, the
// second-order variance ½ tr((HC)²) and expectation shift ½ tr(HC) (g, H:
// gradient and Hessian with respect to the free parameters). The Jacobian of
// the points and C are built once for all quantities. An input without su
// (`hasSu` false) gives values alone.
class TPropagator {
 public:
  TPropagator(const TStructure& s, const TParameters& params, std::vector<TPoint> points, bool hasSu);

  // Each quantity with its su; those FromMonteCarlo take theirs
  // from one Monte Carlo run together (TPointSampler::RunUntilStable).
  std::vector<TPropagated> Estimate(const std::vector<TSuRequest>& requests) const;

  // Every value of a vector quantity, to first order.
  std::vector<TPropagated> Each(const TVectorQuantity& quantity, double suFloor = 0) const;

  // A quantity of some of the points (`which`, in that order), to first
  // order: its derivatives are taken over those points alone, so that a
  // sphere of thousands of neighbours stays cheap.
  TPropagated OfPoints(const std::vector<size_t>& which, const TQuantity& quantity, double suFloor = 0) const;

  // A check of the su by exactly `draws` Monte Carlo draws (nothing without su).
  std::vector<TMonteCarlo> MonteCarlo(const std::vector<TQuantity>& quantities, long long draws) const;

  bool HasSu() const { return HasSu_; }
  size_t PointCount() const { return Points_.size(); }

 private:
  std::vector<TVec3Of<TDual>> Variables(bool secondOrder) const;
  TPropagated FromDerivatives(const TDual& f, bool secondOrder) const;
  TPointSampler Sampler() const;

  const TStructure& S_;
  const TParameters& Params_;
  std::vector<TPoint> Points_;
  TPointModel Model_;
  TMatrix J_, C_;
  // The non-zero entries of J by row and by column, and of C by row, as
  // (index, value): a coordinate depends on its atom's few parameters and the
  // cell's, and without a full matrix C is nearly diagonal.
  using TSparse = std::vector<std::vector<std::pair<size_t, double>>>;
  TSparse JRows_, JColumns_, CRows_;
  bool HasSu_ = true;
  bool Entered_ = false;
  bool FreeWithoutSu_ = false;
  int CellTied_ = 0;
};

// One quantity of one set of points, from an input with su.
TPropagated Propagate(const TStructure& s, const TParameters& params,
                      const std::vector<TPoint>& points, const TQuantity& quantity,
                      bool secondOrder);

}  // namespace koravel
