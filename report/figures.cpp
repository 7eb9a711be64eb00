#include "report/figures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "base/numbers.h"
#include "crystal/elements.h"
#include "geometry/hull.h"
#include "geometry/view.h"
#include "report/page.h"
#include "report/svg.h"

namespace koravel {

namespace {

// The colours of the elements as molecular graphics commonly draw them
// (Jmol's CPK scheme), hydrogen to curium; every atom is labelled as well,
// so that nothing depends on telling the colours apart.
constexpr std::array<const char*, 97> kElementColours{
    "#ff1493", "#ffffff", "#d9ffff", "#cc80ff", "#c2ff00", "#ffb5b5", "#909090", "#3050f8", "#ff0d0d", "#90e050",
    "#b3e3f5", "#ab5cf2", "#8aff00", "#bfa6a6", "#f0c8a0", "#ff8000", "#ffff30", "#1ff01f", "#80d1e3", "#8f40d4",
    "#3dff00", "#e6e6e6", "#bfc2c7", "#a6a6ab", "#8a99c7", "#9c7ac7", "#e06633", "#f090a0", "#50d050", "#c88033",
    "#7d80b0", "#c28f8f", "#668f8f", "#bd80e3", "#ffa100", "#a62929", "#5cb8d1", "#702eb0", "#00ff00", "#94ffff",
    "#94e0e0", "#73c2c9", "#54b5b5", "#3b9e9e", "#248f8f", "#0a7d8c", "#006985", "#c0c0c0", "#ffd98f", "#a67573",
    "#668080", "#9e63b5", "#d47a00", "#940094", "#429eb0", "#57178f", "#00c900", "#70d4ff", "#ffffc7", "#d9ffc7",
    "#c7ffc7", "#a3ffc7", "#8fffc7", "#61ffc7", "#45ffc7", "#30ffc7", "#1fffc7", "#00ff9c", "#00e675", "#00d452",
    "#00bf38", "#00ab24", "#4dc2ff", "#4da6ff", "#2194d6", "#267dab", "#266696", "#175487", "#d0d0e0", "#ffd123",
    "#b8b8d0", "#a6544d", "#575961", "#9e4fb5", "#ab5c00", "#754f45", "#428296", "#420066", "#007d00", "#70abfa",
    "#00baff", "#00a1ff", "#008fff", "#0080ff", "#006bff", "#545cf2", "#785ce3"};

const char* ElementColour(const std::string& element) {
  const int z = ElementIndex(element);
  return z > 0 && z < static_cast<int>(kElementColours.size()) ? kElementColours[static_cast<size_t>(z)]
         : element == "D" || element == "T"                   ? kElementColours[1]
                                                               : kElementColours[0];
}

// The edges of the ligands' polyhedron: those of its hull faces, without
// the diagonals that fan a flat face into triangles.
std::vector<std::array<size_t, 2>> PolyhedronEdges(const std::vector<TVec3>& ligands) {
  if (ligands.size() == 3) return {{0, 1}, {1, 2}, {0, 2}};
  if (ligands.size() < 4) return {};
  const std::vector<std::array<size_t, 3>> faces = HullTriangles(ligands);
  std::map<std::array<size_t, 2>, std::vector<TVec3>> normals;
  for (const auto& f : faces) {
    const TVec3 n = Cross(Minus(ligands[f[1]], ligands[f[0]]), Minus(ligands[f[2]], ligands[f[0]]));
    const TVec3 unit = Scaled(n, 1 / std::max(Norm(n), 1e-12));
    for (int k = 0; k < 3; ++k) {
      const size_t a = f[static_cast<size_t>(k)], b = f[static_cast<size_t>((k + 1) % 3)];
      normals[{std::min(a, b), std::max(a, b)}].push_back(unit);
    }
  }
  std::vector<std::array<size_t, 2>> edges;
  for (const auto& [edge, n] : normals)
    if (n.size() != 2 || Dot(n[0], n[1]) < 1 - 1e-6) edges.push_back(edge);
  return edges;
}

// The sphere seen in the view that shows it best: atoms as circles sized by
// their covalent radii in the element colours, nearer ones drawn over
// farther ones, the M-L bonds, the polyhedron's edges faint and dashed, and
// every ligand labelled with its symmetry code.
std::string SphereFigure(const TStructure& s, const TAnalysis& a) {
  const std::vector<TVec3>& x = a.Positions;
  const TView view = BestView(x);
  std::vector<TVec3> p;
  for (const TVec3& point : x) p.push_back(InView(view, Minus(point, x[0])));
  double reach = 0.5;
  for (const TVec3& q : p) reach = std::max(reach, std::hypot(q[0], q[1]));
  // Room beside the atoms for labels such as N1#12_565.
  constexpr double kWidth = 420, kHeight = 340;
  const double scale = std::min(kWidth / 2 - 100, kHeight / 2 - 40) / reach;
  auto sx = [&](const TVec3& q) { return kWidth / 2 + scale * q[0]; };
  auto sy = [&](const TVec3& q) { return kHeight / 2 - scale * q[1]; };

  // An eta-bonded group, named by all its atoms, is Cg1, Cg2, ... in the
  // drawing and named in full in the caption.
  std::vector<std::string> names{a.Centre.Label}, elements{a.Centre.Element};
  std::string groups;
  int groupCount = 0;
  for (const TLigand& l : a.Ligands.List) {
    names.push_back(LigandDisplayName(s, l));
    elements.push_back(l.IsCentroid ? "" : l.Element);
    if (l.IsCentroid && l.Label.starts_with('[')) {
      names.back() = "Cg" + std::to_string(++groupCount);
      groups += "; " + names.back() + " = " + l.Label;
    }
  }
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Px(kWidth) + "\" height=\"" +
                    Px(kHeight) + "\" viewBox=\"0 0 " + Px(kWidth) + " " + Px(kHeight) + "\" role=\"img\">";
  std::vector<TVec3> ligands(x.begin() + 1, x.end());
  for (const auto& [i, j] : PolyhedronEdges(ligands))
    svg += SvgLine(sx(p[i + 1]), sy(p[i + 1]), sx(p[j + 1]), sy(p[j + 1]),
                   "stroke:#777;stroke-width:1;stroke-dasharray:4 3");
  // Painter's order: bonds at the depth of their middle, atoms at their own.
  std::vector<std::pair<double, std::string>> items;
  for (size_t i = 1; i < p.size(); ++i)
    items.emplace_back((p[0][2] + p[i][2]) / 2 - 1e-6,
                       SvgLine(sx(p[0]), sy(p[0]), sx(p[i]), sy(p[i]), "stroke:#222;stroke-width:3"));
  for (size_t i = 0; i < p.size(); ++i) {
    const double r = std::max(4.0, 0.32 * scale * (elements[i].empty() ? 0.3 : CovalentRadius(elements[i])));
    const std::string circle = "<circle cx=\"" + Px(sx(p[i])) + "\" cy=\"" + Px(sy(p[i])) + "\" r=\"" + Px(r) +
                               "\" style=\"fill:" + (elements[i].empty() ? "#fff" : ElementColour(elements[i])) +
                               ";stroke:#000;stroke-width:1.2" + (elements[i].empty() ? ";stroke-dasharray:2 2" : "") +
                               "\"><title>" + EscapeHtml(names[i]) + "</title></circle>";
    items.emplace_back(p[i][2], circle);
  }
  std::stable_sort(items.begin(), items.end(), [](const auto& l, const auto& r) { return l.first < r.first; });
  for (const auto& item : items) svg += item.second;
  // Labels last, beside each atom away from the centre, on a white halo.
  for (size_t i = 0; i < p.size(); ++i) {
    double dx = p[i][0], dy = p[i][1];
    const double length = std::hypot(dx, dy);
    if (i == 0 || length < 1e-6) dx = 0.7, dy = -0.7; else dx /= length, dy /= length;
    const double r = std::max(4.0, 0.32 * scale * (elements[i].empty() ? 0.3 : CovalentRadius(elements[i]))) + 4;
    const double tx = sx(p[i]) + dx * r, ty = sy(p[i]) - dy * r + 4;
    svg += SvgText(tx, ty, names[i], dx > 0.3 ? "start" : dx < -0.3 ? "end" : "middle",
                   std::string("font-size:12px;paint-order:stroke;stroke:#fff;stroke-width:3px") +
                       (i == 0 ? ";font-weight:bold" : ""));
  }
  svg += "</svg>";
  const std::string along = a.Ligands.List.size() == 3 ? "along the normal of the plane of the three ligands"
                                                       : "along the direction that keeps the atoms furthest apart";
  return "<figure class=\"fig\">" + svg + "<figcaption>Coordination sphere of " + EscapeHtml(a.Centre.Label) +
         ", orthographic view " + along + "; nearer atoms are drawn over farther ones, the polyhedron's edges dashed" +
         EscapeHtml(groups) + ".</figcaption></figure>\n";
}

// The angle sum of an ideal shape with its centre: the reference values of
// the sum for as many ligands.
double IdealAngleSum(const TIdealPolyhedron& shape) {
  double sum = 0;
  for (size_t i = 0; i < shape.Vertices.size(); ++i)
    for (size_t j = i + 1; j < shape.Vertices.size(); ++j) {
      const TVec3 u = Minus(shape.Vertices[i], shape.Centre), v = Minus(shape.Vertices[j], shape.Centre);
      sum += std::acos(std::clamp(Dot(u, v) / (Norm(u) * Norm(v)), -1.0, 1.0)) * kDegPerRad;
    }
  return sum;
}

// A labelled mark on a scale.
struct TMark {
  double Value;
  std::string Label;
};

// One quantity on its scale between reference marks, with its su.
struct TScale {
  std::string Title;
  double Value, Su;
  std::vector<TMark> Marks;
  double Lo, Hi;  // the axis
};

std::string ScaleSvg(const TScale& scale, double width, double y) {
  const TAxis axis{scale.Lo, scale.Hi, 70, width - 30};
  std::string svg = SvgText(6, y - 42, scale.Title, "start", "font-size:12px;font-weight:bold");
  svg += SvgAxis(axis, y + 10, true);
  // A mark's label close to the one before it goes a line higher.
  std::vector<TMark> marks = scale.Marks;
  std::sort(marks.begin(), marks.end(), [](const TMark& l, const TMark& r) { return l.Value < r.Value; });
  double lastX = -1e9;
  bool raised = false;
  for (const TMark& m : marks) {
    const double x = axis(m.Value);
    raised = x - lastX < 90 && !raised;
    lastX = x;
    svg += SvgLine(x, y - (raised ? 24 : 12), x, y + 10, "stroke:#000;stroke-width:1;stroke-dasharray:3 2");
    svg += SvgText(x, y - (raised ? 27 : 15), m.Label, "middle", "font-size:10px");
  }
  return svg + SvgValueWithSu(axis, y, scale.Value, scale.Su);
}

// The axis of a scale: its marks and the value's 3-su band, with a margin.
void FitAxis(TScale& scale) {
  double lo = scale.Value - 3 * scale.Su, hi = scale.Value + 3 * scale.Su;
  for (const TMark& m : scale.Marks) lo = std::min(lo, m.Value), hi = std::max(hi, m.Value);
  const double margin = std::max(0.08 * (hi - lo), 1e-3);
  scale.Lo = lo - margin;
  scale.Hi = hi + margin;
}

std::vector<TScale> Scales(const TAnalysis& a) {
  std::vector<TScale> scales;
  const size_t n = a.Ligands.List.size();
  // The sum between the sums of the two reference shapes that bound the
  // common geometries of n ligands (for three: 3 x 109.47 and planar 360),
  // or, beyond six, of the two shapes this sphere comes closest to.
  std::vector<std::string_view> refs;
  if (n == 2) refs = {"vT-2", "L-2"};
  if (n == 3) refs = {"vT-3", "TP-3"};
  if (n == 4) refs = {"T-4", "SP-4"};
  if (n == 5) refs = {"SPY-5", "TBPY-5"};
  if (n == 6) refs = {"TPR-6", "OC-6"};
  if (n > 6)
    for (size_t k = 0; k < a.Shapes.Shapes.size() && k < 2; ++k) refs.push_back(a.Shapes.Shapes[k].Shape->Name);
  TScale sum{"Sum(L-M-L) = " + FormatValueSu(a.Angles.Sum.Value, a.Angles.Sum.Su, 2) + " deg", a.Angles.Sum.Value,
             a.Angles.Sum.Su, {}, 0, 0};
  for (std::string_view name : refs) {
    const double ideal = IdealAngleSum(IdealPolyhedron(name));
    sum.Marks.push_back({ideal, std::string(name) + " " + FormatFixed(ideal, 1)});
  }
  scales.push_back(sum);
  // τ4, τ4′ and τ5 from 0 at one ideal shape to 1 at the other.
  for (const TDescriptorValue& d : a.Descriptors) {
    const std::string_view name = d.Row->Name;
    if (!d.Undefined.empty() || (name != "tau4" && name != "tau4'" && name != "tau5")) continue;
    const bool five = name == "tau5";
    scales.push_back({std::string(name) + " = " + FormatValueSu(d.Value.Value, d.Value.Su, d.Row->Decimals),
                      d.Value.Value, d.Value.Su,
                      {{0, five ? "0 SPY-5" : "0 SP-4"}, {1, five ? "1 TBPY-5" : "1 T-4"}}, 0, 0});
  }
  // BVS beside the magnitude of the centre's oxidation state, ECoN beside
  // the number of ligands it counts against.
  for (const TQuantityValue& v : a.BondValence) {
    if (!v.Undefined.empty() || (v.Row->Name != "BVS" && v.Row->Name != "ECoN")) continue;
    const std::optional<int> state = a.BondValenceSetup.State;
    if (v.Row->Name == "BVS" && !state) continue;
    std::string title = std::string(v.Row->Name) + " = " + FormatValueSu(v.Value.Value, v.Value.Su, v.Row->Decimals);
    if (!v.Row->Unit.empty()) (title += ' ') += v.Row->Unit;
    const TMark mark = v.Row->Name == "BVS"
                           ? TMark{std::fabs(*state), a.Centre.Element + " " + (*state > 0 ? "+" : "") +
                                                          std::to_string(*state)}
                           : TMark{static_cast<double>(n), "CN " + std::to_string(n)};
    scales.push_back({title, v.Value.Value, v.Value.Su, {mark}, 0, 0});
  }
  for (TScale& s : scales) FitAxis(s);
  return scales;
}

// The shape measures as bars on a logarithmic axis from 0.01 to 100, each
// with its su.
std::string ShapeBars(const TShapeSection& section, double width, double top) {
  const TAxis axis{0.01, 100, 80, width - 70, true};
  constexpr double kRow = 18;
  std::string svg = SvgText(6, top, "Shape measures S (log scale, 0 = ideal)", "start", "font-size:12px;font-weight:bold");
  double y = top + 14;
  for (const TShapeValue& v : section.Shapes) {
    const double s = v.Value.Value;
    svg += SvgText(6, y + 12, std::string(v.Shape->Name), "start", "font-size:11px");
    svg += "<rect x=\"" + Px(axis.From) + "\" y=\"" + Px(y + 3) + "\" width=\"" + Px(std::max(axis(s) - axis.From, 0.5)) +
           "\" height=\"11\" style=\"fill:#9ab;stroke:#000;stroke-width:0.8\"><title>S(" + EscapeHtml(v.Shape->Name) +
           ") = " + FormatValueSu(s, v.Value.Su, 3) + "</title></rect>";
    double end = axis(s);
    if (v.Value.Su > 0) {
      const double l = axis(s - v.Value.Su), r = axis(s + v.Value.Su), m = y + 8.5;
      svg += SvgLine(l, m, r, m, "stroke:#000;stroke-width:1.5") + SvgLine(l, m - 4, l, m + 4, "stroke:#000") +
             SvgLine(r, m - 4, r, m + 4, "stroke:#000");
      end = std::max(end, r);
    }
    svg += SvgText(end + 4, y + 12, FormatValueSu(s, v.Value.Su, 3), "start", "font-size:10px");
    y += kRow;
  }
  return svg + SvgAxis(axis, y + 2, true);
}

std::string ScalesFigure(const TAnalysis& a) {
  constexpr double kWidth = 420, kScaleHeight = 86;
  const std::vector<TScale> scales = Scales(a);
  const double shapesTop = 30 + kScaleHeight * static_cast<double>(scales.size());
  const double height = shapesTop + 40 + 18 * static_cast<double>(a.Shapes.Shapes.size());
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Px(kWidth) + "\" height=\"" + Px(height) +
                    "\" viewBox=\"0 0 " + Px(kWidth) + " " + Px(height) + "\" role=\"img\">";
  for (size_t k = 0; k < scales.size(); ++k)
    svg += ScaleSvg(scales[k], kWidth, 62 + kScaleHeight * static_cast<double>(k));
  if (!a.Shapes.Shapes.empty()) svg += ShapeBars(a.Shapes, kWidth, shapesTop + 6);
  svg += "</svg>";
  return "<figure class=\"fig\">" + svg +
         "<figcaption>Each value (diamond) with its su (error bar) and 3-su band (grey) between the values of "
         "ideal shapes (dashed).</figcaption></figure>\n";
}

}  // namespace

std::string RunFigures(const TStructure& s, const TAnalysis& a) {
  if (!a.Complete()) return "";
  return "<div class=\"figures\">\n" + SphereFigure(s, a) + ScalesFigure(a) + "</div>\n";
}

}  // namespace koravel
