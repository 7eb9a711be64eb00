#include "sum/report.h"

#include <cmath>
#include <numbers>
#include <string>
#include <string_view>

#include "geom/file_name.h"
#include "geom/number_text.h"
#include "geom/text.h"
#include "sum/ligand_list.h"
#include "sum/report_notes.h"

namespace koravel {

namespace {

const char* const kIdentityCode = "1_555";

std::string AngleWord(size_t count) { return count == 1 ? "angle" : "angles"; }

std::string AtomLabel(const TReportInput& in, int atom) {
  if (in.Structure == nullptr || atom < 0 ||
      static_cast<size_t>(atom) >= in.Structure->Atoms.size())
    return "?";
  return in.Structure->Atoms[static_cast<size_t>(atom)].Label;
}

std::string LigandLine(size_t position, const TLigand& ligand) {
  const std::string symmetry = ligand.IsCentroid ? "centroid" : ligand.Site.Op.Code;
  return LigandTableLine(static_cast<int>(position), ligand.Label, symmetry,
                         FormatValueSu(ligand.Dist, ligand.DistSu, 3));
}

std::string CentroidDefinitionLine(const TReportInput& in, const TLigand& ligand) {
  std::string line = "      " + ligand.Label + " = centroid of";
  for (const TSiteRef& site : ligand.Points) {
    line += ' ';
    line += AtomLabel(in, site.Atom);
    if (site.Op.Code != kIdentityCode) {
      line += '#';
      line += site.Op.Code;
    }
  }
  return line + "  (" + std::to_string(ligand.Points.size()) + " atoms, unit weights)";
}

// "  %-14s - %-6s - %-14s  %12s   %s"
std::string AngleLine(const TReportInput& in, const TLigArray& ligands, const TAngleRec& a) {
  return "  " + PadRight(LigandDisplayName(ligands[static_cast<size_t>(a.Lig1)]), 14) +
         " - " + PadRight(in.CentralLabel, 6) + " - " +
         PadRight(LigandDisplayName(ligands[static_cast<size_t>(a.Lig2)]), 14) + "  " +
         PadLeft(FormatValueSu(a.Value, a.Su, 2), 12) + "   " +
         (a.FromCif ? "(CIF)" : "(calculated)");
}

void WriteLigandTable(TTextSink& out, const TReportInput& in, const TLigArray& ligands) {
  out.WriteLine("");
  out.WriteLine("Ligands (" + std::to_string(ligands.size()) + "):");
  out.WriteLine("  No  Atom            Symmetry    Distance [A]");
  for (size_t i = 0; i < ligands.size(); ++i) out.WriteLine(LigandLine(i + 1, ligands[i]));
  for (const TLigand& ligand : ligands)
    if (ligand.IsCentroid) out.WriteLine(CentroidDefinitionLine(in, ligand));
}

void WriteAngleTable(TTextSink& out, const TReportInput& in, const TLigArray& ligands,
                     const std::vector<TAngleRec>& angles) {
  out.WriteLine("");
  out.WriteLine("Bond angles L-M-L (sorted in descending order):");
  for (const TAngleRec& a : angles) out.WriteLine(AngleLine(in, ligands, a));
}

// The first test that holds; a not-a-number operand fails its test.
const char* Classification(double deviation, const TSumResult& r) {
  if (3 * r.Su >= deviation) return "  Classification: planar within 3 su";
  if (r.Value >= 350.0) return "  Classification: nearly planar (significantly pyramidalised)";
  if (r.Value >= 340.0) return "  Classification: flattened pyramidal";
  return "  Classification: pyramidal";
}

// Three ligands: the deviation from a planar 360 degrees and, when there is
// an su to judge it by, the classification.
void WriteThreeLigandLines(TTextSink& out, const TReportInput& in, const TSumResult& r) {
  double deviation = 360 - r.Value;
  if (std::fabs(deviation) < 5e-7) deviation = 0;
  out.WriteLine("  360 - Sum  = " + FormatValueSu(deviation, r.Su, 2) +
                " deg     (0 = planar; trigonal pyramid with 3 x 109.47: 31.59)");
  if (!(in.HasSu && r.Su > 0) && !SumFixedBySymmetry(in, r)) return;
  out.WriteLine("");
  out.WriteLine(Classification(deviation, r));
}

void WriteFourLigandReference(TTextSink& out) {
  const double tetrahedral = 6 * std::acos(-1.0 / 3.0) * 180 / std::numbers::pi;
  out.WriteLine("               (reference: tetrahedral 6 x 109.47 = " +
                FormatFixed(tetrahedral, 2) + ", square planar 4 x 90 + 2 x 180 = 720.00)");
}

void WriteSum(TTextSink& out, const TReportInput& in, const TLigArray& ligands,
              const std::vector<TAngleRec>& angles, const TSumResult& r) {
  out.WriteLine("");
  out.WriteLine("Sum of the " + std::to_string(angles.size()) + " " + AngleWord(angles.size()) +
                " around " + in.CentralLabel + ":");
  out.WriteLine("  Sum(L-M-L) = " + FormatValueSu(r.Value, r.Su, 2) + " deg");
  if (ligands.size() == 3) WriteThreeLigandLines(out, in, r);
  if (ligands.size() == 4) WriteFourLigandReference(out);
}

// The input file's extension without its point, upper case: "RES", "XYZ".
std::string UpperExtension(const std::string& fileName) {
  const std::string extension = FileExtension(fileName);
  return extension.empty() ? "" : UpperAscii(std::string_view(extension).substr(1));
}

// "%s: CN %d, sum of %d %s = %s deg  [%s]"
std::string ComposeBriefLine(const TReportInput& in, const TLigArray& ligands,
                             const std::vector<TAngleRec>& angles, const TSumResult& r) {
  std::string names;
  for (const TLigand& ligand : ligands) {
    if (!names.empty()) names += ' ';
    names += LigandDisplayName(ligand);
  }
  std::string line = in.CentralLabel + ": CN " + std::to_string(ligands.size()) + ", sum of " +
                     std::to_string(angles.size()) + " " + AngleWord(angles.size()) + " = " +
                     FormatValueSu(r.Value, r.Su, 2) + " deg  [" + names + "]";
  if (!in.HasSu) line += "  (no su - from " + UpperExtension(in.InputFileName) + ")";
  return line;
}

}  // namespace

std::string LigandDisplayName(const TLigand& ligand) {
  if (ligand.IsCentroid || ligand.Site.Op.Code == kIdentityCode) return ligand.Label;
  return ligand.Label + "#" + ligand.Site.Op.Code;
}

int SuDecimals(double su) {
  const std::string text = FormatValueSu(0, su, 2);
  const size_t point = text.find('.');
  const size_t paren = text.find('(');
  if (point == std::string::npos || paren == std::string::npos || paren < point) return 0;
  return static_cast<int>(paren - point - 1);
}

std::string WriteReport(TTextSink& out, const TReportInput& in, const TLigArray& ligands,
                        const std::vector<TAngleRec>& angles, const TSumResult& r) {
  WriteLigandTable(out, in, ligands);
  WriteAngleTable(out, in, ligands, angles);
  WriteSum(out, in, ligands, angles, r);
  std::string briefLine = ComposeBriefLine(in, ligands, angles, r);
  WriteNonLinearityNote(out, in, r);
  WriteHydrogenNote(out, ligands);
  out.WriteLine("");
  WriteSuNotes(out, in, angles, r);
  return briefLine;
}

}  // namespace koravel
