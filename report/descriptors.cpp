#include "report/descriptors.h"

#include <algorithm>
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

// "name = value(su) unit" padded, then what stands beside it: "fixed by
// symmetry", the Monte Carlo check under --mc, or the meaning.
void WriteValueRow(TTextSink& out, std::string_view name, size_t nameWidth, const std::string& value,
                   size_t valueWidth, const std::string& beside) {
  // A name or value longer than its column still leaves a blank after it.
  const std::string line = "  " + PadRight(name, nameWidth) + (name.size() >= nameWidth ? " = " : "= ") +
                           PadRight(value, valueWidth) + (value.size() >= valueWidth ? " " : "") + beside;
  out.WriteRow(TrimRight(line), {std::string(name), value, beside});
}

void WriteValueRow(TTextSink& out, std::string_view name, size_t nameWidth, const TPropagated& v, int decimals,
                   std::string_view unit, size_t valueWidth, const std::optional<TMonteCarlo>& mc,
                   std::string_view meaning) {
  std::string value = FormatValueSu(v.Value, v.Su, decimals);
  if (!unit.empty()) (value += ' ') += unit;
  std::string beside(meaning);
  if (ValueWithKind(v).Kind == TSuKind::FixedBySymmetry && !mc) {
    beside = "fixed by symmetry";
  } else if (mc) {
    const int digits = SuDecimals(v.Su > 0 ? v.Su : mc->Sd) + 1;
    beside = "Monte Carlo: mean " + FormatFixed(mc->Mean, digits) + ", sd " + FormatFixed(mc->Sd, digits);
  }
  WriteValueRow(out, name, nameWidth, value, valueWidth, beside);
}

void WriteDescriptorLine(TTextSink& out, const TDescriptorValue& d) {
  if (!d.Undefined.empty()) {
    WriteValueRow(out, d.Row->Name, 9, "not defined (" + d.Undefined + ")", 0, "");
    return;
  }
  const TPropagated& v = d.Value;
  WriteValueRow(out, d.Row->Name, 9, v, d.Row->Decimals, d.Row->Unit, 17, d.MonteCarlo, d.Row->Meaning);
  if (d.Row->Name == "h" && v.Su > 0)
    WriteValueRow(out, "|h|/su", 9, FormatFixed(std::fabs(v.Value) / v.Su, 1), 17,
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

// "<names> has <why>: its su and shift come from a Monte Carlo of <draws>
// draws (fixed seed).", with "have" and "their" for several names (or the
// verbs given); nothing for no names.
void WriteSampledNote(TTextSink& out, const std::vector<std::string>& names, const std::string& why,
                      long long draws, std::string_view verb = "has", std::string_view verbMany = "have") {
  if (names.empty()) return;
  const bool one = names.size() == 1;
  WriteWrappedNote(out, Joined(names) + " " + std::string(one ? verb : verbMany) + " " + why + ": " +
                            (one ? "its" : "their") + " su and shift come from a Monte Carlo of " +
                            std::to_string(draws) + " draws (fixed seed).");
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
  WriteSampledNote(out, names, "an angle within 3 su of 180 or 0 deg, where it has no derivative", draws, "contains",
                   "contain");
}

// Near a minimum (σ², Δ, ⟨λ⟩ at an ideal polyhedron) the second-order term
// carries the su, as for the angle sum near 360.
void WriteSecondOrderNote(TTextSink& out, std::string_view name, const TPropagated& v) {
  if (v.Draws > 0 || !NearExtremum(v)) return;
  WriteWrappedNote(out, std::string(name) + " is near an extremum: the second-order term (" +
                            FormatFixed(100 * SecondOrderShare(v), 0) +
                            " % of the variance) is included; expectation shift = " +
                            FormatFixed(v.Shift, SuDecimals(v.Su) + 1) + ".");
}

// "+3", "-2".
std::string SignedState(int state) {
  std::string text = std::to_string(state);
  if (state > 0) text.insert(text.begin(), '+');
  return text;
}

// One line per pair and parameters, in ligand order: "Fe-O  R0 = 1.7590 A
// b = 0.370 A  a (Brown and Altermatt, ...)".
void WriteParameterLines(TTextSink& out, const TAnalysis& a) {
  std::vector<std::string> written;
  for (size_t i = 0; i < a.BondValenceSetup.Bonds.size(); ++i) {
    const TBondValenceParameters& p = a.BondValenceSetup.Bonds[i];
    const std::string line = "    " + PadRight(a.Centre.Element + "-" + a.Ligands.List[i].Element, 8) +
                             "R0 = " + FormatFixed(p.R0, 4) + " A  b = " + FormatFixed(p.B, 3) + " A  " + p.Source;
    if (std::find(written.begin(), written.end(), line) != written.end()) continue;
    written.push_back(line);
    out.WriteLine(line);
  }
}

}  // namespace

void WriteBondValenceSection(TTextSink& out, const TAnalysis& a) {
  if (a.BondValence.empty()) return;
  out.WriteLine("");
  out.WriteLine("Bond valence (s = exp((R0 - R)/b)):");
  std::vector<std::string> kinked;
  long long draws = 0;
  for (const TQuantityValue& v : a.BondValence) {
    if (!v.Undefined.empty()) {
      WriteValueRow(out, v.Row->Name, 9, "not defined (" + v.Undefined + ")", 0, "");
      continue;
    }
    WriteValueRow(out, v.Row->Name, 9, v.Value, v.Row->Decimals, v.Row->Unit, 17, v.MonteCarlo, v.Row->Meaning);
    if (v.Value.Draws > 0) kinked.emplace_back(v.Row->Name), draws = v.Value.Draws;
  }
  const TBondValenceSetup& setup = a.BondValenceSetup;
  if (!setup.Bonds.empty()) {
    out.WriteLine("  Parameters of BVS:");
    WriteParameterLines(out, a);
  }
  if (setup.StateAssumed && setup.State) {
    std::string states;
    for (int s : setup.TableStates) states += (states.empty() ? "" : ", ") + std::to_string(s);
    WriteWrappedNote(out, a.Centre.Element + " " + SignedState(*setup.State) + " assumed (BVS " +
                              FormatFixed(setup.AssumedSum, 2) + "; states in the table: " + states + ").");
  } else if (setup.State && !setup.Bonds.empty()) {
    WriteWrappedNote(out, a.Centre.Element + " " + SignedState(*setup.State) + " as the file gives it.");
  }
  for (const TQuantityValue& v : a.BondValence) WriteSecondOrderNote(out, v.Row->Name, v.Value);
  WriteSampledNote(out, kinked, "a kink within 3 su (a bond as long as the mean, or the centre at the centroid)",
                   draws);
  if (!setup.Bonds.empty() && ValueWithKind(a.BondValence.front().Value).Kind != TSuKind::NoSu)
    WriteWrappedNote(out, "the su of BVS comes from the coordinates and the cell alone: the parameters' own "
                          "uncertainty is not in the table.");
}

void WriteDescriptorSection(TTextSink& out, const TAnalysis& a) {
  if (a.Descriptors.empty()) return;
  out.WriteLine("");
  out.WriteLine("Geometry indices:");
  for (const TDescriptorValue& d : a.Descriptors) WriteDescriptorLine(out, d);
  if (!a.Problem.empty()) WriteWrappedNote(out, a.Problem);
  WriteNearlyLinearNote(out, a.Descriptors);
  for (const TDescriptorValue& d : a.Descriptors) WriteSecondOrderNote(out, d.Row->Name, d.Value);
  for (const TFlaggedGap& gap : a.Flagged) WriteGapNote(out, gap);
}

void WriteShapeSection(TTextSink& out, const TAnalysis& a) {
  const TShapeSection& section = a.Shapes;
  if (section.Shapes.empty()) return;
  out.WriteLine("");
  out.WriteLine("Shape measures (CShM, 0 = ideal shape):");
  std::vector<std::string> sampled;
  long long draws = 0;
  for (const TShapeValue& s : section.Shapes) {
    WriteValueRow(out, s.Shape->Name, 11, s.Value, 3, "", 14, s.MonteCarlo, s.Shape->Description);
    if (s.Value.Draws > 0) sampled.push_back("S(" + std::string(s.Shape->Name) + ")"), draws = s.Value.Draws;
  }
  for (const TPathValue& p : section.Paths) {
    const std::string pair = std::string(p.A->Name) + "," + std::string(p.B->Name);
    WriteValueRow(out, "path(" + pair + ")", 19, p.Deviation, 2, "%", 14, p.DeviationMonteCarlo,
                  "deviation from the minimal-distortion path");
    WriteValueRow(out, "phi(" + pair + ")", 19, p.Coordinate, 2, "%", 14, p.CoordinateMonteCarlo,
                  "along it: 0 at " + std::string(p.A->Name) + ", 100 at " + std::string(p.B->Name));
    if (p.Deviation.Draws > 0)
      sampled.push_back("path(" + pair + ")"), sampled.push_back("phi(" + pair + ")"), draws = p.Deviation.Draws;
  }
  for (const TShapeValue& s : section.Shapes)
    WriteSecondOrderNote(out, "S(" + std::string(s.Shape->Name) + ")", s.Value);
  WriteSampledNote(out, sampled,
                   "no derivative within 3 su (another assignment of the ligands to the vertices comes that "
                   "close to the best, or a measure that close to zero)",
                   draws);
}

}  // namespace koravel
