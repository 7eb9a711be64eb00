#include "app/run.h"

#include <exception>

#include "app/command_line.h"
#include "app/output.h"
#include "app/run_state.h"
#include "geom/fatal.h"

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

// The run up to the report. Returns the exit status of the paths that end
// without an error line (help, usage, success).
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
