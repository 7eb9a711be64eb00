#pragma once
#include <optional>
#include <vector>

#include "crystal/published_angle.h"
#include "ligands/ligand.h"
#include "su/propagation.h"

namespace koravel {

// A distance or an angle with its su (0: none).
struct TValueSu {
  double Value = 0;
  double Su = 0;
};

// One L-M-L angle between ligands Lig1 < Lig2 (indices into the ligand list).
struct TAngle {
  int Lig1 = 0;
  int Lig2 = 0;
  double Value = 0;      // degrees
  double Su = 0;         // degrees
  bool FromCif = false;  // value and su published in the CIF's _geom_angle loop
};

// An L-M-L angle within 3 su of 180° or 0°. There an angle has no
// derivative — it behaves like the length of a 2-D vector, the displacement
// that takes the three points off their line — so it is judged by the su of
// that displacement, whose two components are smooth.
struct TNearlyLinear {
  int Lig1 = 0;            // ligand indices, Lig1 < Lig2
  int Lig2 = 0;
  double Value = 0;        // the angle, degrees
  double Su = 0;           // of the displacement (the larger component), degrees
};

// The quantities of a coordination sphere as functions of its points: the
// central atom first, then the ligands in list order.
struct TDistanceOfPoints {  // p0-p1
  template <typename S>
  S operator()(const std::vector<TVec3Of<S>>& p) const { return DistanceOf(p[0], p[1]); }
};
// The bond lengths p0-pi, i = 1..n.
template <typename S>
std::vector<S> BondLengths(const std::vector<TVec3Of<S>>& p) {
  std::vector<S> d;
  for (size_t i = 1; i < p.size(); ++i) d.push_back(DistanceOf(p[i], p[0]));
  return d;
}
struct TAnglesOfPoints {  // every pi-p0-pj, i < j, in the order (1,2), (1,3), ...
  template <typename S>
  std::vector<S> operator()(const std::vector<TVec3Of<S>>& p) const {
    std::vector<S> a;
    for (size_t i = 1; i < p.size(); ++i)
      for (size_t j = i + 1; j < p.size(); ++j) a.push_back(AngleAt(p[i], p[0], p[j]));
    return a;
  }
};
struct TAngleSumOfPoints {  // every pi-p0-pj, i < j, in the order (1,2), (1,3), ...
  template <typename S>
  S operator()(const std::vector<TVec3Of<S>>& p) const {
    S sum(0);
    for (size_t i = 1; i < p.size(); ++i)
      for (size_t j = i + 1; j < p.size(); ++j) sum += AngleAt(p[i], p[0], p[j]);
    return sum;
  }
};

// The points of a coordination sphere: the centre, then every ligand.
std::vector<TPoint> SpherePoints(const TCentre& centre, const std::vector<TLigand>& ligands);

// Their Cartesian positions (ångström).
std::vector<TVec3> SpherePositions(const TStructure& s, const std::vector<TPoint>& points);

// One flag per atom of the structure: whether it is the central atom or
// (a member of) a ligand.
std::vector<char> SphereAtoms(const TStructure& s, const TCentre& centre,
                              const std::vector<TLigand>& ligands);

// The angles of the sphere's ligands within 3 su of 180° or 0°, judged by the
// larger su of the two components of their displacement off the line;
// `angles` are the L-M-L angles in the pair order (TAnglesOfPoints).
std::vector<TNearlyLinear> NearlyLinearAngles(const TPropagator& propagate,
                                              const std::vector<TPropagated>& angles);

// The published angle a-M-b (in either order) among those at the central
// atom (PublishedAtApex), found by the places of a and b; nothing when the
// CIF lists none. A centroid is no atom of the CIF and never has a
// published angle.
std::optional<TValueSu> PublishedAngle(const TStructure& s,
                                       const std::vector<TPublishedAtApex>& atCentre,
                                       const TLigand& a, const TLigand& b);

// Stable, largest angle first; angles within 1e-6° of each other keep the
// pair order (rounding noise must not order angles that symmetry makes equal).
void SortDescending(std::vector<TAngle>& angles);

}  // namespace koravel
