#include "geometry/sphere.h"

#include <algorithm>
#include <cmath>

namespace koravel {

namespace {

// Angles within this many degrees are equal: angles that symmetry makes
// equal (the 90s of an octahedron) differ only in rounding noise, which must
// not decide their order, or the table would differ between platforms.
constexpr double kEqualAngle = 1e-6;

// Stable insertion sort, largest angle first: an angle moves before every
// earlier one that is smaller, so equal angles keep the pair order.
void SortDescending(std::vector<TAngle>& angles) {
  for (size_t i = 1; i < angles.size(); ++i) {
    const TAngle current = angles[i];
    size_t j = i;
    while (j > 0 && angles[j - 1].Value < current.Value - kEqualAngle) {
      angles[j] = angles[j - 1];
      --j;
    }
    angles[j] = current;
  }
}

TPoint CentrePoint(const TCentre& centre) { return TPoint{centre.Site}; }

TVec3 Unit(const TVec3& v) { return Scaled(v, 1 / Norm(v)); }

// A unit vector across `axis`: its cross product with the coordinate axis
// least along it.
TVec3 Across(const TVec3& axis) {
  int least = 0;
  for (int k = 1; k < 3; ++k)
    if (std::fabs(axis[k]) < std::fabs(axis[least])) least = k;
  TVec3 e{0, 0, 0};
  e[least] = 1;
  return Unit(Cross(axis, e));
}

// For every ligand pair, in the pair order, the two components of
// û_i + û_j (an angle near 180°) or û_i − û_j (near 0°) across the line of
// the two bonds, in degrees: the displacement off the straight line, whose
// length is 2 sin(δ/2) ≈ δ for a deviation δ. The directions across the
// line are taken at the given positions and held fixed.
struct TLineDisplacements {
  std::vector<TDual> operator()(const std::vector<TVec3Of<TDual>>& p) const {
    std::vector<TDual> out;
    for (size_t i = 1; i < p.size(); ++i)
      for (size_t j = i + 1; j < p.size(); ++j) {
        const TVec3Of<TDual> u = Diff(p[i], p[0]), w = Diff(p[j], p[0]);
        const TDual lu = NormOf(u), lw = NormOf(w);
        TVec3Of<TDual> uh, wh;
        TVec3 uv, wv;
        for (int k = 0; k < 3; ++k) {
          uh[k] = u[k] / lu;
          wh[k] = w[k] / lw;
          uv[k] = uh[k].V;
          wv[k] = wh[k].V;
        }
        const double sign = Dot(uv, wv) < 0 ? 1 : -1;
        const TVec3 axis = Unit(Minus(uv, Scaled(wv, sign)));
        const TVec3 e1 = Across(axis), e2 = Cross(axis, e1);
        for (const TVec3& e : {e1, e2}) {
          TDual c(0);
          for (int k = 0; k < 3; ++k) c += (uh[k] + TDual(sign) * wh[k]) * TDual(e[k] * kDegPerRad);
          out.push_back(c);
        }
      }
    return out;
  }
};

// The angles of `ligandCount` ligands within 3 su of 180° or 0°, judged by
// the larger su of the two components of their displacement off the line.
std::vector<TNearlyLinear> NearlyLinearAngles(const TPropagator& propagate, int ligandCount) {
  std::vector<TNearlyLinear> found;
  const std::vector<TPropagated> angles = propagate.Each(TAnglesOfPoints());
  const std::vector<TPropagated> across = propagate.Each(TLineDisplacements());
  for (int i = 0, k = 0; i < ligandCount; ++i)
    for (int j = i + 1; j < ligandCount; ++j, ++k) {
      const size_t at = static_cast<size_t>(k);
      const double value = angles[at].Value;
      const double deviation = std::min(value, 180 - value);
      const double su = std::max(across[2 * at].Su, across[2 * at + 1].Su);
      if (deviation < 3 * su) found.push_back({i, j, value, su});
    }
  return found;
}

}  // namespace

std::vector<TPoint> SpherePoints(const TCentre& centre, const std::vector<TLigand>& ligands) {
  std::vector<TPoint> points{CentrePoint(centre)};
  for (const TLigand& ligand : ligands) points.push_back(ligand.Members);
  return points;
}

std::vector<char> SphereAtoms(const TStructure& s, const TCentre& centre,
                              const std::vector<TLigand>& ligands) {
  std::vector<char> atoms(s.Atoms.size(), 0);
  for (const TPoint& point : SpherePoints(centre, ligands))
    for (const TSiteRef& site : point) atoms[static_cast<size_t>(site.Atom)] = 1;
  return atoms;
}

std::vector<TValueSu> LigandDistances(const TInput& in, const TParameters& params,
                                      const TCentre& centre, const std::vector<TLigand>& ligands) {
  std::vector<TValueSu> distances;
  const TPropagator propagate(in.Structure, params, SpherePoints(centre, ligands));
  for (const TPropagated& d : propagate.Each(TDistancesOfPoints()))
    distances.push_back({d.Value, in.HasSu ? WithSuFloor(d, kDistanceSuFloor).Su : 0});
  return distances;
}

std::optional<TError> CoordinationProblem(const TLigandSet& ligands) {
  const size_t n = ligands.List.size();
  if (n >= kMinLigands && n <= kMaxLigands) return std::nullopt;
  if (ligands.Automatic)
    return TError({"coordination number " + std::to_string(n) + " - an angle sum needs 2 to " +
                       std::to_string(kMaxLigands) + " ligands.",
                   "Adjust the tolerance (--tol=) or specify the ligands explicitly."});
  return TError("2 to " + std::to_string(kMaxLigands) + " ligands must be specified.");
}

std::optional<TValueSu> PublishedAngle(const TStructure& s,
                                       const std::vector<TPublishedAtApex>& atCentre,
                                       const TLigand& a, const TLigand& b) {
  if (a.IsCentroid || b.IsCentroid) return std::nullopt;
  for (const TPublishedAtApex& entry : atCentre) {
    const bool forward = SameSite(s, entry.End1, a.Site) && SameSite(s, entry.End3, b.Site);
    const bool reverse = SameSite(s, entry.End1, b.Site) && SameSite(s, entry.End3, a.Site);
    if (forward || reverse) return TValueSu{entry.Angle, entry.Su};
  }
  return std::nullopt;
}

TAngleSum SumOfAngles(const TInput& in, const TParameters& params,
                      const std::vector<TPoint>& points, const TPropagator& propagate) {
  TAngleSum sum;
  const TQuantity quantity = MakeQuantity(TAngleSumOfPoints());
  sum.Value = WithSuFloor(propagate(quantity, true), kAngleSuFloor);
  if (!in.HasSu) {
    sum.Value.Su = sum.Value.SuLinear = sum.Value.SuSecondOrder = sum.Value.Shift = 0;
    return sum;
  }
  sum.NearlyLinear = NearlyLinearAngles(propagate, static_cast<int>(points.size()) - 1);
  if (sum.NearlyLinear.empty()) return sum;
  const TMonteCarlo mc = MonteCarlo(in.Structure, params, points, {quantity}, kNearlyLinearDraws).front();
  sum.Draws = mc.Draws;
  sum.Value.Su = mc.Sd;
  sum.Value.Shift = mc.Mean - sum.Value.Value;
  sum.Value.SuSecondOrder = 0;
  sum.Value = WithSuFloor(sum.Value, kAngleSuFloor);
  return sum;
}

TAngles ComputeAngles(const TInput& in, const TParameters& params, const TCentre& centre,
                      const std::vector<TLigand>& ligands, bool calcOnly, long long mcDraws) {
  TAngles angles;
  const std::vector<TPoint> points = SpherePoints(centre, ligands);
  const TPropagator propagate(in.Structure, params, points);
  const std::vector<TPropagated> computed = propagate.Each(TAnglesOfPoints());
  const int n = static_cast<int>(ligands.size());
  const std::vector<TPublishedAtApex> published =
      calcOnly ? std::vector<TPublishedAtApex>{}
               : PublishedAtApex(in.Structure, in.PublishedAngles, centre.Site);
  for (int i = 0, k = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j, ++k) {
      TAngle a;
      a.Lig1 = i;
      a.Lig2 = j;
      if (const std::optional<TValueSu> cif =
              PublishedAngle(in.Structure, published, ligands[i], ligands[j])) {
        a.Value = cif->Value;
        a.Su = cif->Su;
        a.FromCif = true;
      } else {
        const TPropagated angle = WithSuFloor(computed[static_cast<size_t>(k)], kAngleSuFloor);
        a.Value = angle.Value;
        a.Su = angle.Su;
      }
      // Without su in the input a published su would be the only one shown;
      // the report then gives none at all.
      if (!in.HasSu) a.Su = 0;
      angles.List.push_back(a);
    }
  }
  SortDescending(angles.List);

  const TAngleSum sum = SumOfAngles(in, params, points, propagate);
  angles.Sum = sum.Value;
  angles.NearlyLinear = sum.NearlyLinear;
  angles.SumDraws = sum.Draws;
  if (mcDraws > 0 && in.HasSu)
    angles.SumMonteCarlo =
        MonteCarlo(in.Structure, params, points, {MakeQuantity(TAngleSumOfPoints())}, mcDraws).front();
  double sumSquares = 0;
  for (const TAngle& angle : angles.List) sumSquares += angle.Su * angle.Su;
  angles.SuIndependent = std::sqrt(sumSquares);
  return angles;
}

}  // namespace koravel
