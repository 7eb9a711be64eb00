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
#include "report/indices.h"

namespace koravel {

namespace {

const char* const kIdentityCode = "1_555";

std::string AngleWord(size_t count) { return count == 1 ? "angle" : "angles"; }

// One line of a ligand table: position, label, symmetry column, distance.
std::string LigandTableLine(size_t position, const std::string& label, const std::string& symmetry,
                            const TValueSu& distance) {
  return "  " + PadLeft(std::to_string(position), 2) + "  " + PadRight(label, 14) + "  " +
         PadRight(symmetry, 10) + "  " + FormatValueSu(distance.Value, distance.Su, 3);
}

std::string CentroidDefinitionLine(const TStructure& s, const TLigand& ligand) {
  std::string line = "      " + ligand.Label + " = centroid of";
  for (const TSiteRef& site : ligand.Members) {
    line += ' ';
    line += s.Atoms[static_cast<size_t>(site.Atom)].Label;
    const std::string code = SymCode(s, site);
    if (code != kIdentityCode) line += '#' + code;
  }
  return line + "  (" + std::to_string(ligand.Members.size()) + " atoms, unit weights)";
}

// "  %-14s - %-6s - %-14s  %12s   %s"
std::string AngleLine(const TStructure& s, const TCentre& centre,
                      const std::vector<TLigand>& ligands, const TAngle& a) {
  return "  " + PadRight(LigandDisplayName(s, ligands[static_cast<size_t>(a.Lig1)]), 14) + " - " +
         PadRight(centre.Label, 6) + " - " +
         PadRight(LigandDisplayName(s, ligands[static_cast<size_t>(a.Lig2)]), 14) + "  " +
         PadLeft(FormatValueSu(a.Value, a.Su, 2), 12) + "   " +
         (a.FromCif ? "(CIF)" : "(calculated)");
}

void WriteLigandTable(TTextSink& out, const TStructure& s, const std::vector<TLigand>& ligands,
                      const std::vector<TValueSu>& distances) {
  out.WriteLine("");
  out.WriteLine("Ligands (" + std::to_string(ligands.size()) + "):");
  out.WriteLine("  No  Atom            Symmetry    Distance [A]");
  for (size_t i = 0; i < ligands.size(); ++i)
    out.WriteLine(LigandTableLine(i + 1, ligands[i].Label,
                                  ligands[i].IsCentroid ? "centroid" : SymCode(s, ligands[i].Site),
                                  distances[i]));
  for (const TLigand& ligand : ligands)
    if (ligand.IsCentroid) out.WriteLine(CentroidDefinitionLine(s, ligand));
}

void WriteAngleTable(TTextSink& out, const TStructure& s, const TCentre& centre,
                     const std::vector<TLigand>& ligands, const TAngles& angles) {
  out.WriteLine("");
  out.WriteLine("Bond angles L-M-L (sorted in descending order):");
  for (const TAngle& a : angles.List) out.WriteLine(AngleLine(s, centre, ligands, a));
}

// True when coordinates or cell parameters with an su entered the sum and
// its su still came out zero: symmetry holds the sum at its value.
bool SumFixedBySymmetry(const TInput& in, const TPropagated& r) {
  return in.HasSu && r.ParametersEntered && r.Su == 0;
}

// A sum fixed by symmetry within this of 360 degrees (it prints as 360.00)
// is planar: coordinates written as 0.3333 for 1/3 leave rounding noise.
constexpr double kPlanarBySymmetry = 0.005;

// 360 minus the sum, exactly 0 within rounding.
double DeviationFromPlanar(const TPropagated& r) {
  const double deviation = 360 - r.Value;
  return std::fabs(deviation) < 5e-7 ? 0 : deviation;
}

// Three ligands: the deviation from a planar 360 degrees and, when there is
// an su to judge it by, the classification.
void WriteThreeLigandLines(TTextSink& out, const TInput& in, const TPropagated& r) {
  out.WriteLine("  360 - Sum  = " + FormatValueSu(DeviationFromPlanar(r), r.Su, 2) +
                " deg     (0 = planar; trigonal pyramid with 3 x 109.47: 31.59)");
  const std::string planarity = Planarity(in, r);
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

void WriteSum(TTextSink& out, const TInput& in, const TCentre& centre, size_t ligandCount,
              const TAngles& angles) {
  const TPropagated& r = angles.Sum;
  out.WriteLine("");
  out.WriteLine("Sum of the " + std::to_string(angles.List.size()) + " " +
                AngleWord(angles.List.size()) + " around " + centre.Label + ":");
  out.WriteLine("  Sum(L-M-L) = " + FormatValueSu(r.Value, r.Su, 2) + " deg");
  if (ligandCount == 4) WriteFourLigandReference(out);
  if (angles.SumMonteCarlo) WriteMonteCarloLines(out, *angles.SumMonteCarlo, r, angles.SumDraws > 0);
  if (ligandCount == 3) WriteThreeLigandLines(out, in, r);
}

// The input file's extension without its point, upper case: "RES", "XYZ".
std::string UpperExtension(const std::string& fileName) {
  const std::string extension = FileExtension(fileName);
  return extension.empty() ? "" : UpperAscii(std::string_view(extension).substr(1));
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
void WriteNearlyLinearNote(TTextSink& out, const TStructure& s, const TCentre& centre,
                           const std::vector<TLigand>& ligands, const TAngles& angles) {
  const TPropagated& r = angles.Sum;
  out.WriteLine("");
  out.WriteLine("  Nearly linear: at 180 or 0 deg an angle has no derivative (near there it");
  out.WriteLine("  behaves like the length of a 2-D vector). The angles below lie within");
  out.WriteLine("  3 su of it, so the su of the sum and its expectation shift (" +
                FormatFixed(r.Shift, SuDecimals(r.Su) + 1) + " deg)");
  out.WriteLine("  come from a Monte Carlo of " + std::to_string(angles.SumDraws) +
                " draws (fixed seed) instead of propagation:");
  for (const TNearlyLinear& a : angles.NearlyLinear)
    out.WriteLine("    " + LigandDisplayName(s, ligands[static_cast<size_t>(a.Lig1)]) + " - " +
                  centre.Label + " - " + LigandDisplayName(s, ligands[static_cast<size_t>(a.Lig2)]) +
                  ": " + FormatFixed(a.Value, 2) + " deg, su across the line " +
                  FormatFixed(a.Su, SuDecimals(a.Su)) + " deg");
}

// Near an extremum of the sum the second-order term carries the su; says how
// much, and the expectation shift.
void WriteNonLinearityNote(TTextSink& out, const TInput& in, const TPropagated& r) {
  if (!in.HasSu || !(r.Su > 0)) return;
  const double ratio = (r.SuSecondOrder * r.SuSecondOrder) / (r.Su * r.Su);
  if (!(ratio >= 0.1)) return;
  const int d = SuDecimals(r.Su) + 1;
  out.WriteLine("");
  out.WriteLine("  Non-linearity: the sum is close to an extremum, where its first");
  out.WriteLine("  derivatives vanish. Linear propagation alone would give only " +
                FormatFixed(r.SuLinear, d) + " deg;");
  out.WriteLine("  the second-order term (" + FormatFixed(100 * ratio, 0) +
                " % of the variance) has been included.");
  out.WriteLine("  The distribution is one-sided (the sum cannot exceed its");
  out.WriteLine("  maximum): expectation shift = " + FormatFixed(r.Shift, d) + " deg.");
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

void WriteNoSuNotes(TTextSink& out, const TInput& in) {
  out.WriteLine(std::string("Note: all angles were computed from ") +
                (in.Kind == TInputKind::Xyz ? "the Cartesian coordinates."
                                            : "cell parameters and coordinates."));
  out.WriteLine("      No standard uncertainties are given - see the warning above.");
}

void WriteZeroSuNotes(TTextSink& out, const TInput& in, const TAngles& angles) {
  if (AnyFromCif(angles.List)) WriteCifAnglesLine(out);
  if (SumFixedBySymmetry(in, angles.Sum)) {
    out.WriteLine("Note: the sum is fixed by symmetry; its su is zero.");
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

void WritePropagatedSuNotes(TTextSink& out, const TInput& in, const TAngles& angles) {
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
  if (angles.SumDraws > 0)
    out.WriteLine("Note: the su of the sum comes from a Monte Carlo over the coordinates");
  else
    out.WriteLine("Note: the su of the sum was propagated directly from the coordinates");
  out.WriteLine("      and the cell, not from the su of the individual angles - these");
  out.WriteLine("      are correlated through the shared atoms. Treating them as");
  out.WriteLine("      independent would give sqrt(sum su^2) = " +
                FormatFixed(angles.SuIndependent, 3) + " deg instead.");
  WriteTiedNote(out, r);
  if (in.Matrix) {
    out.WriteLine("      The full variance-covariance matrix of " + FileNameOnly(in.MatFileName) +
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
void WriteSuNotes(TTextSink& out, const TInput& in, const TAngles& angles) {
  if (!in.HasSu) {
    WriteNoSuNotes(out, in);
    return;
  }
  if (!(angles.Sum.Su > 0) && !std::isnan(angles.Sum.Su)) {
    WriteZeroSuNotes(out, in, angles);
    return;
  }
  WritePropagatedSuNotes(out, in, angles);
}

}  // namespace

// A sum that symmetry fixes at 360 degrees is planar by symmetry; any other
// sum without an su cannot be classified, since "planar" cannot be told
// from "nearly planar". Otherwise the first test that holds; a
// not-a-number operand fails its test.
std::string Planarity(const TInput& in, const TPropagated& r) {
  if (SumFixedBySymmetry(in, r))
    return std::fabs(360 - r.Value) < kPlanarBySymmetry ? "planar (fixed by symmetry)" : "";
  if (!(in.HasSu && r.Su > 0)) return "";
  if (3 * r.Su >= DeviationFromPlanar(r)) return "planar within 3 su";
  if (r.Value >= 350.0) return "nearly planar (significantly pyramidalised)";
  if (r.Value >= 340.0) return "flattened pyramidal";
  return "pyramidal";
}

void WriteNameNotes(TTextSink& out, const TStructure& s, const TCentre& centre,
                    const TLigandSet& ligands) {
  if (centre.SuffixRemoved || ligands.SuffixRemoved)
    out.WriteLine(
        "Note         : Olex2 symmetry suffixes (_$n) removed; the nearest symmetry image "
        "was used in each case.");
  // Two partly occupied atoms at one place are the alternatives of a
  // disorder; two full ones, an atom and its symmetry copy listed again.
  auto partial = [&s](const TLigand& l) { return s.Atoms[static_cast<size_t>(l.Site.Atom)].Occ < 1; };
  for (const auto& [kept, dropped] : ligands.SamePlace)
    out.WriteLine("Note         : " + LigandDisplayName(s, kept) + " and " +
                  LigandDisplayName(s, dropped) + " occupy the same place; " +
                  (partial(kept) && partial(dropped)
                       ? "they are alternatives of a disorder, the second is left out."
                       : "the file lists one atom twice."));
}

void WriteNeighbourTable(TTextSink& out, const TInput& in, const std::vector<TLigand>& ligands,
                         const std::vector<TValueSu>& distances) {
  out.WriteLine("");
  out.WriteLine("Neighbours found (" + std::to_string(ligands.size()) + "):");
  for (size_t i = 0; i < ligands.size(); ++i)
    out.WriteLine(LigandTableLine(i + 1, ligands[i].Label, SymCode(in.Structure, ligands[i].Site),
                                  distances[i]));
  out.WriteLine("");
}

void WriteCoordinationLine(TTextSink& out, size_t n) {
  out.WriteLine("Coordination number: " + std::to_string(n) + "  ->  " +
                std::to_string(n * (n - 1) / 2) + " L-M-L angle(s)");
}

void WriteReport(TTextSink& out, const TInput& in, const TCentre& centre,
                 const std::vector<TLigand>& ligands, const std::vector<TValueSu>& distances,
                 const TAngles& angles, const TIndices& indices) {
  WriteLigandTable(out, in.Structure, ligands, distances);
  WriteAngleTable(out, in.Structure, centre, ligands, angles);
  WriteSum(out, in, centre, ligands.size(), angles);
  WriteIndexSection(out, indices);
  if (angles.SumDraws > 0)
    WriteNearlyLinearNote(out, in.Structure, centre, ligands, angles);
  else
    WriteNonLinearityNote(out, in, angles.Sum);
  WriteHydrogenNote(out, ligands);
  out.WriteLine("");
  WriteSuNotes(out, in, angles);
}

// "%s: CN %d, sum of %d %s = %s deg  [%s]"
std::string BriefLine(const TInput& in, const TCentre& centre, const std::vector<TLigand>& ligands,
                      const TAngles& angles) {
  std::string names;
  for (const TLigand& ligand : ligands) {
    if (!names.empty()) names += ' ';
    names += LigandDisplayName(in.Structure, ligand);
  }
  const size_t count = angles.List.size();
  std::string line = centre.Label + ": CN " + std::to_string(ligands.size()) + ", sum of " +
                     std::to_string(count) + " " + AngleWord(count) + " = " +
                     FormatValueSu(angles.Sum.Value, angles.Sum.Su, 2) + " deg  [" + names + "]";
  if (!in.HasSu) line += "  (no su - from " + UpperExtension(in.FileName) + ")";
  return line;
}

}  // namespace koravel
