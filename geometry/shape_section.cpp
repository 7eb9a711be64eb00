#include "geometry/shape_section.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

namespace koravel {

namespace {

// In a Monte Carlo draw the lowest measure is sought among the assignments
// within this many su of the best, not by a new search: one farther away
// becomes the lowest only in a draw that moves the difference by more than
// 3 of its su (at most twice that of the best), and then by a trifle, the
// lower of two crossing functions being continuous.
constexpr double kCandidateSu = 6;

// Of more assignments within that reach, the Monte Carlo follows the
// nearest 32. Real structures give two or three, rarely a hundred, and over
// the real files of the tests the nearest 32 give the su that all give;
// su of tenths of an ångström bring millions, which would keep the search
// and the draws going for hours.
constexpr size_t kMostCandidates = 32;

// The lowest measure among candidate assignments (the best first): the
// measure itself where one assignment is far below the others.
struct TLowestMeasure {
  const TIdealPolyhedron* Shape = nullptr;
  std::shared_ptr<const TCandidateAssignments> Candidates;  // shared by the copies in quantities

  const TAssignment& Best() const { return Candidates->Assignments().front(); }

  // With derivatives, at the sphere as refined: the best assignment's
  // measure. In a draw: the lowest of the candidates'.
  TDual operator()(const std::vector<TVec3Of<TDual>>& p) const { return MeasureFor(p, *Shape, Best()); }
  double operator()(const std::vector<TVec3>& p) const {
    if (Candidates->Assignments().size() == 1) return MeasureFor(p, *Shape, Best());
    return Candidates->LowestMeasure(p);
  }
};

// arcsin(√S/10) in radians: the angle of a configuration from the ideal
// shape, S = 100 sin²θ (Casanova et al. 2004). At S = 0 it has a cone's tip
// and no derivative; it counts as constant there.
template <typename S>
S AngleFromIdeal(const S& measure) {
  using std::atan2;
  using std::sqrt;
  if (!(ValueOf(measure) > 0)) return S(0);
  const S sine = sqrt(measure) / S(10);
  return atan2(sine, sqrt(S(1) - sine * sine));
}

struct TPathQuantity {
  TLowestMeasure A, B;
  double ThetaAB = 0;
  bool Coordinate = false;  // else the deviation from the path

  template <typename S>
  S operator()(const std::vector<TVec3Of<S>>& p) const {
    const S a = AngleFromIdeal(A(p));
    if (Coordinate) return S(100) * a / S(ThetaAB);
    return S(100) * ((a + AngleFromIdeal(B(p))) / S(ThetaAB) - S(1));
  }
};

// The difference of the measures of two assignments.
struct TMeasureDifference {
  const TIdealPolyhedron* Shape = nullptr;
  TAssignment First, Second;

  template <typename S>
  S operator()(const std::vector<TVec3Of<S>>& p) const {
    return MeasureFor(p, *Shape, Second) - MeasureFor(p, *Shape, First);
  }
};

// Whether two fits are held equal by the sphere's own symmetry: the same
// measure, and a difference that no free parameter moves.
bool HeldEqual(const TPropagator& propagate, const TIdealPolyhedron& shape, const TShapeFit& a,
               const TShapeFit& b) {
  if (std::fabs(a.Measure - b.Measure) > 1e-9 * (1 + a.Measure)) return false;
  const TPropagated d = propagate.Estimate({{MakeQuantity(TMeasureDifference{&shape, a.Vertex, b.Vertex})}}).front();
  return d.Su == 0;
}

// The fits (the best first) that may give the lowest measure in a draw: one
// of each set that the sphere's symmetry holds equal. Empty when none but the
// best has a measure within 3 su of the best one's, the su being that of
// their difference (at most the sum of the two su, so the fits within
// kCandidateSu su of the best hold them all).
std::vector<TAssignment> CrossingCandidates(const TPropagator& propagate, const TIdealPolyhedron& shape,
                                            const std::vector<TShapeFit>& fits) {
  std::vector<const TShapeFit*> kept;
  bool close = false;
  for (const TShapeFit& f : fits) {
    if (std::any_of(kept.begin(), kept.end(), [&](const TShapeFit* k) { return HeldEqual(propagate, shape, *k, f); }))
      continue;
    if (!kept.empty() && !close) {
      const TPropagated d =
          propagate.Estimate({{MakeQuantity(TMeasureDifference{&shape, fits.front().Vertex, f.Vertex})}}).front();
      close = std::fabs(d.Value) < 3 * d.Su;
    }
    kept.push_back(&f);
  }
  std::vector<TAssignment> candidates;
  if (close)
    for (const TShapeFit* f : kept) candidates.push_back(f->Vertex);
  return candidates;
}

}  // namespace

const std::vector<std::pair<std::string_view, std::string_view>>& ShapePaths() {
  static const std::vector<std::pair<std::string_view, std::string_view>> paths{
      {"SP-4", "T-4"}, {"SPY-5", "TBPY-5"}, {"OC-6", "TPR-6"}};
  return paths;
}

double IdealMeasure(const TIdealPolyhedron& a, const TIdealPolyhedron& b) {
  std::vector<TVec3> points = b.Vertices;
  points.insert(points.begin(), b.Centre);
  return BestFit(points, a).Measure;
}

std::vector<std::array<double, 2>> MinimalDistortionPath(const TIdealPolyhedron& a, const TIdealPolyhedron& b,
                                                        int steps) {
  const double theta = AngleFromIdeal(IdealMeasure(a, b));
  std::vector<std::array<double, 2>> path;
  for (int k = 0; k <= steps; ++k) {
    const double t = theta * k / steps;
    path.push_back({100 * std::sin(t) * std::sin(t), 100 * std::sin(theta - t) * std::sin(theta - t)});
  }
  return path;
}

const TIdealPolyhedron& IdealPolyhedron(std::string_view name) {
  for (const TIdealPolyhedron& s : IdealPolyhedra())
    if (s.Name == name) return s;
  throw std::logic_error("no reference shape " + std::string(name));
}

TShapeSection MeasureShapes(const TPropagator& propagate, const std::vector<TVec3>& points,
                            long long mcDraws) {
  const size_t n = points.size() - 1;
  // Points that all coincide have no shape (the measure divides by their spread).
  double spread = 0;
  for (const TVec3& x : points) spread = std::max(spread, Distance(x, points[0]));
  if (!(spread > 1e-6)) return {};
  std::vector<TLowestMeasure> measures;
  std::vector<TSuRequest> requests;
  for (const TIdealPolyhedron& shape : IdealPolyhedra()) {
    if (shape.Vertices.size() != n) continue;
    measures.push_back(
        {&shape, std::make_shared<TCandidateAssignments>(points, shape, std::vector<TAssignment>{BestFit(points, shape).Vertex})});
    requests.push_back({MakeQuantity(measures.back()), true, false, 0});
  }
  TShapeSection section;
  if (measures.empty()) return section;
  std::vector<TPropagated> values = propagate.Estimate(requests);

  // Where another assignment comes within 3 su of the best, the measure is
  // the lower of two functions that may cross there, a kink: then the Monte
  // Carlo over every close assignment gives its su. Two that the sphere's
  // own symmetry keeps equal never cross.
  std::vector<size_t> close;
  std::vector<TSuRequest> sampled;
  for (size_t k = 0; k < measures.size(); ++k) {
    const TPropagated& v = values[k];
    if (!(v.Su > 0)) continue;
    const std::vector<TShapeFit> fits = FitsUpTo(points, *measures[k].Shape, v.Value + kCandidateSu * v.Su,
                                                 kMostCandidates);
    std::vector<TAssignment> candidates = CrossingCandidates(propagate, *measures[k].Shape, fits);
    if (candidates.empty()) continue;
    measures[k].Candidates = std::make_shared<TCandidateAssignments>(points, *measures[k].Shape, std::move(candidates));
    close.push_back(k);
    sampled.push_back({MakeQuantity(measures[k]), true, true, 0});
  }
  if (!sampled.empty()) {
    const std::vector<TPropagated> mc = propagate.Estimate(sampled);
    for (size_t j = 0; j < close.size(); ++j) values[close[j]] = mc[j];
  }
  std::vector<TQuantity> checked;
  for (size_t k = 0; k < measures.size(); ++k) {
    const bool isClose = std::find(close.begin(), close.end(), k) != close.end();
    section.Shapes.push_back({measures[k].Shape, values[k], isClose, std::nullopt});
    checked.push_back(MakeQuantity(measures[k]));
  }

  // The paths, to first order: arcsin(√S/10) is a cone's tip at S = 0, so
  // within 3 su of it (or of a kink of S) the Monte Carlo gives the su.
  std::vector<TSuRequest> pathRequests;
  for (const auto& [nameA, nameB] : ShapePaths()) {
    auto find = [&](std::string_view name) {
      return std::find_if(measures.begin(), measures.end(),
                          [&](const TLowestMeasure& m) { return m.Shape->Name == name; }) - measures.begin();
    };
    const size_t a = static_cast<size_t>(find(nameA)), b = static_cast<size_t>(find(nameB));
    if (a == measures.size() || b == measures.size()) continue;
    const double thetaAB = AngleFromIdeal(IdealMeasure(*measures[a].Shape, *measures[b].Shape));
    auto unsure = [&](size_t k) {
      const TShapeValue& s = section.Shapes[k];
      return s.CloseAssignment || (s.Value.Su > 0 && s.Value.Value < 3 * s.Value.Su);
    };
    const bool sampledPath = unsure(a) || unsure(b);
    for (bool coordinate : {false, true}) {
      const TQuantity q = MakeQuantity(TPathQuantity{measures[a], measures[b], thetaAB, coordinate});
      pathRequests.push_back({q, false, sampledPath, 0});
      checked.push_back(q);
    }
    section.Paths.push_back({measures[a].Shape, measures[b].Shape, {}, {}, std::nullopt, std::nullopt});
  }
  const std::vector<TPropagated> paths = propagate.Estimate(pathRequests);
  for (size_t k = 0; k < section.Paths.size(); ++k) {
    section.Paths[k].Deviation = paths[2 * k];
    section.Paths[k].Coordinate = paths[2 * k + 1];
  }
  if (mcDraws > 0) {
    const std::vector<TMonteCarlo> mc = propagate.MonteCarlo(checked, mcDraws);
    for (size_t k = 0; k < mc.size(); ++k) {
      if (k < section.Shapes.size()) section.Shapes[k].MonteCarlo = mc[k];
      else if (const size_t p = k - section.Shapes.size(); p % 2 == 0) section.Paths[p / 2].DeviationMonteCarlo = mc[k];
      else section.Paths[p / 2].CoordinateMonteCarlo = mc[k];
    }
  }
  std::stable_sort(section.Shapes.begin(), section.Shapes.end(), [](const TShapeValue& x, const TShapeValue& y) {
    return x.Value.Value < y.Value.Value;
  });
  return section;
}

}  // namespace koravel
