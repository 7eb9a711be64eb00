#include "report/descriptors.h"

#include <cmath>

#include "base/numbers.h"
#include "base/text.h"

namespace koravel {

namespace {

// "a", "a and b", "a, b and c".
std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  return text;
}

void WriteDescriptorLine(TTextSink& out, const TDescriptorValue& d) {
  const TPropagated& v = d.Value;
  std::string value = FormatValueSu(v.Value, v.Su, d.Row->Decimals);
  if (!d.Row->Unit.empty()) (value += ' ') += d.Row->Unit;
  std::string line = "  " + PadRight(d.Row->Name, 9) + "= " + PadRight(value, 17);
  if (v.ParametersEntered && v.Su == 0 && !d.MonteCarlo) {
    line += "fixed by symmetry";
  } else if (d.MonteCarlo) {
    const int decimals = SuDecimals(v.Su > 0 ? v.Su : d.MonteCarlo->Sd) + 1;
    line += "Monte Carlo: mean " + FormatFixed(d.MonteCarlo->Mean, decimals) + ", sd " +
            FormatFixed(d.MonteCarlo->Sd, decimals);
  } else {
    line += d.Row->Meaning;
  }
  out.WriteLine(TrimRight(line));
  if (d.Row->Name == "h" && v.Su > 0)
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

void WriteGapNote(TTextSink& out, const TFlaggedGap& gap) {
  const std::string value = FormatValueSu(gap.Value, gap.Su, 2);
  const std::string unit = gap.What.find("distance") != std::string::npos ? " A" : " deg";
  const bool one = gap.Descriptors.size() == 1;
  const std::string indices = Joined(gap.Descriptors);
  if (gap.Kind == TFlaggedGap::Choice)
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
void WriteNearlyLinearNote(TTextSink& out, const std::vector<TDescriptorValue>& descriptors) {
  std::vector<std::string> names;
  long long draws = 0;
  for (const TDescriptorValue& d : descriptors)
    if (d.Value.Draws > 0) {
      names.emplace_back(d.Row->Name);
      draws = d.Value.Draws;
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
void WriteSecondOrderNote(TTextSink& out, const TDescriptorValue& d) {
  const TPropagated& v = d.Value;
  if (v.Draws > 0 || !NearExtremum(v)) return;
  WriteWrappedNote(out, std::string(d.Row->Name) + " is near an extremum: the second-order term (" +
                            FormatFixed(100 * SecondOrderShare(v), 0) +
                            " % of the variance) is included; expectation shift = " +
                            FormatFixed(v.Shift, SuDecimals(v.Su) + 1) + ".");
}

}  // namespace

void WriteDescriptorSection(TTextSink& out, const TAnalysis& a) {
  if (a.Descriptors.empty()) return;
  out.WriteLine("");
  out.WriteLine("Geometry indices:");
  for (const TDescriptorValue& d : a.Descriptors) WriteDescriptorLine(out, d);
  if (!a.Problem.empty()) WriteWrappedNote(out, a.Problem);
  WriteNearlyLinearNote(out, a.Descriptors);
  for (const TDescriptorValue& d : a.Descriptors) WriteSecondOrderNote(out, d);
  for (const TFlaggedGap& gap : a.Flagged) WriteGapNote(out, gap);
}

}  // namespace koravel
