#include "app/run.h"

#include <exception>

#include "app/command_line.h"
#include "app/survey.h"
#include "base/file.h"
#include "base/text.h"
#include "geometry/analysis.h"
#include "io/input.h"
#include "ligands/atom_names.h"
#include "ligands/centre.h"
#include "ligands/explicit_ligands.h"
#include "ligands/ligands.h"
#include "report/header.h"
#include "report/output.h"
#include "report/report.h"

namespace koravel {

namespace {

std::vector<std::string> AtomArguments(const TCommandLine& cl) {
  return {cl.Positional.begin() + 1, cl.Positional.end()};
}

// The central atom's name and the ligand names.
struct TAtomNames {
  std::string Central;
  TLigandArgs Ligands;
};

TAtomNames SplitCentral(TLigandArgs args) {
  if (args.Groups.front() >= 0) Fail("the first atom must be the central atom, not a centroid.");
  TAtomNames names{args.Names.front(), std::move(args)};
  names.Ligands.Names.erase(names.Ligands.Names.begin());
  names.Ligands.Groups.erase(names.Ligands.Groups.begin());
  return names;
}

// The atom names once the structure is known: a word that is an atom label,
// such as Fe(1), stands for that atom instead of opening a centroid.
TAtomNames ReadAtomNames(const TCommandLine& cl, const TStructure& s) {
  return SplitCentral(ParseLigandArgs(AtomArguments(cl), [&s](std::string_view word) {
    return word.find_first_of("()") != std::string_view::npos && FindAtom(s, word) >= 0;
  }));
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

// What "not found" messages add for XYZ input: the naming in use and,
// without labels in the file, the other schemes.
std::vector<std::string> XyzNamingHint(const TSource& source) {
  if (source.Kind != TInputKind::Xyz) return {};
  std::vector<std::string> hint{"XYZ atom names: " + source.AtomNames + "."};
  if (!source.HasLabels) {
    hint.push_back("Other schemes: xyznames=olex (as Olex2), xyznames=position");
    hint.push_back("(first atom = 1), xyznames=element (C1, H1, H2, ...).");
  }
  return hint;
}

// The central atom by its typed name (Olex2 suffixes and the two-apostrophe
// form allowed); a name the structure lacks is worded by its source.
TCentre FindCentre(const TInput& input, const std::string& typed) {
  const TNameLookup found = FindAtomWithoutSuffix(input.Model.Structure, typed);
  if (found.Atom >= 0) return CentreOf(input.Model.Structure, found);
  const TSource& source = input.Source;
  if (source.Kind == TInputKind::Cif)
    Fail("central atom \"" + found.Name + "\" not found in data block \"" + source.BlockName +
         "\". Blocks with a structure: " + source.StructureBlocks);
  std::vector<std::string> lines{"central atom \"" + found.Name + "\" not found in " +
                                 FileNameOnly(source.FileName) + "."};
  for (std::string& line : XyzNamingHint(source)) lines.push_back(std::move(line));
  Fail(std::move(lines));
}

// Every ligand name must be an atom of the structure; one that is not is
// worded by its source, with the likely reasons.
void CheckLigandNames(const TInput& input, const TLigandArgs& names) {
  const std::optional<std::string> unknown = FirstUnknownName(input.Model.Structure, names);
  if (!unknown) return;
  if (unknown->find('%') != std::string::npos)
    Fail({"atom \"" + *unknown + "\" - this looks like an Olex2 macro argument that was not",
          "substituted. Check the macro definition (see MANUAL, section 6)."});
  std::vector<std::string> lines{"atom \"" + *unknown + "\" not found in " +
                                 FileNameOnly(input.Source.FileName) + "."};
  for (std::string& line : XyzNamingHint(input.Source)) lines.push_back(std::move(line));
  lines.push_back("If this is a centroid created in Olex2 (cent, named Cnt1, Cnt2, ...):");
  lines.push_back("it exists only inside Olex2. Give its atoms in square brackets");
  lines.push_back("instead, e.g. [C1 C2 C3 C4 C5], or use the korvex macro.");
  Fail(std::move(lines));
}

struct TRunResult {
  int Status = kExitSuccess;
  std::string BriefLine;  // empty for a run that ends before its result
};

// A single run, from the command line to the report, as a chain of values:
// the input, the central atom, its neighbours, the analysis. Every failure
// throws TError.
TRunResult Run(const TCommandLine& cl, TOutput& output) {
  output.Start(cl.Options.Output);
  if (cl.Version) {
    output.WriteLine(std::string("koravel ") + kProgramVersion);
    return {};
  }
  if (cl.Help) {
    ShowHelp(output);
    return {};
  }
  // Before the structure is known, brackets always group.
  TLigandArgs typed;
  if (cl.Positional.size() >= 2) typed = ParseLigandArgs(AtomArguments(cl), nullptr);
  if (typed.Names.empty()) {
    if (!cl.Positional.empty())
      output.WriteLine("The central atom is missing: koravel " + cl.Positional.front() + " <central atom> ...");
    ShowHelp(output);
    return {kExitUsage, ""};
  }
  const TRunOptions& o = cl.Options;
  const TInput input = LoadInput(
      {cl.Positional.front(), o.BlockName, CentralNames(cl, SplitCentral(std::move(typed))), o.XyzNaming});
  const TModel& model = input.Model;
  const TAtomNames names = ReadAtomNames(cl, model.Structure);
  const TCentre centre = FindCentre(input, names.Central);
  const TLigandRequest request{names.Ligands, o.Tolerance, o.MinOccupancy, o.MaxRadius};
  const TNeighbourhood neighbours = SearchNeighbours(model.Structure, centre, request);
  WriteHeader(output, input.Source, model.Structure, centre, request);
  CheckLigandNames(input, names.Ligands);
  const TAnalysis analysis = AnalyseCentre(model, centre, request, neighbours, {o.CalcOnly, o.McDraws});
  WriteAnalysis(output, input.Source, model, analysis);
  if (!analysis.Complete()) FailCoordination(analysis);
  return {kExitSuccess, BriefLine(input.Source, model, analysis)};
}

}  // namespace

int RunKoravel(const TArguments& args, std::FILE* console) {
  TOutput output(console, PageOfArguments(args), InputFilesOfRun(FileOfArguments(args)));
  TRunResult result;
  std::string failure;
  try {
    const TCommandLine cl = ParseCommandLine(args);
    if (cl.Options.Survey && !cl.Help && !cl.Version)
      result.Status = RunSurveyCommand(cl, console);
    else
      result = Run(cl, output);
  } catch (const TError& error) {
    output.WriteError(error);
    result.Status = kExitError;
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "unexpected failure";
  }
  // The captured lines reach the console (and the --html page) on every path.
  const std::string finishFailure = output.Finish(result.BriefLine);
  if (failure.empty()) failure = finishFailure;
  if (failure.empty()) return result.Status;
  output.WriteLine("Runtime error 217: " + failure);
  return kExitUnexpected;
}

}  // namespace koravel
