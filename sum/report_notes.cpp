#include "sum/report_notes.h"

#include <cmath>
#include <string>

#include "geom/number_text.h"
#include "geom/text.h"

namespace koravel {

namespace {

std::string WithoutDirectory(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool AnyFromCif(const std::vector<TAngleRec>& angles) {
  for (const TAngleRec& a : angles)
    if (a.FromCif) return true;
  return false;
}

bool AllFromCif(const std::vector<TAngleRec>& angles) {
  for (const TAngleRec& a : angles)
    if (!a.FromCif) return false;
  return true;
}

void WriteCifAnglesLine(TTextSink& out) {
  out.WriteLine("Note: angles marked (CIF) were taken from the _geom_angle loop.");
}

void WriteNoSuNotes(TTextSink& out, const TReportInput& in) {
  out.WriteLine(std::string("Note: all angles were computed from ") +
                (in.IsXyz ? "the Cartesian coordinates." : "cell parameters and coordinates."));
  out.WriteLine("      No standard uncertainties are given - see the warning above.");
}

void WriteZeroSuNotes(TTextSink& out, const TReportInput& in,
                      const std::vector<TAngleRec>& angles, const TSumResult& r) {
  if (AnyFromCif(angles)) WriteCifAnglesLine(out);
  if (SumFixedBySymmetry(in, r)) {
    out.WriteLine("Note: the sum is fixed by symmetry; its su is zero.");
    return;
  }
  out.WriteLine("Note: the input holds no su for the coordinates and cell parameters");
  out.WriteLine("      involved, so no su can be given for the sum.");
}

void WritePropagatedSuNotes(TTextSink& out, const TReportInput& in,
                            const std::vector<TAngleRec>& angles, const TSumResult& r) {
  if (AnyFromCif(angles)) {
    WriteCifAnglesLine(out);
    // Published angles are rounded, so their plain sum can differ from the
    // sum computed from the coordinates; say so when it shows.
    double plainSum = 0;
    for (const TAngleRec& a : angles) plainSum += a.Value;
    if (AllFromCif(angles) && std::fabs(plainSum - r.Value) >= 0.005) {
      out.WriteLine("      Their plain sum is " + FormatFixed(plainSum, 2) +
                    " deg (from the rounded values); the sum above");
      out.WriteLine("      is computed from the coordinates.");
    }
  }
  out.WriteLine("Note: the su of the sum was propagated directly from the coordinates");
  out.WriteLine("      and the cell, not from the su of the individual angles - these");
  out.WriteLine("      are correlated through the shared atoms. Treating them as");
  out.WriteLine("      independent would give sqrt(sum su^2) = " +
                FormatFixed(r.SuIndependent, 3) + " deg instead.");
  if (!in.MatFileName.empty()) {
    out.WriteLine("      The full variance-covariance matrix of " +
                  WithoutDirectory(in.MatFileName) + " was used,");
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

}  // namespace

bool SumFixedBySymmetry(const TReportInput& in, const TSumResult& r) {
  return in.HasSu && r.ParametersEntered && r.Su == 0;
}

void WriteNonLinearityNote(TTextSink& out, const TReportInput& in, const TSumResult& r) {
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

void WriteHydrogenNote(TTextSink& out, const TLigArray& ligands) {
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

void WriteSuNotes(TTextSink& out, const TReportInput& in, const std::vector<TAngleRec>& angles,
                  const TSumResult& r) {
  if (!in.HasSu) {
    WriteNoSuNotes(out, in);
    return;
  }
  if (!(r.Su > 0) && !std::isnan(r.Su)) {
    WriteZeroSuNotes(out, in, angles, r);
    return;
  }
  WritePropagatedSuNotes(out, in, angles, r);
}

}  // namespace koravel
