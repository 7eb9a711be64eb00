#pragma once
#include <functional>
#include <vector>

#include "geom/cell.h"
#include "geom/cov_source.h"
#include "geom/symop.h"
#include "geom/vec3.h"

namespace koravel {

// A point as the unit-weight mean of the Cartesian positions of its sites:
// one site for an atom, the member sites for a centroid.
using TPointDef = std::vector<TSiteRef>;
using TPointList = std::vector<TPointDef>;

// A geometric quantity of the Cartesian positions of the points, in list order.
using TPointFunc = std::function<double(const std::vector<TVec3>&)>;

// Result of the su propagation.
struct TSumResult {
  double Value = 0;          // the quantity at the given coordinates and cell
  double Su = 0;             // sqrt(Vlin + Vcell + V2)
  double SuLinear = 0;       // sqrt(Vlin + Vcell)
  double SuSecondOrder = 0;  // sqrt(V2)
  double Shift = 0;          // expectation shift of the second-order term
  double SuIndependent = 0;  // filled by the report: sqrt(sum of angle su^2)
  int FixedCount = 0;        // coordinates the covariance source calls fixed
  // True when at least one coordinate or cell parameter with an su entered the
  // propagation: an su of 0 then means "fixed by symmetry", not "no su given".
  bool ParametersEntered = false;
};

TPointDef PointOfSite(const TSiteRef& site);

// The angle at vertex v between a and b in degrees, accurate also near 0 and
// 180; 0 when a or b coincides with v.
double AngleAt(const TVec3& a, const TVec3& v, const TVec3& b);

// The point functions: |P1 - P0|; the angle P1-P0-P2; the sum of the angles
// Pi-P0-Pj over all pairs of ligand points i < j, in the order (1,2), (1,3), ...
double PointDistance(const std::vector<TVec3>& points);
double PointAngle(const std::vector<TVec3>& points);
double PointAngleSum(const std::vector<TVec3>& points);

double DistanceWithSu(const std::vector<TVec3>& frac, const std::vector<TVec3>& fracSu,
                      const TPointDef& a, const TPointDef& b, const TCell& cell,
                      const TCovSource* cov, double& su, int& fixedCount);

double AngleWithSu(const std::vector<TVec3>& frac, const std::vector<TVec3>& fracSu,
                   const TPointDef& a, const TPointDef& m, const TPointDef& b,
                   const TCell& cell, const TCovSource* cov, double& su, int& fixedCount);

double AngleSumWithSu(const std::vector<TVec3>& frac, const std::vector<TVec3>& fracSu,
                      const TPointDef& centre, const TPointList& ligands,
                      const TCell& cell, const TCovSource* cov, TSumResult& result);

double PropagateSu(const std::vector<TVec3>& frac, const std::vector<TVec3>& fracSu,
                   const TPointList& points, const TCell& cell, const TCovSource* cov,
                   const TPointFunc& func, bool secondOrder, TSumResult& result);

}  // namespace koravel
