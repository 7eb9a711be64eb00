#pragma once
#include <string>
#include <vector>

#include "app/input_file.h"
#include "app/run_options.h"
#include "sum/ligand_args.h"

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
  std::string BriefLine;                // the one-line result, once the report is written
};

}  // namespace koravel
