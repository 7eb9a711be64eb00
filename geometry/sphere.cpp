#include "geometry/sphere.h"

#include <cmath>

#include "base/text.h"
#include "crystal/sym_code.h"

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

// Labels compare ignoring case as everywhere in a CIF; symmetry codes are
// exact strings, both sides being written as n_klm.
bool SameAtomSite(const std::string& label, const std::string& code, const TLigand& ligand,
                  const TStructure& s) {
  return SameText(label, ligand.Label) && code == SymCode(s, ligand.Site);
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
    distances.push_back({d.Value, in.HasSu ? d.Su : 0});
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

std::optional<TValueSu> PublishedAngle(const TInput& in, const TCentre& centre, const TLigand& a,
                                       const TLigand& b) {
  if (a.IsCentroid || b.IsCentroid) return std::nullopt;
  const TStructure& s = in.Structure;
  const std::string centreCode = SymCode(s, centre.Site);
  for (const TPublishedAngle& entry : in.PublishedAngles) {
    if (!SameText(entry.Label2, centre.Label) || entry.Sym2 != centreCode) continue;
    const bool forward = SameAtomSite(entry.Label1, entry.Sym1, a, s) &&
                         SameAtomSite(entry.Label3, entry.Sym3, b, s);
    const bool reverse = SameAtomSite(entry.Label1, entry.Sym1, b, s) &&
                         SameAtomSite(entry.Label3, entry.Sym3, a, s);
    if (forward || reverse) return TValueSu{entry.Angle, entry.Su};
  }
  return std::nullopt;
}

TAngles ComputeAngles(const TInput& in, const TParameters& params, const TCentre& centre,
                      const std::vector<TLigand>& ligands, bool calcOnly, long long mcDraws) {
  TAngles angles;
  const std::vector<TPoint> points = SpherePoints(centre, ligands);
  const TPropagator propagate(in.Structure, params, points);
  const std::vector<TPropagated> computed = propagate.Each(TAnglesOfPoints());
  const int n = static_cast<int>(ligands.size());
  for (int i = 0, k = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j, ++k) {
      TAngle a;
      a.Lig1 = i;
      a.Lig2 = j;
      const std::optional<TValueSu> published =
          calcOnly ? std::nullopt : PublishedAngle(in, centre, ligands[i], ligands[j]);
      if (published) {
        a.Value = published->Value;
        a.Su = published->Su;
        a.FromCif = true;
      } else {
        a.Value = computed[static_cast<size_t>(k)].Value;
        a.Su = computed[static_cast<size_t>(k)].Su;
      }
      // Without su in the input a published su would be the only one shown;
      // the report then gives none at all.
      if (!in.HasSu) a.Su = 0;
      angles.List.push_back(a);
    }
  }
  SortDescending(angles.List);

  const TQuantity sum = MakeQuantity(TAngleSumOfPoints());
  angles.Sum = propagate(sum, true);
  if (mcDraws > 0 && in.HasSu)
    angles.SumMonteCarlo = MonteCarlo(in.Structure, params, points, {sum}, mcDraws).front();
  double sumSquares = 0;
  for (const TAngle& angle : angles.List) sumSquares += angle.Su * angle.Su;
  angles.SuIndependent = std::sqrt(sumSquares);
  if (!in.HasSu) {
    angles.Sum.Su = 0;
    angles.Sum.SuLinear = 0;
    angles.Sum.SuSecondOrder = 0;
  }
  return angles;
}

}  // namespace koravel
