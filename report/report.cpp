#include "report/report.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <string_view>

#include "base/file.h"
#include "base/numbers.h"
#include "base/text.h"
#include "crystal/sym_code.h"
#include "report/descriptors.h"
#include "report/header.h"

namespace koravel {

namespace {

std::string AngleWord(size_t count) { return count == 1 ? "angle" : "angles"; }

// One line of a ligand table: position, label, symmetry column, distance.
void WriteLigandRow(TTextSink& out, size_t position, const std::string& label, const std::string& symmetry,
                    const TValue& distance) {
  const std::string number = std::to_string(position);
  const std::string d = FormatValueSu(distance.Value, distance.Su, 3);
  out.WriteRow("  " + PadLeft(number, 2) + "  " + PadRight(label, 14) + "  " + PadRight(symmetry, 10) + "  " + d,
               {number, label, symmetry, d});
}

void WriteLigandTableHead(TTextSink& out) {
  out.WriteRow("  No  Atom            Symmetry    Distance [A]", {"No", "Atom", "Symmetry", "Distance [A]"}, true);
}

std::string CentroidDefinitionLine(const TStructure& s, const TLigand& ligand) {
  std::string line = "      " + ligand.Label + " = centroid of";
  for (const TSiteRef& site : ligand.Members) {
    line += ' ';
    line += s.Atoms[static_cast<size_t>(site.Atom)].Label;
    if (!IsAtomItself(s, site)) line += '#' + SymCode(s, site);
  }
  return line + "  (" + std::to_string(ligand.Members.size()) + " atoms, unit weights)";
}

// "  %-14s - %-6s - %-14s  %12s   %s"
void WriteAngleRow(TTextSink& out, const TStructure& s, const TCentre& centre,
                   const std::vector<TLigand>& ligands, const TAngle& a) {
  const std::string l1 = LigandDisplayName(s, ligands[static_cast<size_t>(a.Lig1)]);
  const std::string l2 = LigandDisplayName(s, ligands[static_cast<size_t>(a.Lig2)]);
  const std::string value = FormatValueSu(a.Value, a.Su, 2);
  const std::string origin = a.FromCif ? "(CIF)" : "(calculated)";
  out.WriteRow("  " + PadRight(l1, 14) + " - " + PadRight(centre.Label, 6) + " - " + PadRight(l2, 14) + "  " +
                   PadLeft(value, 12) + "   " + origin,
               {l1 + " - " + centre.Label + " - " + l2, value, origin});
}

void WriteLigandTable(TTextSink& out, const TStructure& s, const std::vector<TLigand>& ligands,
                      const std::vector<TValue>& distances) {
  out.WriteLine("");
  out.WriteLine("Ligands (" + std::to_string(ligands.size()) + "):");
  WriteLigandTableHead(out);
  for (size_t i = 0; i < ligands.size(); ++i)
    WriteLigandRow(out, i + 1, ligands[i].Label, ligands[i].IsCentroid ? "centroid" : SymCode(s, ligands[i].Site),
                   distances[i]);
  for (const TLigand& ligand : ligands)
    if (ligand.IsCentroid) out.WriteLine(CentroidDefinitionLine(s, ligand));
}

void WriteAngleTable(TTextSink& out, const TStructure& s, const TAnalysis& a) {
  out.WriteLine("");
  out.WriteLine("Bond angles L-M-L (sorted in descending order):");
  for (const TAngle& angle : a.Angles.List) WriteAngleRow(out, s, a.Centre, a.Ligands.List, angle);
}

// The operators behind the symmetry codes of the tables, their lattice
// translations folded in as papers print them: "2_565 = -x, 1-y, z", in
// the order the codes first appear, wrapped at 78 characters.
void WriteSymmetryCodes(TTextSink& out, const TStructure& s, const std::vector<TLigand>& ligands) {
  std::vector<std::string> codes, entries;
  for (const TLigand& ligand : ligands)
    for (const TSiteRef& site : ligand.Members) {
      const std::string code = SymCode(s, site);
      if (IsAtomItself(s, site) || std::find(codes.begin(), codes.end(), code) != codes.end()) continue;
      codes.push_back(code);
      entries.push_back(code + " = " + SymCodeOperator(s, site));
    }
  if (entries.empty()) return;
  out.WriteLine("");
  std::string line = "Symmetry codes: ";
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string entry = entries[i] + (i + 1 < entries.size() ? ";" : "");
    if (line.size() > 16 && line.size() + 1 + entry.size() > 78) {
      out.WriteLine(TrimRight(line));
      line = std::string(16, ' ');
    }
    if (line.size() > 16) line += ' ';
    line += entry;
  }
  out.WriteLine(line);
}

// 360 minus the sum, exactly 0 within rounding.
double DeviationFromPlanar(const TPropagated& r) {
  const double deviation = 360 - r.Value;
  return std::fabs(deviation) < 5e-7 ? 0 : deviation;
}

// Three ligands: the deviation from a planar 360 degrees and, when there is
// an su to judge it by, the classification.
void WriteThreeLigandLines(TTextSink& out, const TAnalysis& a) {
  const TPropagated& r = a.Angles.Sum;
  const std::string deviation = FormatValueSu(DeviationFromPlanar(r), r.Su, 2) + " deg";
  const std::string meaning = "(0 = planar; trigonal pyramid with 3 x 109.47: 31.59)";
  out.WriteRow("  360 - Sum  = " + deviation + "     " + meaning, {"360 - Sum", deviation, meaning});
  const std::string planarity = PlanarityText(a.Planarity);
  if (planarity.empty()) return;
  out.WriteLine("");
  out.WriteLine("  Classification: " + planarity);
}

void WriteFourLigandReference(TTextSink& out) {
  const double tetrahedral = 6 * std::acos(-1.0 / 3.0) * kDegPerRad;
  out.WriteLine("               (reference: tetrahedral 6 x 109.47 = " +
                FormatFixed(tetrahedral, 2) + ", square planar 4 x 90 + 2 x 180 = 720.00)");
}

// The Monte Carlo mean and sd beside the reported value + shift and su, one
// decimal more than the su is written with.
void WriteMonteCarloLines(TTextSink& out, const TMonteCarlo& mc, const TPropagated& r,
                          bool reportedFromMonteCarlo) {
  const int d = SuDecimals(r.Su > 0 ? r.Su : mc.Sd) + 1;
  const std::string draws = "  Monte Carlo, " + std::to_string(mc.Draws) + " draws: ";
  const size_t width = std::max<size_t>(draws.size(), 28);
  out.WriteLine(PadRight(draws, width) + "mean = " + FormatFixed(mc.Mean, d) +
                ", sd = " + FormatFixed(mc.Sd, d) + " deg");
  out.WriteLine(PadRight(reportedFromMonteCarlo ? "  Reported (Monte Carlo):" : "  Propagated:", width) +
                "value + shift = " +
                FormatFixed(r.Value + r.Shift, d) + ", su = " + FormatFixed(r.Su, d) + " deg");
}

void WriteSum(TTextSink& out, const TAnalysis& a) {
  const TAngles& angles = a.Angles;
  const TPropagated& r = angles.Sum;
  const size_t ligandCount = a.Ligands.List.size();
  out.WriteLine("");
  out.WriteLine("Sum of the " + std::to_string(angles.List.size()) + " " +
                AngleWord(angles.List.size()) + " around " + a.Centre.Label + ":");
  const std::string sum = FormatValueSu(r.Value, r.Su, 2) + " deg";
  out.WriteRow("  Sum(L-M-L) = " + sum, {"Sum(L-M-L)", sum});
  if (ligandCount == 4) WriteFourLigandReference(out);
  if (angles.SumMonteCarlo) WriteMonteCarloLines(out, *angles.SumMonteCarlo, r, r.Draws > 0);
  if (ligandCount == 3) WriteThreeLigandLines(out, a);
}

bool AnyFromCif(const std::vector<TAngle>& angles) {
  for (const TAngle& a : angles)
    if (a.FromCif) return true;
  return false;
}

bool AllFromCif(const std::vector<TAngle>& angles) {
  for (const TAngle& a : angles)
    if (!a.FromCif) return false;
  return true;
}

// The angles of the sum that lie nearly on a straight line, and that the su
// and shift of the sum therefore come from a Monte Carlo.
void WriteNearlyLinearNote(TTextSink& out, const TStructure& s, const TAnalysis& a) {
  const TAngles& angles = a.Angles;
  const std::vector<TLigand>& ligands = a.Ligands.List;
  const TPropagated& r = angles.Sum;
  out.WriteLine("");
  out.WriteLine("  Nearly linear: at 180 or 0 deg an angle has no derivative (near there it");
  out.WriteLine("  behaves like the length of a 2-D vector). The angles below lie within");
  out.WriteLine("  3 su of it, so the su of the sum and its expectation shift (" +
                FormatFixed(r.Shift, SuDecimals(r.Su) + 1) + " deg)");
  out.WriteLine("  come from a Monte Carlo of " + std::to_string(r.Draws) +
                " draws (fixed seed) instead of propagation:");
  for (const TNearlyLinear& angle : angles.NearlyLinear)
    out.WriteLine("    " + LigandDisplayName(s, ligands[static_cast<size_t>(angle.Lig1)]) + " - " +
                  a.Centre.Label + " - " + LigandDisplayName(s, ligands[static_cast<size_t>(angle.Lig2)]) +
                  ": " + FormatFixed(angle.Value, 2) + " deg, su across the line " +
                  FormatFixed(angle.Su, SuDecimals(angle.Su)) + " deg");
}

// Near an extremum of the sum the second-order term carries the su; says how
// much, and the expectation shift.
void WriteNonLinearityNote(TTextSink& out, const TPropagated& r) {
  if (!NearExtremum(r)) return;
  const double ratio = SecondOrderShare(r);
  const int d = SuDecimals(r.Su) + 1;
  out.WriteLine("");
  out.WriteLine("  Non-linearity: the sum is close to an extremum, where its first");
  out.WriteLine("  derivatives vanish. Linear propagation alone would give only " +
                FormatFixed(r.SuLinear, d) + " deg;");
  out.WriteLine("  the second-order term (" + FormatFixed(100 * ratio, 0) +
                " % of the variance) has been included.");
  // One-sided only where the curvature bends the sum down, at its maximum
  // (360 deg for three ligands); a positive shift is no such bound.
  if (r.Shift < 0) {
    out.WriteLine("  The distribution is one-sided (the sum cannot exceed its");
    out.WriteLine("  maximum): expectation shift = " + FormatFixed(r.Shift, d) + " deg.");
  } else {
    out.WriteLine("  Expectation shift = " + FormatFixed(r.Shift, d) + " deg: positive, so the sum is");
    out.WriteLine("  not at its maximum here and its distribution is not one-sided.");
  }
}

// Riding hydrogen atoms make their angles a constraint, not an observation.
void WriteHydrogenNote(TTextSink& out, const std::vector<TLigand>& ligands) {
  bool hydrogen = false;
  for (const TLigand& ligand : ligands)
    if (!ligand.IsCentroid && (SameText(ligand.Element, "H") || SameText(ligand.Element, "D")))
      hydrogen = true;
  if (!hydrogen) return;
  out.WriteLine("");
  out.WriteLine("  Hydrogen ligand(s): if these were refined riding (AFIX/HFIX), their");
  out.WriteLine("  positions follow from the parent geometry - the angles to them and");
  out.WriteLine("  thus the sum reflect the constraint, not an observation. Select the");
  out.WriteLine("  heavy-atom ligands explicitly to leave them out.");
}

void WriteCifAnglesLine(TTextSink& out) {
  out.WriteLine("Note: angles marked (CIF) were taken from the _geom_angle loop.");
}

void WriteNoSuNotes(TTextSink& out, const TSource& source) {
  out.WriteLine(std::string("Note: all angles were computed from ") +
                (source.Cartesian ? "the Cartesian coordinates." : "cell parameters and coordinates."));
  out.WriteLine("      No standard uncertainties are given - see the warning above.");
}

void WriteZeroSuNotes(TTextSink& out, const TAnalysis& a) {
  if (AnyFromCif(a.Angles.List)) WriteCifAnglesLine(out);
  if (a.SumFixedBySymmetry) {
    out.WriteLine("Note: the sum is fixed by symmetry; its su is zero.");
    return;
  }
  // A cell with su around coordinates without: the cell alone does not move
  // the sum by a printable amount (a planar sum not at all).
  if (a.Angles.Sum.ParametersEntered && a.Angles.Sum.FreeWithoutSu) {
    out.WriteLine("Note: the input holds no su for the coordinates involved; the su of");
    out.WriteLine("      the cell alone gives the sum an su below 0.00005 deg, so no su");
    out.WriteLine("      can be given for the sum.");
    return;
  }
  out.WriteLine("Note: the input holds no su for the coordinates and cell parameters");
  out.WriteLine("      involved, so no su can be given for the sum.");
}

// Coordinates and cell parameters that symmetry ties to free parameters
// (y = x on (x,x,z), b = a in a tetragonal cell) move with them and count once.
void WriteTiedNote(TTextSink& out, const TPropagated& r) {
  std::string parts;
  if (r.TiedCount > 0) parts += std::to_string(r.TiedCount) + " coordinate(s)";
  if (r.CellTiedCount > 0)
    parts += (parts.empty() ? "" : ", ") + std::to_string(r.CellTiedCount) + " cell parameter(s)";
  if (!parts.empty()) out.WriteLine("      Tied by symmetry to free parameters: " + parts + ".");
}

void WritePropagatedSuNotes(TTextSink& out, const TSource& source, const TModel& model,
                            const TAngles& angles) {
  const TPropagated& r = angles.Sum;
  if (AnyFromCif(angles.List)) {
    WriteCifAnglesLine(out);
    // Published angles are rounded, so their plain sum can differ from the
    // sum computed from the coordinates; say so when it shows.
    double plainSum = 0;
    for (const TAngle& a : angles.List) plainSum += a.Value;
    if (AllFromCif(angles.List) && std::fabs(plainSum - r.Value) >= 0.005) {
      out.WriteLine("      Their plain sum is " + FormatFixed(plainSum, 2) +
                    " deg (from the rounded values); the sum above");
      out.WriteLine("      is computed from the coordinates.");
    }
  }
  if (r.Draws > 0)
    out.WriteLine("Note: the su of the sum comes from a Monte Carlo over the coordinates");
  else
    out.WriteLine("Note: the su of the sum was propagated directly from the coordinates");
  // A single angle is its own sum: there is no correlation to speak of.
  if (angles.List.size() == 1) {
    out.WriteLine("      and the cell.");
  } else {
    out.WriteLine("      and the cell, not from the su of the individual angles - these");
    out.WriteLine("      are correlated through the shared atoms. Treating them as");
    out.WriteLine("      independent would give sqrt(sum su^2) = " + FormatFixed(angles.SuIndependent, 3) +
                  " deg instead.");
  }
  WriteTiedNote(out, r);
  if (model.Covariance) {
    out.WriteLine("      The full variance-covariance matrix of " + FileNameOnly(source.MatFileName) +
                  " was used,");
    out.WriteLine("      so the correlations between the refined coordinates are included.");
    if (r.FixedCount > 0) {
      out.WriteLine("      " + std::to_string(r.FixedCount) +
                    " of the coordinates involved are not free");
      out.WriteLine("      parameters (fixed by symmetry or riding); they contribute");
      out.WriteLine("      nothing to the su.");
    }
    return;
  }
  out.WriteLine("      A CIF holds no covariances between the coordinates, so these");
  out.WriteLine("      are neglected (as for the calculated angles). For the full");
  out.WriteLine("      treatment use the .res together with the SHELXL .mat file.");
}

// Where the su come from (or why there are none).
void WriteSuNotes(TTextSink& out, const TSource& source, const TModel& model, const TAnalysis& a) {
  if (!model.HasSu) {
    WriteNoSuNotes(out, source);
    return;
  }
  if (!(a.Angles.Sum.Su > 0) && !std::isnan(a.Angles.Sum.Su)) {
    WriteZeroSuNotes(out, a);
    return;
  }
  WritePropagatedSuNotes(out, source, model, a.Angles);
}

// The notes on the ligands' names: Olex2 suffixes removed, automatic
// ligands dropped for occupying the place of another.
void WriteNameNotes(TTextSink& out, const TStructure& s, const TAnalysis& a) {
  const TLigandSet& ligands = a.Ligands;
  if (a.Centre.SuffixRemoved || ligands.SuffixRemoved)
    WriteFact(out, "Note", "Olex2 symmetry suffixes (_$n) removed; the nearest symmetry image was used in each case.");
  // Two partly occupied atoms at one place are the alternatives of a
  // disorder; two full ones, an atom and its symmetry copy listed again.
  auto partial = [&s](const TLigand& l) { return s.Atoms[static_cast<size_t>(l.Site.Atom)].Occ < 1; };
  for (const auto& [kept, dropped] : ligands.SamePlace)
    WriteFact(out, "Note", LigandDisplayName(s, kept) + " and " + LigandDisplayName(s, dropped) +
                               " occupy the same place; " +
                               (partial(kept) && partial(dropped)
                                    ? "they are alternatives of a disorder, the second is left out."
                                    : "the file lists one atom twice."));
  if (!ligands.LeftOut.empty()) WriteListFact(out, "Note", "left out: " + LeftOutText(s, ligands.LeftOut) + ".");
}

// The neighbours found, listed before a coordination-number error.
void WriteNeighbourTable(TTextSink& out, const TStructure& s, const TAnalysis& a) {
  const std::vector<TLigand>& ligands = a.Ligands.List;
  out.WriteLine("");
  const std::string count = std::to_string(a.Ligands.Count());
  out.WriteLine(a.Ligands.Unlisted == 0
                    ? "Neighbours found (" + count + "):"
                    : "Neighbours found (" + count + "), the nearest " + std::to_string(ligands.size()) + ":");
  for (size_t i = 0; i < ligands.size(); ++i)
    WriteLigandRow(out, i + 1, ligands[i].Label, ligands[i].IsCentroid ? "centroid" : SymCode(s, ligands[i].Site),
                   a.Distances[i]);
  out.WriteLine("");
}

}  // namespace

std::string LeftOutText(const TStructure& s, const std::vector<TLeftOut>& leftOut) {
  static const std::pair<TLeftOutReason, const char*> kReasons[] = {
      {TLeftOutReason::Behind, " behind "},
      {TLeftOutReason::BondedTo, " bonded to "},
      {TLeftOutReason::BridgedBy, " bridged by "}};
  auto addOnce = [](std::vector<std::string>& names, std::string name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
  };
  auto joined = [](const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
  };
  // The nearest only, as for a sphere of too many ligands: a cell of
  // overlapping molecules leaves out thousands.
  const size_t named = std::min(leftOut.size(), kListedNeighbours);
  std::string text;
  for (const auto& [reason, words] : kReasons) {
    std::vector<std::string> atoms, partners;
    for (size_t k = 0; k < named; ++k) {
      const TLeftOut& out = leftOut[k];
      if (out.Reason != reason) continue;
      addOnce(atoms, SiteDisplayName(s, out.Site));
      for (const TSiteRef& partner : out.Partners) addOnce(partners, SiteDisplayName(s, partner));
    }
    if (atoms.empty()) continue;
    if (!text.empty()) text += "; ";
    text += joined(atoms) + words + joined(partners);
  }
  if (leftOut.size() > named) text += "; " + std::to_string(leftOut.size() - named) + " more atoms farther out";
  return text;
}

std::string PlanarityText(TPlanarity planarity) {
  switch (planarity) {
    case TPlanarity::FixedBySymmetry: return "planar (fixed by symmetry)";
    case TPlanarity::Within3Su: return "planar within 3 su";
    case TPlanarity::NearlyPlanar: return "nearly planar (significantly pyramidalised)";
    case TPlanarity::Flattened: return "flattened pyramidal";
    case TPlanarity::Pyramidal: return "pyramidal";
    case TPlanarity::Unknown: break;
  }
  return "";
}

void WriteAnalysis(TTextSink& out, const TSource& source, const TModel& model, const TAnalysis& a) {
  const TStructure& s = model.Structure;
  WriteNameNotes(out, s, a);
  if (!a.Complete()) {
    WriteNeighbourTable(out, s, a);
    return;
  }
  const size_t n = a.Ligands.List.size();
  out.WriteLine("Coordination number: " + std::to_string(n) + "  ->  " + std::to_string(n * (n - 1) / 2) +
                " L-M-L angle(s)");
  WriteLigandTable(out, s, a.Ligands.List, a.Distances);
  WriteAngleTable(out, s, a);
  WriteSymmetryCodes(out, s, a.Ligands.List);
  WriteSum(out, a);
  WriteDescriptorSection(out, a);
  WriteShapeSection(out, a);
  WriteBondValenceSection(out, a);
  if (a.Angles.Sum.Draws > 0)
    WriteNearlyLinearNote(out, s, a);
  else
    WriteNonLinearityNote(out, a.Angles.Sum);
  WriteHydrogenNote(out, a.Ligands.List);
  out.WriteLine("");
  WriteSuNotes(out, source, model, a);
}

// "%s: CN %d, sum of %d %s = %s deg  [%s]"
std::string BriefLine(const TSource& source, const TModel& model, const TAnalysis& a) {
  std::string names;
  for (const TLigand& ligand : a.Ligands.List) {
    if (!names.empty()) names += ' ';
    names += LigandDisplayName(model.Structure, ligand);
  }
  const size_t count = a.Angles.List.size();
  std::string line = a.Centre.Label + ": CN " + std::to_string(a.Ligands.List.size()) + ", sum of " +
                     std::to_string(count) + " " + AngleWord(count) + " = " +
                     FormatValueSu(a.Angles.Sum.Value, a.Angles.Sum.Su, 2) + " deg  [" + names + "]";
  if (!model.HasSu) line += "  (no su - from " + source.FileType + ")";
  if (!source.OtherCentralBlocks.empty()) line += "  (data block " + source.BlockName + ")";
  return line;
}

}  // namespace koravel
