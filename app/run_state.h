#pragma once
#include <string>
#include <vector>

#include "app/input_file.h"
#include "app/run_options.h"
#include "cif/cif_file.h"
#include "geom/structure.h"
#include "inputs/load_input.h"
#include "sum/ligand.h"
#include "sum/ligand_args.h"
#include "sum/points.h"
#include "sum/report.h"

namespace koravel {

// Everything one run knows, owned by the run driver and handed to the steps
// that need it.
struct TRunState {
  TRunOptions Options;
  std::vector<std::string> Positional;  // file name, then the atom arguments
  TLigandArgs LigandArgs;               // ligand names and groups, central atom removed
  std::string CentralName;              // the central atom as typed

  TInputKind InputKind = ikCif;
  std::string FileName;                 // as typed, then as resolved
  TCifFile Cif;                         // empty for SHELX and XYZ input
  const TCifBlock* Block = nullptr;     // the chosen data block
  TWorkingStructure Structure;
  TInputState Input;                    // su availability, matrix file, title, XYZ data

  int CentralAtom = -1;
  TSiteRef CentralSite;                 // the central atom under the identity
  std::string CentralLabel;             // as the structure writes it
  std::string CentralElement;
  bool AutoLigands = true;
  double SearchRadius = 0;
  bool OlexSuffixNote = false;

  TCandidateArray Candidates;           // every atom image within the search radius
  TLigArray Ligands;
  std::vector<TAngleRec> Angles;
  TSumResult SumResult;
  std::string BriefLine;                // the one-line result, once the report is written
};

}  // namespace koravel
