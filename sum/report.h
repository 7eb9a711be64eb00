#pragma once
#include <string>
#include <vector>

#include "cif/cif_angle.h"
#include "geom/cov_source.h"
#include "geom/structure.h"
#include "geom/symop.h"
#include "geom/text_sink.h"
#include "sum/ligand.h"
#include "sum/points.h"

namespace koravel {

// One L-M-L angle between ligands Lig1 < Lig2 (indices into the ligand list).
struct TAngleRec {
  int Lig1 = 0;
  int Lig2 = 0;
  double Value = 0;      // degrees
  double Su = 0;         // degrees
  bool FromCif = false;  // value and su published in the CIF's _geom_angle loop
};

// What the report reads besides the ligands.
struct TReportInput {
  const TWorkingStructure* Structure = nullptr;  // cell, AtomFrac, AtomSu, CifAngles
  const TCovSource* Cov = nullptr;               // the paired SHELXL matrix, or null
  TSiteRef CentralSite;                          // the central atom under the identity
  std::string CentralLabel;
  bool HasSu = true;                             // false for XYZ, and SHELX without .mat
  bool CalcOnly = false;                         // --calc
  bool IsXyz = false;                            // input kind XYZ (for the su note wording)
  std::string InputFileName;                     // resolved input file (for the brief line's "(no su - from EXT)")
  std::string MatFileName;                       // the paired matrix file (empty when none)
};

// The published angle a-M-b (in either order) with the central atom at the
// apex on the site `centralCode`; false when the CIF lists none. A centroid
// is no atom of the CIF and never has a published angle.
bool CifAngleFor(const std::vector<TCifAngle>& angles, const std::string& centralLabel,
                 const std::string& centralCode, const TLigand& a, const TLigand& b,
                 double& angle, double& su);

// Every L-M-L angle, published or computed, sorted by value in descending
// order (equal values keep the pair order).
std::vector<TAngleRec> BuildAngleList(const TReportInput& in, const TLigArray& ligands);

// The angle sum with its su, always from the coordinates, plus the su the
// angles would give if they were independent.
TSumResult ComputeAngleSum(const TReportInput& in, const TLigArray& ligands,
                           const std::vector<TAngleRec>& angles);

// Writes the report body (from the empty line before "Ligands (n):" to the su
// notes) and returns the one-line result of the run.
std::string WriteReport(TTextSink& out, const TReportInput& in, const TLigArray& ligands,
                        const std::vector<TAngleRec>& angles, const TSumResult& r);

// The ligand's label, with "#" and its symmetry code for an atom image other
// than the identity (N2#2_655).
std::string LigandDisplayName(const TLigand& ligand);

// The number of decimals an angle with this su is written with.
int SuDecimals(double su);

}  // namespace koravel
