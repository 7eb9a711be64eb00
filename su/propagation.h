#pragma once
#include <functional>
#include <vector>

#include "crystal/covariance.h"
#include "crystal/structure.h"

namespace koravel {

// A point: the unit-weight mean of the Cartesian positions of its sites, one
// site for an atom, the member sites for a centroid.
using TPoint = std::vector<TSiteRef>;

// A geometric quantity of the Cartesian positions of the points, in list order.
using TPointFunc = std::function<double(const std::vector<TVec3>&)>;

// A quantity with its propagated su.
struct TPropagated {
  double Value = 0;          // the quantity at the given coordinates and cell
  double Su = 0;             // sqrt(Vlin + Vcell + V2)
  double SuLinear = 0;       // sqrt(Vlin + Vcell)
  double SuSecondOrder = 0;  // sqrt(V2)
  double Shift = 0;          // expectation shift of the second-order term
  int FixedCount = 0;        // coordinates the covariance source calls fixed
  // True when at least one coordinate or cell parameter with an su entered the
  // propagation: an su of 0 then means "fixed by symmetry", not "no su given".
  bool ParametersEntered = false;
};

// The angle at vertex v between a and b in degrees, accurate also near 0 and
// 180; 0 when a or b coincides with v.
double AngleAt(const TVec3& a, const TVec3& v, const TVec3& b);

// The point functions: |P1 - P0|; the angle P1-P0-P2; the sum of the angles
// Pi-P0-Pj over all pairs of ligand points i < j, in the order (1,2), (1,3), ...
double PointDistance(const std::vector<TVec3>& points);
double PointAngle(const std::vector<TVec3>& points);
double PointAngleSum(const std::vector<TVec3>& points);

// The quantity `func` of the points with its su, propagated from the su of
// the coordinates (or the covariance source, when given) and of the cell;
// with `secondOrder` the second-order variance and expectation shift too.
TPropagated Propagate(const TStructure& s, const TCovSource* cov, const std::vector<TPoint>& points,
                      const TPointFunc& func, bool secondOrder);

// The angle sum of points[1..] at points[0], second order included.
TPropagated AngleSumWithSu(const TStructure& s, const TCovSource* cov,
                           const std::vector<TPoint>& points);

}  // namespace koravel
