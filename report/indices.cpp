#include "report/indices.h"

#include <cmath>

#include "base/numbers.h"
#include "base/text.h"

namespace koravel {

namespace {

// What each index tells, for the line without a Monte Carlo check.
std::string Meaning(const std::string& name, bool octahedral) {
  if (name == "h") return "centre above the plane of L1, L2, L3";
  if (name == "tau4") return "1 tetrahedral, 0 square planar (Yang et al. 2007)";
  if (name == "tau4'") return "1 tetrahedral, 0 square planar (Okuniewski et al. 2015)";
  if (name == "tau5") return "1 trigonal bipyramidal, 0 square pyramidal (Addison et al. 1984)";
  if (name == "Sigma") return "sum of |90 - phi| over the 12 cis angles";
  if (name == "Theta") return "sum of |60 - theta| over the 24 trigonal twist angles";
  if (name == "zeta") return "sum of |d - mean d| over the 6 bonds";
  if (name == "Delta") return "mean of ((d - mean d)/mean d)^2 over the 6 bonds";
  if (name == "sigma2")
    return octahedral ? "bond-angle variance, 12 cis angles from 90 deg"
                      : "bond-angle variance from 109.4712 deg";
  if (name == "<lambda>") return "quadratic elongation (Robinson et al. 1971)";
  return "";
}

// "a", "a and b", "a, b and c".
std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  return text;
}

void WriteIndexLine(TTextSink& out, const TIndex& index, bool octahedral) {
  const TPropagated& v = index.Value;
  std::string value = FormatValueSu(v.Value, v.Su, index.Decimals);
  if (!index.Unit.empty()) value += " " + index.Unit;
  std::string line = "  " + PadRight(index.Name, 9) + "= " + PadRight(value, 17);
  if (v.ParametersEntered && v.Su == 0 && !index.MonteCarlo) {
    line += "fixed by symmetry";
  } else if (index.MonteCarlo) {
    const int d = SuDecimals(v.Su > 0 ? v.Su : index.MonteCarlo->Sd) + 1;
    line += "Monte Carlo: mean " + FormatFixed(index.MonteCarlo->Mean, d) + ", sd " +
            FormatFixed(index.MonteCarlo->Sd, d);
  } else {
    line += Meaning(index.Name, octahedral);
  }
  out.WriteLine(TrimRight(line));
  if (index.Name == "h" && v.Su > 0)
    out.WriteLine("  " + PadRight("|h|/su", 9) + "= " + PadRight(FormatFixed(std::fabs(v.Value) / v.Su, 1), 17) +
                  "h > 0: L1 -> L2 -> L3 counter-clockwise seen from M");
}

// A note of several sentences, its words wrapped at 78 characters.
void WriteWrappedNote(TTextSink& out, const std::string& text) {
  constexpr size_t kWidth = 78;
  std::string line = "  Note:";
  for (std::string_view word : SplitFields(text, IsBlank)) {
    if (line.size() + 1 + word.size() > kWidth) {
      out.WriteLine(line);
      line = "       ";
    }
    line += ' ';
    line += word;
  }
  out.WriteLine(line);
}

void WriteGapNote(TTextSink& out, const TIndexGap& gap) {
  const std::string value = FormatValueSu(gap.Value, gap.Su, 2);
  const std::string unit = gap.What.find("distance") != std::string::npos ? " A" : " deg";
  const bool one = gap.Indices.size() == 1;
  const std::string indices = Joined(gap.Indices);
  if (gap.Kind == TIndexGap::Choice)
    WriteWrappedNote(out, gap.What + " differ by " + value + unit + ", less than 3 su: which angles " +
                              indices + (one ? " uses" : " use") + " is not certain, so " +
                              (one ? "its" : "their") +
                              " first-order su is not reliable; --mc=N gives the distribution.");
  else
    WriteWrappedNote(out, gap.What + " is " + value + unit + ", less than 3 su from zero: " +
                              indices + (one ? " has" : " have") + " a kink there, so " +
                              (one ? "its" : "their") +
                              " first-order su is not reliable; --mc=N gives the distribution.");
}

// The indices whose su and shift come from a Monte Carlo, for containing a
// nearly linear angle.
void WriteNearlyLinearNote(TTextSink& out, const TIndices& indices) {
  std::vector<std::string> names;
  long long draws = 0;
  for (const TIndex& index : indices.List)
    if (index.Draws > 0) {
      names.push_back(index.Name);
      draws = index.Draws;
    }
  if (names.empty()) return;
  const bool one = names.size() == 1;
  WriteWrappedNote(out, Joined(names) + (one ? " contains" : " contain") +
                            " an angle within 3 su of 180 or 0 deg, where it has no derivative: " +
                            (one ? "its" : "their") + " su and shift come from a Monte Carlo of " +
                            std::to_string(draws) + " draws (fixed seed).");
}

// Near a minimum (σ², Δ, ⟨λ⟩ at an ideal polyhedron) the second-order term
// carries the su, as for the angle sum near 360.
void WriteSecondOrderNote(TTextSink& out, const TIndex& index) {
  const TPropagated& v = index.Value;
  if (!(v.Su > 0) || index.Draws > 0) return;
  const double ratio = (v.SuSecondOrder * v.SuSecondOrder) / (v.Su * v.Su);
  if (!(ratio >= 0.1)) return;
  WriteWrappedNote(out, index.Name + " is near an extremum: the second-order term (" +
                            FormatFixed(100 * ratio, 0) +
                            " % of the variance) is included; expectation shift = " +
                            FormatFixed(v.Shift, SuDecimals(v.Su) + 1) + ".");
}

}  // namespace

void WriteIndexSection(TTextSink& out, const TIndices& indices) {
  if (indices.List.empty()) return;
  const bool octahedral = indices.List.front().Name == "Sigma";
  out.WriteLine("");
  out.WriteLine("Geometry indices:");
  for (const TIndex& index : indices.List) WriteIndexLine(out, index, octahedral);
  if (!indices.Problem.empty()) WriteWrappedNote(out, indices.Problem);
  WriteNearlyLinearNote(out, indices);
  for (const TIndex& index : indices.List) WriteSecondOrderNote(out, index);
  for (const TIndexGap& gap : indices.Flagged) WriteGapNote(out, gap);
}

}  // namespace koravel
