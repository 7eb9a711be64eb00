#include "su/point_model.h"

#include <map>

#include "crystal/cell.h"
#include "su/dual.h"

namespace koravel {

TCellDerivatives CellDerivatives(const TStructure& s, const TParameters& params) {
  const std::array<double, 6> p0 = CellParameters(s.Cell);
  std::array<TDual, 6> p;
  for (size_t k = 0; k < 6; ++k) p[k] = TDual::Variable(p0[k], k, 6);
  const auto m = OrthoMatrixOf(p);
  TCellDerivatives d;
  d.M = OrthoMatrix(s.Cell);
  const size_t n = params.CellParams.size();
  d.D1.assign(n, TMat3{});
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      const TDual& e = m[r][c];
      if (e.Count() == 0) continue;
      for (size_t i = 0; i < n; ++i)
        for (size_t k = 0; k < 6; ++k) d.D1[i][r][c] += e.G[k] * params.CellB(k, i);
    }
  return d;
}

TPointModel BuildPointModel(const TStructure& s, const TParameters& params, const std::vector<TPoint>& points,
                  const TMat3& ortho) {
  TPointModel model;
  std::map<int, size_t> atomSlot;  // atom -> index of its first local parameter
  for (size_t p = 0; p < points.size(); ++p) {
    TVec3 frac{0, 0, 0}, cart{0, 0, 0};
    for (const TSiteRef& site : points[p]) {
      const TVec3 f = SitePosition(s, site);
      frac = Plus(frac, f);
      cart = Plus(cart, MatVec(ortho, f));
      if (atomSlot.count(site.Atom)) continue;
      const TAtomFreedom& freedom = params.Atoms[static_cast<size_t>(site.Atom)];
      atomSlot[site.Atom] = model.Params.size();
      model.Fixed += freedom.Fixed;
      model.Tied += freedom.Tied;
      for (int global : freedom.Params) {
        TLocalParameter lp;
        lp.Global = global;
        lp.FracShift.assign(points.size(), TVec3{0, 0, 0});
        model.Params.push_back(std::move(lp));
      }
    }
    const double count = static_cast<double>(points[p].size());
    for (int k = 0; k < 3; ++k) {
      frac[k] /= count;
      cart[k] /= count;
    }
    model.Frac.push_back(frac);
    model.Cart.push_back(cart);
  }
  // How each point's mean moves with each coordinate parameter: the atom's
  // displacement B·e_j taken through every site's rotation.
  for (size_t p = 0; p < points.size(); ++p) {
    const double weight = 1.0 / static_cast<double>(points[p].size());
    for (const TSiteRef& site : points[p]) {
      const TAtomFreedom& freedom = params.Atoms[static_cast<size_t>(site.Atom)];
      const TMat3 w = RotationMatrix(s.SymOps[static_cast<size_t>(site.Op)]);
      const size_t first = atomSlot[site.Atom];
      for (size_t j = 0; j < freedom.Params.size(); ++j) {
        const TVec3 b{freedom.B(0, j), freedom.B(1, j), freedom.B(2, j)};
        TVec3& shift = model.Params[first + j].FracShift[p];
        shift = Plus(shift, Scaled(MatVec(w, b), weight));
      }
    }
  }
  for (size_t i = 0; i < params.CellParams.size(); ++i) {
    TLocalParameter lp;
    lp.Global = params.CellParams[i];
    lp.IsCell = true;
    lp.CellIndex = i;
    lp.FracShift.assign(points.size(), TVec3{0, 0, 0});
    model.Params.push_back(std::move(lp));
  }
  return model;
}

TMatrix PointJacobian(const TPointModel& model, const TCellDerivatives& cell) {
  const size_t n = model.Cart.size(), m = model.Params.size();
  TMatrix j(3 * n, m);
  for (size_t q = 0; q < m; ++q) {
    const TLocalParameter& lp = model.Params[q];
    for (size_t p = 0; p < n; ++p) {
      const TVec3 d = lp.IsCell ? MatVec(cell.D1[lp.CellIndex], model.Frac[p])
                                : MatVec(cell.M, lp.FracShift[p]);
      for (int k = 0; k < 3; ++k) j(3 * p + k, q) = d[k];
    }
  }
  return j;
}

}  // namespace koravel
