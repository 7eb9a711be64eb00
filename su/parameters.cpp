#include "su/parameters.h"

#include <algorithm>

#include "crystal/group_ops.h"
#include "crystal/site_constraints.h"
#include "crystal/site_symmetry.h"

namespace koravel {

namespace {

TAtomFreedom AtomFreedom(const TStructure& s, const std::vector<TSymOp>& distinct, int atom,
                         const TCovSource* matrix, std::vector<TFreeParameter>& list) {
  const TAtom& a = s.Atoms[static_cast<size_t>(atom)];
  std::vector<int> preferred;
  for (int axis = 0; axis < 3; ++axis)
    if (!matrix || matrix->ParamIndex(atom, axis) >= 0) preferred.push_back(axis);
  const TSiteConstraints site = SiteConstraints(SiteSymmetryOps(a.Frac, distinct), preferred);
  TAtomFreedom freedom;
  freedom.B = DisplacementMatrix(site);
  for (int axis : site.Free) {
    TFreeParameter param;
    param.Atom = atom;
    param.Axis = axis;
    param.Su = a.FracSu[static_cast<size_t>(axis)];
    if (matrix) param.MatIndex = matrix->ParamIndex(atom, axis);
    freedom.Params.push_back(static_cast<int>(list.size()));
    list.push_back(param);
  }
  for (int axis = 0; axis < 3; ++axis) {
    if (std::find(site.Free.begin(), site.Free.end(), axis) != site.Free.end()) continue;
    const bool moves = std::any_of(site.Moves.begin(), site.Moves.end(),
                                   [axis](const auto& move) { return move[axis].Num != 0; });
    ++(moves ? freedom.Tied : freedom.Fixed);
  }
  return freedom;
}

}  // namespace

double TParameters::Covariance(int i, int j) const {
  const TFreeParameter& p = List[static_cast<size_t>(i)];
  const TFreeParameter& q = List[static_cast<size_t>(j)];
  if (p.Kind != q.Kind) return 0;
  if (p.Kind == TFreeParameter::Coordinate && Matrix) return Matrix->Covariance(p.MatIndex, q.MatIndex);
  return i == j ? p.Su * p.Su : 0;
}

TParameters FreeParameters(const TStructure& s, const TCovSource* matrix,
                           const std::vector<char>& wanted) {
  TParameters params;
  params.Matrix = matrix;
  const std::vector<TSymOp> distinct = DistinctSymOps(s.SymOps);
  for (size_t atom = 0; atom < s.Atoms.size(); ++atom)
    params.Atoms.push_back(wanted.empty() || wanted[atom]
                               ? AtomFreedom(s, distinct, static_cast<int>(atom), matrix, params.List)
                               : TAtomFreedom{});

  std::vector<TMat3> rotations;
  for (const TSymOp& op : distinct) rotations.push_back(RotationMatrix(op));
  const TParametrisation cell =
      Parametrise(CellConstraints(s.Cell, rotations), {0, 1, 2, 3, 4, 5});
  params.CellB = cell.B;
  const std::array<double, 6> su = CellParameterSu(s.Cell);
  for (int k : cell.Free) {
    TFreeParameter param;
    param.Kind = TFreeParameter::Cell;
    param.Axis = k;
    param.Su = su[static_cast<size_t>(k)];
    params.CellParams.push_back(static_cast<int>(params.List.size()));
    params.List.push_back(param);
  }
  for (int k = 0; k < 6; ++k) {
    if (std::find(cell.Free.begin(), cell.Free.end(), k) != cell.Free.end()) continue;
    for (size_t j = 0; j < cell.Free.size(); ++j)
      if (cell.B(static_cast<size_t>(k), j) != 0 && su[static_cast<size_t>(cell.Free[j])] > 0) {
        ++params.CellTied;
        break;
      }
  }
  return params;
}

}  // namespace koravel
