#include "app/run.h"

#include <algorithm>
#include <exception>

#include "app/command_line.h"
#include "app/survey.h"
#include "base/file.h"
#include "base/text.h"
#include "geometry/analysis.h"
#include "io/bond_valence_file.h"
#include "io/input.h"
#include "ligands/atom_names.h"
#include "ligands/centre.h"
#include "ligands/explicit_ligands.h"
#include "ligands/ligands.h"
#include "report/figures.h"
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
    // The label before a symmetry code: C(1)#2_555 is C(1)'s image.
    const std::string_view label = word.substr(0, word.find('#'));
    return label.find_first_of("() ") != std::string_view::npos && FindAtom(s, label) >= 0;
  }));
}

// The first word of the atom arguments as typed: the central atom, also
// when its label holds parentheses, such as Fe(1), that the reading without
// the structure takes for a centroid.
std::string TypedCentral(const TCommandLine& cl) {
  for (const std::string& arg : AtomArguments(cl)) {
    const auto words = SplitFields(arg, [](char c) { return c == ' ' || c == '\t' || c == ','; });
    if (!words.empty()) return std::string(words.front());
  }
  return "";
}

// The atom names as far as they can be read before the structure is known,
// when brackets always group. A label with parentheses in a group, as in
// [C(1) C(2) C(3)], then reads as nested brackets: the arguments are read
// again once the labels are known, and for now only the central atom is
// taken.
TLigandArgs ArgumentsBeforeStructure(const TCommandLine& cl) {
  if (cl.Positional.size() < 2) return {};
  try {
    return ParseLigandArgs(AtomArguments(cl), nullptr);
  } catch (const TError&) {
    const std::string central = TypedCentral(cl);
    if (central.empty()) throw;
    return {{central}, {-1}, 0};
  }
}

// The names the central atom may have in the file, to choose the CIF block.
std::vector<std::string> CentralNames(const TCommandLine& cl, const TAtomNames& names) {
  bool removed = false;
  std::vector<std::string> candidates{names.Central, StripOlexSuffix(names.Central, removed), TypedCentral(cl)};
  // A numbered site, Ni@2, lives in a block with sites labelled Ni.
  if (const size_t at = names.Central.rfind('@'); at != std::string::npos && at > 0)
    candidates.push_back(names.Central.substr(0, at));
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

// "B1", "B1 or B2", "B1, B2 or B3".
std::string OneOf(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
  return text;
}

// What a "not found" message adds for a typed name: the labels it was
// probably meant to be and, in an XYZ file without labels, the atom that
// another scheme gives that name (Co1 is the first atom by position, which
// Olex2's numbering names Co2).
std::vector<std::string> LabelHint(const TInput& input, const std::string& typed) {
  std::vector<std::string> lines;
  const std::vector<std::string> similar = SimilarLabels(input.Model.Structure, typed);
  if (!similar.empty()) lines.push_back("did you mean " + OneOf(similar) + "?");
  bool removed = false;
  const std::string name = StripOlexSuffix(typed.substr(0, typed.find('#')), removed);
  std::vector<std::string> atoms;
  for (const auto& [otherName, atom] : input.Source.OtherNames)
    if (SameText(otherName, name) && std::find(atoms.begin(), atoms.end(), atom) == atoms.end())
      atoms.push_back(atom);
  for (const std::string& atom : atoms) lines.push_back(atom + ".");
  return lines;
}

// The central atom by its name (Olex2 suffixes and the two-apostrophe form
// allowed); a name the structure lacks is quoted as typed and worded by its
// source, with the labels it may have meant.
TCentre FindCentre(const TInput& input, const std::string& name, const std::string& typed) {
  const TNameLookup found = FindAtomWithoutSuffix(input.Model.Structure, name);
  if (found.Atom >= 0) return CentreOf(input.Model.Structure, found);
  const TSource& source = input.Source;
  std::vector<std::string> lines{
      source.Kind == TInputKind::Cif
          ? "central atom \"" + typed + "\" not found in data block \"" + source.BlockName +
                "\". Blocks with a structure: " + source.StructureBlocks
          : "central atom \"" + typed + "\" not found in " + FileNameOnly(source.FileName) + "."};
  for (std::string& line : LabelHint(input, typed)) lines.push_back(std::move(line));
  for (std::string& line : XyzNamingHint(source)) lines.push_back(std::move(line));
  Fail(std::move(lines));
}

// Olex2 names its centroids Cnt1, Cnt2, ...; Cg1 is the usual name in papers.
bool LooksLikeCentroid(std::string_view name) {
  for (std::string_view prefix : {"cnt", "cg"})
    if (StartsWithText(name, prefix) && name.size() > prefix.size() &&
        std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(), IsDigit))
      return true;
  return false;
}

// Every ligand name must be an atom of the structure; one that is not is
// quoted as typed and worded by its source, with the likely reasons: a
// label it was probably meant to be, else a centroid that only Olex2 knows.
void CheckLigandNames(const TInput& input, const TLigandArgs& names) {
  const std::optional<std::string> unknown = FirstUnknownName(input.Model.Structure, names);
  if (!unknown) return;
  if (unknown->find('%') != std::string::npos)
    Fail({"atom \"" + *unknown + "\" - this looks like an Olex2 macro argument that was not",
          "substituted. Check the macro definition (see MANUAL, section 6)."});
  std::vector<std::string> lines{"atom \"" + *unknown + "\" not found in " +
                                 FileNameOnly(input.Source.FileName) + "."};
  const bool centroid = LooksLikeCentroid(*unknown);
  std::vector<std::string> hint = centroid ? std::vector<std::string>{} : LabelHint(input, *unknown);
  const bool labelHint = !hint.empty();
  for (std::string& line : hint) lines.push_back(std::move(line));
  for (std::string& line : XyzNamingHint(input.Source)) lines.push_back(std::move(line));
  if (centroid || !labelHint) {
    lines.push_back("If this is a centroid created in Olex2 (cent, named Cnt1, Cnt2, ...):");
    lines.push_back("it exists only inside Olex2. Give its atoms in square brackets");
    lines.push_back("instead, e.g. [C1 C2 C3 C4 C5], or use the korvex macro.");
  }
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
  TLigandArgs typed = ArgumentsBeforeStructure(cl);
  if (typed.Names.empty()) {
    if (!cl.Positional.empty())
      output.WriteLine("The central atom is missing: koravel " + cl.Positional.front() + " <central atom> ...");
    ShowHelp(output);
    return {kExitUsage, ""};
  }
  const TRunOptions& o = cl.Options;
  const std::optional<TBondValenceTable> table =
      o.BondValenceFile.empty() ? std::nullopt : std::optional(ReadBondValenceTable(o.BondValenceFile));
  const TInput input = LoadInput(
      {cl.Positional.front(), o.BlockName, CentralNames(cl, SplitCentral(std::move(typed))), o.XyzNaming});
  const TModel& model = input.Model;
  const TAtomNames names = ReadAtomNames(cl, model.Structure);
  const TCentre centre = FindCentre(input, names.Central, TypedCentral(cl));
  const TLigandRequest request{names.Ligands, o.Tolerance, o.MinOccupancy, o.MaxRadius, o.Sphere};
  const TNeighbourhood neighbours = SearchNeighbours(model.Structure, centre, request);
  WriteHeader(output, input.Source, model.Structure, centre, request);
  CheckLigandNames(input, names.Ligands);
  const TAnalysis analysis = AnalyseCentre(model, centre, request, neighbours,
                                           {o.CalcOnly, o.McDraws, table ? &*table : nullptr});
  output.AddFigures(RunFigures(model.Structure, analysis));
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
