#include "geometry/sphere.h"

#include <algorithm>
#include <cmath>

namespace koravel {

namespace {

// Angles within this many degrees are equal: angles that symmetry makes
// equal (the 90s of an octahedron) differ only in rounding noise, which must
// not decide their order, or the table would differ between platforms.
constexpr double kEqualAngle = 1e-6;

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
// length is 2 sin(δ/2) ≈ δ for a deviation δ. The directions e across the
// line are taken at the given positions and held fixed. A component
// e·(û ± ŵ) has the gradient (e − (e·û)û)/|u| in the bond vector u (and ±
// the like in w), since ∂û/∂u = (I − ûûᵀ)/|u|: first order is all that
// judges a nearly linear angle.
struct TLineDisplacements {
  std::vector<TDual> operator()(const std::vector<TVec3Of<TDual>>& p) const {
    std::vector<TDual> out;
    for (size_t i = 1; i < p.size(); ++i)
      for (size_t j = i + 1; j < p.size(); ++j) {
        const TVec3Of<TDual> u = Diff(p[i], p[0]), w = Diff(p[j], p[0]);
        const TVec3 uv{u[0].V, u[1].V, u[2].V}, wv{w[0].V, w[1].V, w[2].V};
        const double lu = Norm(uv), lw = Norm(wv);
        const TVec3 uh = Scaled(uv, 1 / lu), wh = Scaled(wv, 1 / lw);
        const double sign = Dot(uh, wh) < 0 ? 1 : -1;
        const TVec3 axis = Unit(Minus(uh, Scaled(wh, sign)));
        const TVec3 e1 = Across(axis), e2 = Cross(axis, e1);
        for (const TVec3& e : {e1, e2}) {
          TDual local((Dot(e, uh) + sign * Dot(e, wh)) * kDegPerRad);
          local.G.resize(6);
          const TVec3 gu = Scaled(Minus(e, Scaled(uh, Dot(e, uh))), kDegPerRad / lu);
          const TVec3 gw = Scaled(Minus(e, Scaled(wh, Dot(e, wh))), sign * kDegPerRad / lw);
          for (int k = 0; k < 3; ++k) {
            local.G[static_cast<size_t>(k)] = gu[k];
            local.G[static_cast<size_t>(k) + 3] = gw[k];
          }
          out.push_back(ChainMany({&u[0], &u[1], &u[2], &w[0], &w[1], &w[2]}, local));
        }
      }
    return out;
  }
};

}  // namespace

std::vector<TNearlyLinear> NearlyLinearAngles(const TPropagator& propagate,
                                              const std::vector<TPropagated>& angles) {
  std::vector<TNearlyLinear> found;
  if (!propagate.HasSu()) return found;
  const std::vector<TPropagated> across = propagate.Each(TLineDisplacements());
  const int ligandCount = static_cast<int>(propagate.PointCount()) - 1;
  for (int i = 0, k = 0; i < ligandCount; ++i)
    for (int j = i + 1; j < ligandCount; ++j, ++k) {
      const size_t at = static_cast<size_t>(k);
      const double value = angles[at].Value;
      const double deviation = std::min(value, 180 - value);
      const double su = std::max(across[2 * at].Su, across[2 * at + 1].Su);
      if (su > 0 && deviation < 3 * su) found.push_back({i, j, value, su});
    }
  return found;
}

std::vector<TPoint> SpherePoints(const TCentre& centre, const std::vector<TLigand>& ligands) {
  std::vector<TPoint> points{CentrePoint(centre)};
  for (const TLigand& ligand : ligands) points.push_back(ligand.Members);
  return points;
}

std::vector<TVec3> SpherePositions(const TStructure& s, const std::vector<TPoint>& points) {
  const TMat3 ortho = OrthoMatrix(s.Cell);
  std::vector<TVec3> x;
  for (const TPoint& point : points) x.push_back(MeanCartesian(s, point, ortho));
  return x;
}

std::vector<char> SphereAtoms(const TStructure& s, const TCentre& centre,
                              const std::vector<TLigand>& ligands) {
  std::vector<char> atoms(s.Atoms.size(), 0);
  for (const TPoint& point : SpherePoints(centre, ligands))
    for (const TSiteRef& site : point) atoms[static_cast<size_t>(site.Atom)] = 1;
  return atoms;
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

// Stable insertion sort: an angle moves before every earlier one that is
// smaller, so equal angles keep the pair order.
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

}  // namespace koravel
