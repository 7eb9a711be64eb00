#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

// The pieces of the pages' drawings: inline SVG written as text.

// A coordinate on the drawing, to a tenth of a pixel.
std::string Px(double x);

// An axis that maps values in [Lo, Hi] to pixels From..To, linearly or by
// the logarithm (Lo > 0).
struct TAxis {
  double Lo = 0, Hi = 1;
  double From = 0, To = 100;
  bool Log = false;
  double operator()(double value) const;
};

// Round values within the axis for its ticks: 1, 2 or 5 times a power of
// ten apart (the decades of a logarithmic axis), about `count` of them.
std::vector<double> Ticks(const TAxis& axis, int count);

// A tick's label: as few decimals as its spacing needs.
std::string TickLabel(double value, double spacing);

std::string SvgLine(double x1, double y1, double x2, double y2, std::string_view style);
// Text at (x, y); `anchor` "start", "middle" or "end".
std::string SvgText(double x, double y, std::string_view text, std::string_view anchor,
                    std::string_view style = "");

// A horizontal axis at height `at` (ticks and their labels below it) or a
// vertical one at x = `at` (to its left), with its title when not empty. A
// logarithmic axis labels each decade with the decimals it needs.
std::string SvgAxis(const TAxis& axis, double at, bool horizontal, const std::string& title = "");

// A value with its su on a horizontal axis at height y: the 3-su band as a
// light bar, the 1-su error bar with its caps, the value as a diamond (a
// lone diamond without su). Readable in grey print.
std::string SvgValueWithSu(const TAxis& axis, double y, double value, double su);

}  // namespace koravel
