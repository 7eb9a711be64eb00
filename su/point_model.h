#pragma once
#include <vector>

#include "base/matrix.h"
#include "crystal/structure.h"
#include "su/parameters.h"

namespace koravel {

using TPoint = std::vector<TSiteRef>;

// The orthogonalisation matrix and its derivatives with respect to the free
// cell parameters q: M and ∂M/∂q_i.
struct TCellDerivatives {
  TMat3 M{};
  std::vector<TMat3> D1;  // per free cell parameter
};

TCellDerivatives CellDerivatives(const TStructure& s, const TParameters& params);

// One free parameter a set of points depends on, and how each point's
// fractional mean moves with it.
struct TLocalParameter {
  int Global = 0;                // index into TParameters::List
  bool IsCell = false;
  size_t CellIndex = 0;          // for a cell parameter: its place among the free cell parameters
  std::vector<TVec3> FracShift;  // per point: ∂F/∂q (coordinates; zero for the cell)
};

// Points as functions of the free parameters: the fractional mean F of each
// point's sites (linear in the coordinates) and its Cartesian position X = M·F.
struct TPointModel {
  std::vector<TVec3> Frac;  // F per point
  std::vector<TVec3> Cart;  // X per point, the mean of its sites' Cartesian positions
  std::vector<TLocalParameter> Params;
  int Fixed = 0, Tied = 0;  // coordinates of the atoms involved
};

TPointModel BuildPointModel(const TStructure& s, const TParameters& params,
                            const std::vector<TPoint>& points, const TMat3& ortho);

// ∂X_p/∂q for every point p (3 rows each) and parameter q of the model.
TMatrix PointJacobian(const TPointModel& model, const TCellDerivatives& cell);

}  // namespace koravel
