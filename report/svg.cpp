#include "report/svg.h"

#include <algorithm>
#include <cmath>

#include "base/numbers.h"
#include "report/page.h"

namespace koravel {

std::string Px(double x) { return FormatFixed(x, 1); }

double TAxis::operator()(double value) const {
  const double t = Log ? (std::log10(std::max(value, Lo)) - std::log10(Lo)) / (std::log10(Hi) - std::log10(Lo))
                       : (value - Lo) / (Hi - Lo);
  return From + std::clamp(t, -0.02, 1.02) * (To - From);
}

std::vector<double> Ticks(const TAxis& axis, int count) {
  std::vector<double> ticks;
  if (axis.Log) {
    for (double v = std::pow(10.0, std::ceil(std::log10(axis.Lo) - 1e-9)); v <= axis.Hi * (1 + 1e-9); v *= 10)
      ticks.push_back(v);
    return ticks;
  }
  const double raw = (axis.Hi - axis.Lo) / std::max(count, 1);
  const double decade = std::pow(10.0, std::floor(std::log10(raw)));
  double step = decade;
  for (double f : {1.0, 2.0, 5.0, 10.0})
    if (f * decade >= raw) {
      step = f * decade;
      break;
    }
  // Each tick as a multiple of the step, not a running sum, which would
  // carry the rounding of every step before it.
  for (double k = std::ceil(axis.Lo / step - 1e-9); k * step <= axis.Hi + 1e-9 * step; ++k)
    ticks.push_back(k * step);
  return ticks;
}

std::string TickLabel(double value, double spacing) {
  const int decimals = spacing >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(spacing) - 1e-9));
  return FormatFixed(value, decimals);
}

std::string SvgLine(double x1, double y1, double x2, double y2, std::string_view style) {
  return "<line x1=\"" + Px(x1) + "\" y1=\"" + Px(y1) + "\" x2=\"" + Px(x2) + "\" y2=\"" + Px(y2) + "\" style=\"" +
         std::string(style) + "\"/>";
}

std::string SvgText(double x, double y, std::string_view text, std::string_view anchor, std::string_view style) {
  return "<text x=\"" + Px(x) + "\" y=\"" + Px(y) + "\" text-anchor=\"" + std::string(anchor) + "\"" +
         (style.empty() ? "" : " style=\"" + std::string(style) + "\"") + ">" + EscapeHtml(text) + "</text>";
}

std::string SvgAxis(const TAxis& axis, double at, bool horizontal, const std::string& title) {
  std::string svg = horizontal ? SvgLine(axis.From, at, axis.To, at, "stroke:#000")
                               : SvgLine(at, axis.From, at, axis.To, "stroke:#000");
  const std::vector<double> ticks = Ticks(axis, 5);
  const double spacing = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
  for (double t : ticks) {
    const double p = axis(t);
    const std::string label = TickLabel(t, axis.Log ? t : spacing);
    svg += horizontal ? SvgLine(p, at, p, at + 4, "stroke:#000") + SvgText(p, at + 15, label, "middle", "font-size:10px")
                      : SvgLine(at - 4, p, at, p, "stroke:#000") + SvgText(at - 6, p + 3, label, "end", "font-size:10px");
  }
  if (title.empty()) return svg;
  const double middle = (axis.From + axis.To) / 2;
  svg += horizontal ? SvgText(middle, at + 30, title, "middle", "font-size:11px")
                    : "<text x=\"12\" y=\"" + Px(middle) + "\" text-anchor=\"middle\" transform=\"rotate(-90 12 " +
                          Px(middle) + ")\" style=\"font-size:11px\">" + EscapeHtml(title) + "</text>";
  return svg;
}

std::string SvgValueWithSu(const TAxis& axis, double y, double value, double su) {
  std::string svg;
  if (su > 0) {
    const double x0 = axis(value - 3 * su), x1 = axis(value + 3 * su);
    svg += "<rect x=\"" + Px(std::min(x0, x1)) + "\" y=\"" + Px(y - 5) + "\" width=\"" +
           Px(std::max(std::fabs(x1 - x0), 1.0)) + "\" height=\"10\" style=\"fill:#c8c8c8\"/>";
    const double a = axis(value - su), b = axis(value + su);
    svg += SvgLine(a, y, b, y, "stroke:#000;stroke-width:2");
    svg += SvgLine(a, y - 5, a, y + 5, "stroke:#000;stroke-width:1.5");
    svg += SvgLine(b, y - 5, b, y + 5, "stroke:#000;stroke-width:1.5");
  }
  const double x = axis(value);
  svg += "<path d=\"M" + Px(x) + " " + Px(y - 6) + "l5 6l-5 6l-5-6z\" style=\"fill:#fff;stroke:#000;stroke-width:1.5\"/>";
  return svg;
}

}  // namespace koravel
