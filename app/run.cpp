#include "app/run.h"

#include <exception>

#include "app/command_line.h"
#include "app/survey.h"
#include "base/file.h"
#include "base/text.h"
#include "crystal/structure.h"
#include "geometry/indices.h"
#include "geometry/sphere.h"
#include "io/input.h"
#include "ligands/atom_names.h"
#include "ligands/centre.h"
#include "ligands/ligands.h"
#include "report/header.h"
#include "report/output.h"
#include "report/report.h"
#include "su/parameters.h"

namespace koravel {

namespace {

std::vector<std::string> AtomArguments(const TCommandLine& cl) {
  return {cl.Positional.begin() + 1, cl.Positional.end()};
}

// The central atom's name and the ligand names. Before the structure is
// known, brackets always group (`labels` null); after, a word that is an
// atom label, such as Fe(1), stands for that atom.
struct TAtomNames {
  std::string Central;
  TLigandArgs Ligands;
};

TAtomNames ReadAtomNames(const TCommandLine& cl, const TStructure* labels) {
  TLigandArgs args = ParseLigandArgs(AtomArguments(cl), [labels](std::string_view word) {
    return labels != nullptr && word.find_first_of("()") != std::string_view::npos &&
           FindAtom(*labels, word) >= 0;
  });
  if (args.Groups.front() >= 0) Fail("the first atom must be the central atom, not a centroid.");
  TAtomNames names{args.Names.front(), std::move(args)};
  names.Ligands.Names.erase(names.Ligands.Names.begin());
  names.Ligands.Groups.erase(names.Ligands.Groups.begin());
  return names;
}

// The names the central atom may have in the file, to choose the CIF block.
std::vector<std::string> CentralNames(const TCommandLine& cl, const TAtomNames& names) {
  bool removed = false;
  std::vector<std::string> candidates{names.Central, StripOlexSuffix(names.Central, removed)};
  // The first word as typed: a label with parentheses such as Fe(1).
  for (const std::string& arg : AtomArguments(cl)) {
    const auto words = SplitFields(arg, [](char c) { return c == ' ' || c == '\t' || c == ','; });
    if (!words.empty()) {
      candidates.emplace_back(words.front());
      break;
    }
  }
  return candidates;
}

// The whole run, from the command line to the report. Returns the exit
// status of the paths that end without an error; every failure throws TError.
int Run(const TCommandLine& cl, TOutput& output, std::string& briefLine) {
  output.Start(cl.Options.Output, cl.Positional.empty() ? "" : cl.Positional.front());
  if (cl.Error) throw *cl.Error;
  if (cl.Help) {
    ShowHelp(output);
    return kExitSuccess;
  }
  if (cl.Positional.size() < 2 || ParseLigandArgs(AtomArguments(cl), nullptr).Names.empty()) {
    ShowHelp(output);
    return kExitUsage;
  }
  const TRunOptions& o = cl.Options;
  const TAtomNames typed = ReadAtomNames(cl, nullptr);

  const TInput in = LoadInput({cl.Positional.front(), o.BlockName, CentralNames(cl, typed), o.XyzNaming});
  const TAtomNames names = ReadAtomNames(cl, &in.Structure);
  const TCentre centre = FindCentre(in, names.Central);
  const TLigandRequest request{names.Ligands, o.Tolerance, o.MinOccupancy, o.MaxRadius};
  const TNeighbourhood neighbours = SearchNeighbours(in, centre, request);
  WriteHeader(output, in, centre, request);
  const TLigandSet ligands = ChooseLigands(in, centre, request, neighbours);
  WriteNameNotes(output, in.Structure, centre, ligands);
  const TParameters params = FreeParameters(in.Structure, in.Matrix.get(),
                                            SphereAtoms(in.Structure, centre, ligands.List));
  const std::vector<TValueSu> distances = LigandDistances(in, params, centre, ligands.List);
  if (const std::optional<TError> problem = CoordinationProblem(ligands)) {
    WriteNeighbourTable(output, in, ligands.List, distances);
    throw *problem;
  }
  WriteCoordinationLine(output, ligands.List.size());
  const TAngles angles = ComputeAngles(in, params, centre, ligands.List, o.CalcOnly, o.McDraws);
  const TIndices indices = ComputeIndices(in, params, centre, ligands.List, angles.NearlyLinear, o.McDraws);
  WriteReport(output, in, centre, ligands.List, distances, angles, indices);
  briefLine = BriefLine(in, centre, ligands.List, angles);
  return kExitSuccess;
}

// A survey writes its table to the console or the --out file; a wrong
// command line or folder ends it with an error block.
int Survey(const TCommandLine& cl, std::FILE* console) {
  try {
    if (cl.Positional.empty()) Fail("a survey needs at least one file or folder.");
    const std::vector<std::string> files = SurveyInputs(cl.Positional);
    const std::string& outName = cl.Options.Output.OutFile;
    if (outName.empty()) return RunSurvey(files, cl.Options, console, stderr);
    for (const std::string& f : files)
      if (IsInputFileOfRun(outName, f))
        Fail("cannot write output file: " + outName + " (it is an input file of this run)");
    TFilePtr out = OpenFile(outName, "w");
    if (!out) Fail("cannot write output file: " + outName);
    const int status = RunSurvey(files, cl.Options, out.get(), stderr);
    if (std::fclose(out.release()) != 0) Fail("cannot write output file: " + outName);
    return status;
  } catch (const TError& error) {
    for (const std::string& line : ErrorBlock(error)) std::fprintf(console, "%s\n", line.c_str());
    return kExitError;
  }
}

}  // namespace

int RunKoravel(const std::vector<std::string>& args, std::FILE* console) {
  return RunKoravel(TArguments{args, std::nullopt}, console);
}

int RunKoravel(const TArguments& args, std::FILE* console) {
  const TCommandLine cl = ParseCommandLine(args);
  if (cl.Options.Survey && !cl.Help && !cl.Error) return Survey(cl, console);
  TOutput output(console);
  int status = kExitSuccess;
  std::string briefLine;
  std::string failure;
  try {
    status = Run(cl, output, briefLine);
  } catch (const TError& error) {
    output.WriteError(error);
    status = kExitError;
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "unexpected failure";
  }
  // The captured lines reach the console (and the --html page) on every path.
  const std::string finishFailure = output.Finish(briefLine);
  if (failure.empty()) failure = finishFailure;
  if (failure.empty()) return status;
  output.WriteLine("Runtime error 217: " + failure);
  return kExitUnexpected;
}

}  // namespace koravel
