#pragma once
#include <string>

#include "geom/cov_source.h"
#include "geom/structure.h"
#include "geom/text_sink.h"
#include "sum/ligand.h"

namespace koravel {

// What completing the ligand list needs to know about the run.
struct TLigandContext {
  const TWorkingStructure* Structure = nullptr;
  const TCovSource* Cov = nullptr;  // the paired matrix file, or null
  TSiteRef CentralSite;
  bool HasSu = true;
  bool AutoLigands = true;
  bool OlexSuffixNote = false;  // an Olex2 suffix was removed from a label
};

// One line of a ligand table: position, label, symmetry column, distance.
std::string LigandTableLine(int position, const std::string& label, const std::string& symmetry,
                            const std::string& distance);

// Gives every ligand its point, orders the list by distance, computes the
// distances with su and checks the coordination number (2 to 12); outside
// that range the neighbours are listed and the run fails.
void CompleteLigandList(TLigArray& ligands, const TLigandContext& context, TTextSink& out);

}  // namespace koravel
