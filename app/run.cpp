#include "app/run.h"

#include <exception>

#include "app/command_line.h"
#include "app/output.h"
#include "app/report_header.h"
#include "app/run_state.h"
#include "app/structure_choice.h"
#include "cif/cif_angles.h"
#include "cif/cif_structure.h"
#include "geom/fatal.h"
#include "sum/ligand_list.h"
#include "sum/ligand_resolve.h"
#include "sum/neighbours.h"

namespace koravel {

namespace {

// Writes "Error: " + message; a line break in the message starts a new line.
void WriteError(TTextSink& out, const std::string& message) {
  std::string text = "Error: " + message;
  size_t start = 0;
  for (size_t pos; (pos = text.find('\n', start)) != std::string::npos; start = pos + 1)
    out.WriteLine(std::string_view(text).substr(start, pos - start));
  out.WriteLine(std::string_view(text).substr(start));
}

// Reads the structure of the chosen data block into the working structure.
void LoadCif(TRunState& state) {
  std::string error;
  if (!state.Cif.LoadFromFile(state.FileName, error))
    Fatal("cannot read " + state.FileName + ": " + error);
  state.Block = &ChooseDataBlock(state.Cif, state.Options.BlockName, state.CentralName);
  ReadCell(*state.Block, state.Structure);
  ReadSymOps(*state.Block, state.Structure);
  ReadAtoms(*state.Block, state.Structure);
  ReadCifAngles(*state.Block, state.Structure.CifAngles);
}

void LoadStructure(TRunState& state) {
  switch (state.InputKind) {
    case ikXyz:
      LoadXyz(state.FileName, state.Options.XyzNaming, state.Structure, state.Input);
      break;
    case ikShelx:
      LoadShelx(state.FileName, state.Structure, state.Input);
      break;
    case ikCif:
      LoadCif(state);
      break;
  }
}

const TCovSource* CovarianceSource(const TRunState& state) {
  return state.Input.UseMatrix ? state.Input.MatFile.get() : nullptr;
}

void BuildLigandList(TRunState& state, TTextSink& out) {
  if (state.AutoLigands) {
    state.Ligands = SelectAutomaticLigands(state.Candidates, state.Structure, state.CentralElement,
                                           state.Options.Tolerance, state.Options.MinOccupancy);
  } else {
    TLigandLookup lookup;
    lookup.Structure = &state.Structure;
    lookup.Candidates = &state.Candidates;
    lookup.CentralSite = state.CentralSite;
    lookup.SearchRadius = state.SearchRadius;
    lookup.FileName = FileNameOnly(state.FileName);
    lookup.XyzHint = NotFoundHint(state);
    state.Ligands = ResolveExplicitLigands(state.LigandArgs, lookup, state.OlexSuffixNote);
  }
  TLigandContext context;
  context.Structure = &state.Structure;
  context.Cov = CovarianceSource(state);
  context.CentralSite = state.CentralSite;
  context.HasSu = state.Input.HasSu;
  context.AutoLigands = state.AutoLigands;
  context.OlexSuffixNote = state.OlexSuffixNote;
  CompleteLigandList(state.Ligands, context, out);
}

void WriteResult(TRunState& state, TTextSink& out) {
  const size_t n = state.Ligands.size();
  out.WriteLine("Coordination number: " + std::to_string(n) + "  ->  " +
                std::to_string(n * (n - 1) / 2) + " L-M-L angle(s)");
  TReportInput in;
  in.Structure = &state.Structure;
  in.Cov = CovarianceSource(state);
  in.CentralSite = state.CentralSite;
  in.CentralLabel = state.CentralLabel;
  in.HasSu = state.Input.HasSu;
  in.CalcOnly = state.Options.CalcOnly;
  in.IsXyz = state.InputKind == ikXyz;
  in.InputFileName = state.FileName;
  if (state.Input.UseMatrix) in.MatFileName = state.Input.MatFileName;
  state.Angles = BuildAngleList(in, state.Ligands);
  state.SumResult = ComputeAngleSum(in, state.Ligands, state.Angles);
  state.BriefLine = WriteReport(out, in, state.Ligands, state.Angles, state.SumResult);
}

// The whole run. Returns the exit status of the paths that end without an
// error line (help, usage, success); every failure raises TFatalError.
int Run(const std::vector<std::string>& args, TRunState& state, TOutput& output) {
  if (ParseOptions(args, state.Options, state.Positional) == TOptionOutcome::Help) {
    ShowHelp(output);
    return kExitSuccess;
  }
  if (state.Positional.size() < 2) {
    ShowHelp(output);
    return kExitUsage;
  }
  state.FileName = state.Positional[0];
  state.LigandArgs = ParseLigandArgs(state.Positional, 1);
  TLigandArgs& ligands = state.LigandArgs;
  if (ligands.Names.empty()) {
    ShowHelp(output);
    return kExitUsage;
  }
  if (ligands.Groups.front() >= 0)
    Fatal("the first atom must be the central atom, not a centroid.");
  state.CentralName = ligands.Names.front();
  ligands.Names.erase(ligands.Names.begin());
  ligands.Groups.erase(ligands.Groups.begin());

  // An output option must never overwrite a file this run reads.
  for (const std::string* target : {&state.Options.OutFile, &state.Options.HtmlFile}) {
    if (IsInputFileOfRun(*target, state.FileName)) {
      output.WriteLine("Error: cannot write output file: " + *target +
                       " (it is an input file of this run)");
      return kExitError;
    }
  }
  if (!output.StartOutput(state.Options)) return kExitError;

  state.InputKind = ResolveInputFile(state.FileName);
  LoadStructure(state);
  LookUpCentralAtom(state);
  state.SearchRadius = ChooseSearchRadius(state);
  state.Candidates = FindNeighbours(state.Structure, state.CentralSite, state.SearchRadius);
  WriteReportHeader(state, output);
  BuildLigandList(state, output);
  WriteResult(state, output);
  return kExitSuccess;
}

}  // namespace

int RunKoravel(const std::vector<std::string>& args, std::FILE* console) {
  TOutput output(console);
  TRunState state;
  int status = kExitSuccess;
  std::string failure;
  try {
    status = Run(args, state, output);
  } catch (const TFatalError& error) {
    WriteError(output, error.what());
    status = kExitError;
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "unexpected failure";
  }
  // The captured lines reach the console (and the --html page) on every path.
  std::string finishFailure = output.FinishOutput(state.BriefLine);
  if (failure.empty()) failure = finishFailure;
  if (failure.empty()) return status;
  output.WriteLine("Runtime error 217: " + failure);
  return kExitUnexpected;
}

}  // namespace koravel
