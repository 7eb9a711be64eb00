#include "report/survey_page.h"

#include <algorithm>
#include <cmath>

#include "base/numbers.h"
#include "geometry/descriptors.h"
#include "geometry/shape_section.h"
#include "report/page.h"
#include "report/svg.h"

namespace koravel {

namespace {

const TSurveyQuantity* Find(const TSurveyRecord& r, const std::string& name) {
  for (const TSurveyQuantity& q : r.Quantities)
    if (q.Name == name && std::isfinite(q.Value)) return &q;
  return nullptr;
}

// What a point's tooltip says of its centre.
std::string Who(const TSurveyRecord& r) {
  return r.File + (r.Block.empty() ? "" : " [" + r.Block + "]") + " " + r.Centre;
}

std::string SvgOpen(double width, double height) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Px(width) + "\" height=\"" + Px(height) +
         "\" viewBox=\"0 0 " + Px(width) + " " + Px(height) + "\" role=\"img\">";
}

std::string Figure(const std::string& svg, const std::string& caption) {
  return "<figure class=\"fig\">" + svg + "<figcaption>" + EscapeHtml(caption) + "</figcaption></figure>\n";
}

// A centre as a point with its su as error bars and its name as tooltip.
std::string PointSvg(double x, double y, double dxLow, double dxHigh, double dyLow, double dyHigh,
                     const std::string& tip) {
  std::string svg = "<g><title>" + EscapeHtml(tip) + "</title>";
  if (dxHigh - dxLow > 0.5) svg += SvgLine(dxLow, y, dxHigh, y, "stroke:#000;stroke-width:1");
  if (dyLow - dyHigh > 0.5) svg += SvgLine(x, dyLow, x, dyHigh, "stroke:#000;stroke-width:1");
  svg += "<circle cx=\"" + Px(x) + "\" cy=\"" + Px(y) + "\" r=\"3\" style=\"fill:#fff;stroke:#000;stroke-width:1.2\"/>";
  return svg + "</g>";
}

// S(B) against S(A) for every centre that has both, on the minimal-distortion
// path's square.
std::string ShapeMap(const std::vector<TSurveyRecord>& records, std::string_view a, std::string_view b) {
  const std::string nameA = "S(" + std::string(a) + ")", nameB = "S(" + std::string(b) + ")";
  std::vector<std::pair<const TSurveyQuantity*, const TSurveyQuantity*>> points;
  std::vector<const TSurveyRecord*> owners;
  double reach = 0;
  for (const TSurveyRecord& r : records) {
    const TSurveyQuantity *qa = Find(r, nameA), *qb = Find(r, nameB);
    if (!qa || !qb) continue;
    points.emplace_back(qa, qb);
    owners.push_back(&r);
    reach = std::max({reach, qa->Value, qb->Value});
  }
  if (points.empty()) return "";
  const TIdealPolyhedron &shapeA = IdealPolyhedron(a), &shapeB = IdealPolyhedron(b);
  const std::vector<std::array<double, 2>> path = MinimalDistortionPath(shapeA, shapeB, 60);
  const double ideal = path.front()[1];  // S_A(B)
  const double limit = std::min(100.0, std::max(1.1 * ideal, 1.05 * reach));
  constexpr double kSize = 300;
  const TAxis x{0, limit, 50, kSize - 12}, y{0, limit, kSize - 45, 12};
  std::string svg = SvgOpen(kSize, kSize);
  svg += SvgAxis(x, kSize - 45, true, nameA) + SvgAxis(y, 50, false, nameB);
  std::string d;
  for (const auto& [sa, sb] : path) ((d += d.empty() ? 'M' : 'L') += Px(x(sa)) + " ") += Px(y(sb));
  svg += "<path d=\"" + d + "\" style=\"fill:none;stroke:#000;stroke-width:1.5;stroke-dasharray:6 3\"/>";
  svg += SvgText(x(0) + 6, y(ideal) + 4, std::string(a), "start", "font-size:10px;font-weight:bold");
  svg += SvgText(x(ideal), y(0) - 6, std::string(b), "middle", "font-size:10px;font-weight:bold");
  for (size_t k = 0; k < points.size(); ++k) {
    const TSurveyQuantity &qa = *points[k].first, &qb = *points[k].second;
    svg += PointSvg(x(qa.Value), y(qb.Value), x(qa.Value - qa.Su), x(qa.Value + qa.Su), y(qb.Value - qb.Su),
                    y(qb.Value + qb.Su),
                    Who(*owners[k]) + ": " + nameA + " = " + qa.Text + ", " + nameB + " = " + qb.Text);
  }
  svg += "</svg>";
  return Figure(svg, "Shape map of " + std::to_string(points.size()) + " centre(s): " + nameB + " against " +
                         nameA + ", the minimal-distortion path dashed, su as error bars.");
}

// The angle sums of the three-coordinate centres in ascending order, each
// with its su, against 3 x 109.47 deg and planar 360 deg.
std::string ThreeCoordinateSums(const std::vector<TSurveyRecord>& records) {
  std::vector<std::pair<const TSurveyQuantity*, const TSurveyRecord*>> sums;
  for (const TSurveyRecord& r : records)
    if (r.Ok && r.CoordinationNumber == 3)
      if (const TSurveyQuantity* q = Find(r, "sum")) sums.emplace_back(q, &r);
  if (sums.empty()) return "";
  std::stable_sort(sums.begin(), sums.end(), [](const auto& l, const auto& r) { return l.first->Value < r.first->Value; });
  const double tetrahedral = 3 * TetrahedralAngle();
  double lo = std::min(tetrahedral, sums.front().first->Value) - 4;
  constexpr double kWidth = 420, kHeight = 240;
  const TAxis x{lo, 364, 50, kWidth - 12}, y{0, static_cast<double>(sums.size()), kHeight - 45, 24};
  std::string svg = SvgOpen(kWidth, kHeight) + SvgAxis(x, kHeight - 45, true, "Sum(L-M-L) / deg");
  for (const auto& [value, label] : {std::pair{tetrahedral, "3 x 109.47"}, std::pair{360.0, "planar 360"}}) {
    svg += SvgLine(x(value), y.From, x(value), y.To - 4, "stroke:#000;stroke-dasharray:4 3");
    svg += SvgText(x(value), 14, label, "middle", "font-size:10px");
  }
  for (size_t k = 0; k < sums.size(); ++k) {
    const TSurveyQuantity& q = *sums[k].first;
    const double at = y(static_cast<double>(k) + 0.5);
    svg += PointSvg(x(q.Value), at, x(q.Value - q.Su), x(q.Value + q.Su), at, at,
                    Who(*sums[k].second) + ": sum = " + q.Text + " deg");
  }
  svg += "</svg>";
  return Figure(svg, "Angle sums of the " + std::to_string(sums.size()) +
                         " three-coordinate centre(s), in ascending order, with su as error bars.");
}

// How a descriptor is distributed across the survey: 20 bins between its
// smallest and largest value.
std::string Histogram(const std::vector<TSurveyRecord>& records, const std::string& name) {
  std::vector<double> values;
  for (const TSurveyRecord& r : records)
    if (const TSurveyQuantity* q = Find(r, name); q && r.Ok) values.push_back(q->Value);
  if (values.empty()) return "";
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  double lo = *low, hi = *high;
  if (hi - lo < 1e-9 * std::max(1.0, std::fabs(hi))) lo -= 0.5, hi += 0.5;
  constexpr int kBins = 20;
  std::vector<int> counts(kBins, 0);
  for (double v : values) ++counts[static_cast<size_t>(std::min(kBins - 1, static_cast<int>((v - lo) / (hi - lo) * kBins)))];
  const int most = *std::max_element(counts.begin(), counts.end());
  constexpr double kWidth = 260, kHeight = 170;
  // Whole counts on the vertical axis: at least 4, so that its ticks are 1 apart.
  const TAxis x{lo, hi, 40, kWidth - 10}, y{0, std::max(4.0, static_cast<double>(most)), kHeight - 45, 12};
  std::string svg = SvgOpen(kWidth, kHeight) + SvgAxis(x, kHeight - 45, true, name) + SvgAxis(y, 40, false, "centres");
  for (int k = 0; k < kBins; ++k) {
    if (counts[static_cast<size_t>(k)] == 0) continue;
    const double left = x(lo + (hi - lo) * k / kBins), right = x(lo + (hi - lo) * (k + 1) / kBins);
    const double top = y(counts[static_cast<size_t>(k)]);
    svg += "<rect x=\"" + Px(left) + "\" y=\"" + Px(top) + "\" width=\"" + Px(right - left) + "\" height=\"" +
           Px(y.From - top) + "\" style=\"fill:#9ab;stroke:#000;stroke-width:0.8\"><title>" +
           std::to_string(counts[static_cast<size_t>(k)]) + "</title></rect>";
  }
  svg += "</svg>";
  return Figure(svg, name + ": " + std::to_string(values.size()) + " centre(s)");
}

// The table's columns: the record's facts, the sum, every index some record
// has, and the best-fitting shape.
std::vector<std::string> IndexColumns(const std::vector<TSurveyRecord>& records) {
  std::vector<std::string> names;
  for (std::string_view name : DescriptorNames())
    for (const TSurveyRecord& r : records)
      if (Find(r, std::string(name))) {
        names.emplace_back(name);
        break;
      }
  return names;
}

// The best-fitting shape of a record: the lowest of its measures.
const TSurveyQuantity* BestShape(const TSurveyRecord& r) {
  const TSurveyQuantity* best = nullptr;
  for (const TSurveyQuantity& q : r.Quantities)
    if (q.Name.rfind("S(", 0) == 0 && std::isfinite(q.Value) && (!best || q.Value < best->Value)) best = &q;
  return best;
}

std::string Cell(const std::string& text) { return "<td>" + EscapeHtml(text) + "</td>"; }

// A number's cell sorts by its value, not by its text.
std::string NumberCell(const TSurveyQuantity* q) {
  if (!q) return "<td></td>";
  std::string value = FormatFixed(q->Value, 6);
  return "<td class=\"n\" data-v=\"" + value + "\">" + EscapeHtml(q->Text) + "</td>";
}

std::string RecordsTable(const std::vector<TSurveyRecord>& records) {
  const std::vector<std::string> indices = IndexColumns(records);
  std::string html = "<table class=\"records\"><thead><tr>";
  for (const char* c : {"file", "block", "centre", "element", "CN", "ligands", "sum"}) html += std::string("<th>") + c + "</th>";
  for (const std::string& name : indices) html += "<th>" + EscapeHtml(name) + "</th>";
  for (const char* c : {"best shape", "S", "classification", "status"}) html += std::string("<th>") + c + "</th>";
  html += "</tr></thead><tbody>\n";
  for (const TSurveyRecord& r : records) {
    std::string ligands;
    for (const std::string& l : r.Ligands) ligands += (ligands.empty() ? "" : " ") + l;
    html += "<tr>" + Cell(r.File) + Cell(r.Block) + Cell(r.Centre) + Cell(r.Element);
    html += r.Ok && r.CoordinationNumber > 0 ? "<td class=\"n\" data-v=\"" + std::to_string(r.CoordinationNumber) +
                                                   "\">" + std::to_string(r.CoordinationNumber) + "</td>"
                                             : "<td></td>";
    html += Cell(ligands) + NumberCell(Find(r, "sum"));
    for (const std::string& name : indices) html += NumberCell(Find(r, name));
    const TSurveyQuantity* best = BestShape(r);
    html += Cell(best ? best->Name.substr(2, best->Name.size() - 3) : "") + NumberCell(best);
    html += Cell(r.Classification) + Cell(r.Ok ? "ok" : "error: " + r.Message) + "</tr>\n";
  }
  return html + "</tbody></table>\n";
}

// Sorts the records table by the column clicked, by number where the cells
// carry one, again to reverse.
constexpr const char* kSortScript =
    "<script>document.querySelectorAll('table.records th').forEach(function(th,i){th.title='sort';"
    "th.addEventListener('click',function(){var t=th.closest('table'),b=t.tBodies[0],"
    "up=th.getAttribute('data-dir')!=='up';t.querySelectorAll('th').forEach(function(h){h.removeAttribute('data-dir');});"
    "th.setAttribute('data-dir',up?'up':'down');var key=function(r){var c=r.cells[i],v=c.getAttribute('data-v');"
    "return v===null?c.textContent:parseFloat(v);};Array.prototype.slice.call(b.rows).sort(function(p,q){"
    "var x=key(p),y=key(q),nx=typeof x==='number',ny=typeof y==='number',d=nx&&ny?x-y:nx?-1:ny?1:"
    "String(x).localeCompare(String(y));return up?d:-d;}).forEach(function(r){b.appendChild(r);});});});</script>\n";

}  // namespace

std::string SurveyPage(const std::vector<TSurveyRecord>& records, const std::string& summary) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Koravel survey</title>\n<style>";
  html += PageStyle();
  html += "table.records{font-size:9pt}table.records th{cursor:pointer;white-space:nowrap}"
          "table.records th[data-dir=up]::after{content:' \\25B2'}table.records th[data-dir=down]::after{content:' \\25BC'}"
          "table.records tbody tr:nth-child(even){background:#f0f0f0}body{max-width:none}";
  html += "</style></head><body>\n<h1>Koravel survey</h1>\n";
  html += "<p>" + EscapeHtml(summary) + ".</p>\n";
  std::string maps;
  for (const auto& [a, b] : ShapePaths()) maps += ShapeMap(records, a, b);
  maps += ThreeCoordinateSums(records);
  if (!maps.empty()) html += "<h2>Shape maps and angle sums</h2>\n<div class=\"figures\">\n" + maps + "</div>\n";
  std::string histograms;
  for (const std::string& name : IndexColumns(records)) histograms += Histogram(records, name);
  if (!histograms.empty()) html += "<h2>Distributions</h2>\n<div class=\"figures\">\n" + histograms + "</div>\n";
  html += "<h2>Records (click a column to sort)</h2>\n" + RecordsTable(records) + kSortScript;
  return html + "</body></html>\n";
}

}  // namespace koravel
