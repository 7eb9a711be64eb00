#include "su/propagation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace koravel {

namespace {

// Steps of the numerical derivatives, in fractional units for coordinates.
constexpr double kGradStep = 1e-6;
constexpr double kGradDivisor = 2e-6;
constexpr double kHessStep = 1e-4;
constexpr double kHessDiagDivisor = 1e-8;
constexpr double kHessOffDivisor = 4e-8;

// Below this su (ångström or degrees) the propagated value is rounding noise
// of the point functions, not an uncertainty of the structure.
constexpr double kNoiseSu = 1e-7;

// A dense square matrix, row-major.
struct TSquare {
  size_t N = 0;
  std::vector<double> Data;
  explicit TSquare(size_t n) : N(n), Data(n * n, 0.0) {}
  double& At(size_t k, size_t l) { return Data[k * N + l]; }
  double At(size_t k, size_t l) const { return Data[k * N + l]; }
};

// One site of the flattened point list.
struct TFlatSite {
  const TSymOp* Op;
  TIntVec3 Cell;
  size_t Involved;  // index into the private coordinate copies
  size_t Point;     // index of the point the site belongs to
};

// Private copies of the cell and of the coordinates of every involved atom,
// and everything one evaluation of the point function needs. A numerical
// derivative moves one or two coordinates at a time, so an evaluation
// recomputes only the sites of the atoms moved since the last one, and the
// points they belong to; everything else keeps the very numbers a full
// recomputation would give again.
struct TEvaluator {
  TCell Cell;
  std::vector<int> Atoms;   // structure index of each involved atom
  std::vector<TVec3> Frac;  // its coordinate copy, perturbed during the call
  std::vector<TFlatSite> Sites;     // in point order: point p's sites are contiguous
  std::vector<size_t> PointStart;   // first site of each point, and the end
  std::vector<TVec3> Positions;     // the point positions of the last evaluation
  const TPointFunc* Func = nullptr;

  TMat3 Ortho{};
  std::vector<TVec3> SiteCart;      // Cartesian position of each site
  std::vector<char> AtomMoved;      // coordinates changed since the last evaluation
  std::vector<char> PointMoved;
  bool CellChanged = true;

  void Move(size_t involved, int axis, double step) {
    Frac[involved][axis] += step;
    AtomMoved[involved] = 1;
  }
  void SetCell(double TCell::*member, double value) {
    Cell.*member = value;
    CellChanged = true;
  }
};

size_t InvolvedIndex(TEvaluator& ev, int atom, const TStructure& s) {
  for (size_t i = 0; i < ev.Atoms.size(); ++i)
    if (ev.Atoms[i] == atom) return i;
  ev.Atoms.push_back(atom);
  ev.Frac.push_back(s.Atoms.at(static_cast<size_t>(atom)).Frac);
  return ev.Atoms.size() - 1;
}

// Flattens the sites (point 0 first) and collects the involved atoms: images of
// one atom under different operators share its coordinates.
TEvaluator MakeEvaluator(const TStructure& s, const std::vector<TPoint>& points,
                         const TPointFunc& func) {
  TEvaluator ev;
  ev.Cell = s.Cell;
  ev.Func = &func;
  for (size_t p = 0; p < points.size(); ++p) {
    ev.PointStart.push_back(ev.Sites.size());
    for (const TSiteRef& site : points[p])
      ev.Sites.push_back({&s.SymOps[static_cast<size_t>(site.Op)], site.Cell,
                          InvolvedIndex(ev, site.Atom, s), p});
  }
  ev.PointStart.push_back(ev.Sites.size());
  ev.Positions.resize(points.size());
  ev.SiteCart.resize(ev.Sites.size());
  ev.AtomMoved.assign(ev.Atoms.size(), 1);
  ev.PointMoved.assign(points.size(), 1);
  return ev;
}

// The point function at the current copies: every point the mean of its
// sites, summed in site order from zero.
double Evaluate(TEvaluator& ev) {
  if (ev.CellChanged) {
    ev.Ortho = OrthoMatrix(ev.Cell);
    std::fill(ev.AtomMoved.begin(), ev.AtomMoved.end(), 1);
    ev.CellChanged = false;
  }
  for (size_t i = 0; i < ev.Sites.size(); ++i) {
    const TFlatSite& site = ev.Sites[i];
    if (!ev.AtomMoved[site.Involved]) continue;
    ev.SiteCart[i] = MatVec(ev.Ortho, ApplySymOp(*site.Op, ev.Frac[site.Involved], site.Cell));
    ev.PointMoved[site.Point] = 1;
  }
  std::fill(ev.AtomMoved.begin(), ev.AtomMoved.end(), 0);
  for (size_t p = 0; p < ev.Positions.size(); ++p) {
    if (!ev.PointMoved[p]) continue;
    ev.PointMoved[p] = 0;
    TVec3 sum{0, 0, 0};
    const size_t begin = ev.PointStart[p], end = ev.PointStart[p + 1];
    for (size_t i = begin; i < end; ++i)
      for (int k = 0; k < 3; ++k) sum[k] += ev.SiteCart[i][k];
    const int count = static_cast<int>(end - begin);
    if (count >= 1)
      for (int k = 0; k < 3; ++k) sum[k] /= count;
    ev.Positions[p] = sum;
  }
  return (*ev.Func)(ev.Positions);
}

// A refined coordinate: involved atom, axis, and where its variance comes from.
struct TParam {
  size_t Involved;
  int Axis;
  int Index;  // covariance-source parameter index
  double Su;  // the coordinate's own su when there is no covariance source
};

void AddStep(TEvaluator& ev, const TParam& param, double step) {
  ev.Move(param.Involved, param.Axis, step);
}

// A not-a-number variance or su is kept as a parameter so that it shows in the result.
bool Refined(double variance) { return variance > 0 || std::isnan(variance); }

// The refined coordinates of the involved atoms, atom by atom, x, y, z. With a
// covariance source its unrefined coordinates are counted in `fixedCount`.
std::vector<TParam> CollectParameters(const TEvaluator& ev, const TStructure& s,
                                      const TCovSource* cov, int& fixedCount) {
  std::vector<TParam> params;
  for (size_t i = 0; i < ev.Atoms.size(); ++i) {
    const int atom = ev.Atoms[i];
    for (int axis = 0; axis < 3; ++axis) {
      if (cov) {
        const int p = cov->ParamIndex(atom, axis);
        if (p < 0) {
          ++fixedCount;
          continue;
        }
        if (Refined(cov->Covariance(p, p))) params.push_back({i, axis, p, 0.0});
      } else {
        const double su = s.Atoms.at(static_cast<size_t>(atom)).FracSu[axis];
        if (Refined(su)) params.push_back({i, axis, -1, su});
      }
    }
  }
  return params;
}

TSquare CovarianceMatrix(const std::vector<TParam>& params, const TCovSource* cov) {
  TSquare c(params.size());
  for (size_t k = 0; k < params.size(); ++k) {
    if (!cov) {
      c.At(k, k) = params[k].Su * params[k].Su;
      continue;
    }
    for (size_t l = 0; l < params.size(); ++l)
      c.At(k, l) = cov->Covariance(params[k].Index, params[l].Index);
  }
  return c;
}

// Central differences; each copy is restored by adding the steps back.
std::vector<double> Gradient(TEvaluator& ev, const std::vector<TParam>& params) {
  std::vector<double> g(params.size());
  for (size_t k = 0; k < params.size(); ++k) {
    AddStep(ev, params[k], kGradStep);
    const double fPlus = Evaluate(ev);
    AddStep(ev, params[k], -2 * kGradStep);
    const double fMinus = Evaluate(ev);
    AddStep(ev, params[k], kGradStep);
    g[k] = (fPlus - fMinus) / kGradDivisor;
  }
  return g;
}

double LinearVariance(const std::vector<double>& g, const TSquare& c) {
  double v = 0;
  for (size_t k = 0; k < g.size(); ++k)
    for (size_t l = 0; l < g.size(); ++l) v += g[k] * g[l] * c.At(k, l);
  return v < 0 ? 0 : v;
}

TSquare Hessian(TEvaluator& ev, const std::vector<TParam>& params, double f0) {
  const double h = kHessStep;
  TSquare hess(params.size());
  for (size_t k = 0; k < params.size(); ++k) {
    AddStep(ev, params[k], h);
    const double fPlus = Evaluate(ev);
    AddStep(ev, params[k], -2 * h);
    const double fMinus = Evaluate(ev);
    AddStep(ev, params[k], h);
    hess.At(k, k) = (fPlus - 2 * f0 + fMinus) / kHessDiagDivisor;
  }
  for (size_t k = 0; k < params.size(); ++k) {
    for (size_t l = k + 1; l < params.size(); ++l) {
      AddStep(ev, params[k], h);
      AddStep(ev, params[l], h);
      const double fPP = Evaluate(ev);
      AddStep(ev, params[l], -2 * h);
      const double fPM = Evaluate(ev);
      AddStep(ev, params[k], -2 * h);
      const double fMM = Evaluate(ev);
      AddStep(ev, params[l], 2 * h);
      const double fMP = Evaluate(ev);
      AddStep(ev, params[k], h);
      AddStep(ev, params[l], -h);
      hess.At(k, l) = (fPP - fPM - fMP + fMM) / kHessOffDivisor;
      hess.At(l, k) = hess.At(k, l);
    }
  }
  return hess;
}

// Variance and mean of the quadratic term ½·δᵀHδ for normal errors δ with
// covariance C: ½·tr((HC)²) and ½·tr(HC).
void SecondOrderTerms(const TSquare& hess, const TSquare& c, double& v2, double& shift) {
  const size_t n = c.N;
  TSquare p(n);
  // P[k][l] = Σ_m H[k][m]·C[m][l], each sum taken in ascending m.
  for (size_t k = 0; k < n; ++k)
    for (size_t m = 0; m < n; ++m) {
      const double hkm = hess.At(k, m);
      for (size_t l = 0; l < n; ++l) p.At(k, l) += hkm * c.At(m, l);
    }
  double sum = 0;
  double trace = 0;
  for (size_t k = 0; k < n; ++k)
    for (size_t l = 0; l < n; ++l) sum += p.At(k, l) * p.At(l, k);
  for (size_t k = 0; k < n; ++k) trace += p.At(k, k);
  v2 = 0.5 * sum;
  if (v2 < 0) v2 = 0;
  shift = 0.5 * trace;
}

// A cell parameter with its su, the step of its derivative and the divisor.
struct TCellParam {
  double TCell::*Value;
  double TCell::*Su;
  double Step;
  double Divisor;
};

// Lengths in ångström, angles in degrees; the order a, alpha, b, beta, c, gamma.
constexpr TCellParam kCellParams[] = {
    {&TCell::A, &TCell::SuA, 1e-5, 2e-5},         {&TCell::Alpha, &TCell::SuAlpha, 1e-4, 2e-4},
    {&TCell::B, &TCell::SuB, 1e-5, 2e-5},         {&TCell::Beta, &TCell::SuBeta, 1e-4, 2e-4},
    {&TCell::C, &TCell::SuC, 1e-5, 2e-5},         {&TCell::Gamma, &TCell::SuGamma, 1e-4, 2e-4},
};

// First-order variance from the cell parameters, each independent of the
// others and of the coordinates. `entered` tells whether any had an su.
double CellVariance(TEvaluator& ev, const TCell& cell, bool& entered) {
  double v = 0;
  for (const TCellParam& param : kCellParams) {
    const double su = cell.*param.Su;
    if (!(su > 0)) continue;
    entered = true;
    ev.SetCell(param.Value, cell.*param.Value + param.Step);
    const double fPlus = Evaluate(ev);
    ev.SetCell(param.Value, cell.*param.Value - param.Step);
    const double fMinus = Evaluate(ev);
    ev.SetCell(param.Value, cell.*param.Value);
    const double term = (fPlus - fMinus) / param.Divisor * su;
    v += term * term;
  }
  return v;
}

// The angle sum remembering its angles: a derivative step moves one or two
// points, and only the angles at those points are computed anew. The sum is
// added up in the same order as PointAngleSum, so it is the same number.
class TAngleSumMemo {
 public:
  double operator()(const std::vector<TVec3>& p) {
    const size_t n = p.size();
    if (Last_.size() != n) {
      Last_.assign(n, TVec3{});
      Moved_.assign(n, 1);
      Angles_.assign(n * n, 0.0);
    } else {
      for (size_t i = 0; i < n; ++i)
        Moved_[i] = std::memcmp(p[i].data(), Last_[i].data(), sizeof(TVec3)) != 0;
    }
    double sum = 0;
    for (size_t i = 1; i < n; ++i)
      for (size_t j = i + 1; j < n; ++j) {
        double& angle = Angles_[i * n + j];
        if (Moved_[0] || Moved_[i] || Moved_[j]) angle = AngleAt(p[i], p[0], p[j]);
        sum += angle;
      }
    Last_ = p;
    return sum;
  }

 private:
  std::vector<TVec3> Last_;   // the points of the last call
  std::vector<char> Moved_;   // which of them differ from that call
  std::vector<double> Angles_;
};

// An su that the arithmetic alone produced (a value fixed by symmetry) is 0.
void DropRoundingNoise(TPropagated& result) {
  if (!(result.Su < kNoiseSu)) return;
  result.Su = 0;
  result.SuLinear = 0;
  result.SuSecondOrder = 0;
  result.Shift = 0;
}

}  // namespace

double AngleAt(const TVec3& a, const TVec3& v, const TVec3& b) {
  const TVec3 u = Minus(a, v);
  const TVec3 w = Minus(b, v);
  if (Dot(u, u) == 0 || Dot(w, w) == 0) return 0;
  // atan2 of sine and cosine parts keeps full precision near 0 and 180 degrees,
  // where the arc cosine of a rounded cosine loses half of the digits.
  const TVec3 n = Cross(u, w);
  return std::atan2(std::sqrt(Dot(n, n)), Dot(u, w)) * kDegPerRad;
}

double PointDistance(const std::vector<TVec3>& p) { return Norm(Minus(p[1], p[0])); }

double PointAngle(const std::vector<TVec3>& p) { return AngleAt(p[1], p[0], p[2]); }

double PointAngleSum(const std::vector<TVec3>& p) {
  double sum = 0;
  for (size_t i = 1; i < p.size(); ++i)
    for (size_t j = i + 1; j < p.size(); ++j) sum += AngleAt(p[i], p[0], p[j]);
  return sum;
}

TPropagated Propagate(const TStructure& s, const TCovSource* cov, const std::vector<TPoint>& points,
                      const TPointFunc& func, bool secondOrder) {
  TPropagated result;
  TEvaluator ev = MakeEvaluator(s, points, func);
  const double f0 = Evaluate(ev);
  result.Value = f0;

  const std::vector<TParam> params = CollectParameters(ev, s, cov, result.FixedCount);
  const TSquare c = CovarianceMatrix(params, cov);
  const double vLin = LinearVariance(Gradient(ev, params), c);
  double v2 = 0;
  if (secondOrder) SecondOrderTerms(Hessian(ev, params, f0), c, v2, result.Shift);
  bool cellEntered = false;
  const double vCell = CellVariance(ev, s.Cell, cellEntered);

  result.SuLinear = std::sqrt(vLin + vCell);
  result.SuSecondOrder = std::sqrt(v2);
  result.Su = std::sqrt(vLin + vCell + v2);
  result.ParametersEntered = !params.empty() || cellEntered;
  DropRoundingNoise(result);
  return result;
}

TPropagated AngleSumWithSu(const TStructure& s, const TCovSource* cov, const std::vector<TPoint>& points) {
  return Propagate(s, cov, points, TAngleSumMemo(), true);
}

}  // namespace koravel
