#include "geometry/analysis.h"

#include <cmath>

#include "base/error.h"
#include "su/parameters.h"

namespace koravel {

namespace {

// A sum fixed by symmetry within this of 360 degrees (it prints as 360.00)
// is planar: coordinates written as 0.3333 for 1/3 leave rounding noise.
constexpr double kPlanarBySymmetry = 0.005;

// Every L-M-L angle: the published one where the CIF lists it (unless
// `calcOnly`), else the computed one, largest first.
std::vector<TAngle> AngleList(const TModel& model, const TCentre& centre,
                              const std::vector<TLigand>& ligands,
                              const std::vector<TPropagated>& computed, bool calcOnly) {
  const TStructure& s = model.Structure;
  const std::vector<TPublishedAtApex> published =
      calcOnly ? std::vector<TPublishedAtApex>{} : PublishedAtApex(s, model.PublishedAngles, centre.Site);
  std::vector<TAngle> list;
  const int n = static_cast<int>(ligands.size());
  for (int i = 0, k = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j, ++k) {
      TAngle a{i, j, computed[static_cast<size_t>(k)].Value, computed[static_cast<size_t>(k)].Su, false};
      if (const std::optional<TValueSu> cif = PublishedAngle(s, published, ligands[i], ligands[j]))
        a = {i, j, cif->Value, cif->Su, true};
      // Without su in the input a published su would be the only one shown;
      // the report then gives none at all.
      if (!model.HasSu) a.Su = 0;
      list.push_back(a);
    }
  SortDescending(list);
  return list;
}

// Why a descriptor is not defined for the sphere, or "": the quantity it
// divides by vanishes within 3 su, or, without su, to the rounding of the
// arithmetic (1e-9 of the cube of the mean bond).
std::string VanishingDefinition(const TPropagator& propagate, const TDescriptor& d,
                                const std::vector<TVec3>& x) {
  if (d.Undefined.empty()) return "";
  const TPropagated v = propagate.Estimate({{d.Defining}}).front();
  double bond = 0;
  for (size_t i = 1; i < x.size(); ++i) bond += Distance(x[i], x[0]) / static_cast<double>(x.size() - 1);
  const bool vanishes = std::fabs(v.Value) <= 3 * v.Su || std::fabs(v.Value) < 1e-9 * bond * bond * bond;
  return vanishes ? std::string(d.Undefined) : "";
}

// What the quantities of the sphere see of it.
TSphereFacts SphereFacts(const TStructure& s, const TCentre& centre, const std::vector<TLigand>& ligands,
                         const std::vector<TVec3>& positions, std::vector<std::string> labels,
                         const TBondValenceTable* table) {
  TSphereFacts sphere{positions, {centre.Element}, {0}, std::move(labels), {s.Atoms[centre.Site.Atom].Occ},
                      {s.Atoms[centre.Site.Atom].OxidationState}, table};
  for (const TLigand& l : ligands) {
    const TAtom& atom = s.Atoms[l.Site.Atom];
    sphere.Elements.push_back(l.IsCentroid ? "" : l.Element);
    sphere.Centroids.push_back(l.IsCentroid);
    sphere.Occupancies.push_back(l.IsCentroid ? 1.0 : atom.Occ);
    sphere.OxidationStates.push_back(l.IsCentroid ? std::nullopt : atom.OxidationState);
  }
  return sphere;
}

}  // namespace

// A sum that symmetry fixes at 360 degrees is planar by symmetry; any other
// sum without an su cannot be classified, since "planar" cannot be told from
// "nearly planar". Otherwise the first test that holds; a not-a-number
// operand fails its test.
TPlanarity PlanarityOf(const TPropagated& sum, bool fixedBySymmetry) {
  if (fixedBySymmetry)
    return std::fabs(360 - sum.Value) < kPlanarBySymmetry ? TPlanarity::FixedBySymmetry
                                                          : TPlanarity::Unknown;
  if (!(sum.Su > 0)) return TPlanarity::Unknown;
  const double deviation = std::fabs(360 - sum.Value) < 5e-7 ? 0 : 360 - sum.Value;
  if (3 * sum.Su >= deviation) return TPlanarity::Within3Su;
  if (sum.Value >= 350.0) return TPlanarity::NearlyPlanar;
  if (sum.Value >= 340.0) return TPlanarity::Flattened;
  return TPlanarity::Pyramidal;
}

bool TAnalysis::Complete() const {
  return Ligands.Count() >= kMinLigands && Ligands.Count() <= kMaxLigands;
}

TAnalysis AnalyseCentre(const TModel& model, const TCentre& centre, const TLigandRequest& request,
                        const TNeighbourhood& neighbours, const TAnalysisOptions& options) {
  return AnalyseSphere(model, centre, ChooseLigands(model, centre, request, neighbours), options);
}

TAnalysis AnalyseSphere(const TModel& model, const TCentre& centre, TLigandSet ligands,
                        const TAnalysisOptions& options) {
  TAnalysis a;
  a.Centre = centre;
  a.Ligands = std::move(ligands);
  const TStructure& s = model.Structure;
  const std::vector<TLigand>& list = a.Ligands.List;
  const TParameters params = FreeParameters(s, model.Covariance.get(), SphereAtoms(s, centre, list));
  const std::vector<TPoint> points = SpherePoints(centre, list);
  const TPropagator propagate(s, params, points, model.HasSu);
  a.Positions = SpherePositions(s, points);
  // Each distance over its own two points, so that its derivative stays
  // short however many neighbours are listed.
  const TQuantity distance = MakeQuantity(TDistanceOfPoints());
  for (size_t i = 1; i < points.size(); ++i) {
    const TPropagated d = propagate.OfPoints({0, i}, distance, kDistanceSuFloor);
    a.Distances.push_back(ValueWithKind(d));
  }
  if (!a.Complete()) return a;

  TAngles& angles = a.Angles;
  const std::vector<TPropagated> computed = propagate.Each(TAnglesOfPoints(), kAngleSuFloor);
  angles.List = AngleList(model, centre, list, computed, options.CalcOnly);
  double sumSquares = 0;
  for (const TAngle& angle : angles.List) sumSquares += angle.Su * angle.Su;
  angles.SuIndependent = std::sqrt(sumSquares);
  angles.NearlyLinear = NearlyLinearAngles(propagate, computed);

  // The sum and the descriptors in one estimate: those across a straight
  // angle share one Monte Carlo.
  const std::vector<TVec3>& x = a.Positions;
  const bool paired = HasTransPairs(x);
  const TQuantity sum = MakeQuantity(TAngleSumOfPoints());
  std::vector<TSuRequest> requests{{sum, true, !angles.NearlyLinear.empty(), kAngleSuFloor}};
  std::vector<TQuantity> checked{sum};
  std::string undefined;  // the descriptors that need trans pairs the sphere lacks
  std::vector<TDescriptorValue*> estimated;
  for (const TDescriptor& d : DescriptorTable(list.size())) {
    if (d.NeedsTransPairs && !paired) {
      ((undefined += undefined.empty() ? "" : " and ") += d.Name);
      continue;
    }
    a.Descriptors.push_back({&d, {}, std::nullopt, VanishingDefinition(propagate, d, x)});
    if (!a.Descriptors.back().Undefined.empty()) {
      a.Descriptors.back().Value.Value = std::nan("");
      continue;
    }
    requests.push_back({d.Quantity, d.SecondOrder, HoldsAny(d, x, angles.NearlyLinear), SuFloorOf(d.Unit)});
    checked.push_back(d.Quantity);
  }
  for (TDescriptorValue& d : a.Descriptors)
    if (d.Undefined.empty()) estimated.push_back(&d);
  const std::vector<TPropagated> values = propagate.Estimate(requests);
  angles.Sum = values[0];
  for (size_t k = 0; k < estimated.size(); ++k) {
    estimated[k]->Value = values[k + 1];
    // A value that is no number (a projection onto a vanishing axis) is no
    // index of this sphere: it is reported as not defined, never as NAN.
    if (!std::isfinite(values[k + 1].Value) || !std::isfinite(values[k + 1].Su))
      estimated[k]->Undefined = "degenerate geometry";
  }
  if (options.McDraws > 0) {
    const std::vector<TMonteCarlo> mc = propagate.MonteCarlo(checked, options.McDraws);
    for (size_t k = 0; k < mc.size(); ++k)
      (k == 0 ? angles.SumMonteCarlo : estimated[k - 1]->MonteCarlo) = mc[k];
  }
  a.Shapes = MeasureShapes(propagate, x, options.McDraws);
  if (!undefined.empty())
    a.Problem = "the three largest angles do not pair every ligand with a trans partner, so " +
                undefined + " are not defined.";
  std::vector<std::string> labels{centre.Label};
  for (const TLigand& l : list) labels.push_back(LigandDisplayName(s, l));
  a.Flagged = FlaggedGaps(propagate, x, labels);
  const TSphereFacts sphere = SphereFacts(s, centre, list, x, labels, options.BondValences);
  a.BondValenceSetup = BondValenceSetup(sphere);
  a.BondValence = EvaluateRows(BondValenceRows(), sphere, propagate, options.McDraws);
  a.SumFixedBySymmetry = ValueWithKind(angles.Sum).Kind == TSuKind::FixedBySymmetry;
  if (list.size() == 3) a.Planarity = PlanarityOf(angles.Sum, a.SumFixedBySymmetry);
  return a;
}

void FailCoordination(const TAnalysis& analysis) {
  const size_t n = analysis.Ligands.Count();
  if (analysis.Ligands.Automatic)
    Fail({"coordination number " + std::to_string(n) + " - an angle sum needs 2 to " +
              std::to_string(kMaxLigands) + " ligands.",
          "Adjust the tolerance (--tol=) or specify the ligands explicitly."});
  Fail("2 to " + std::to_string(kMaxLigands) + " ligands must be specified.");
}

}  // namespace koravel
