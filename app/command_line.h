#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "crystal/bond_valence_parameters.h"
#include "io/xyz_file.h"
#include "report/output.h"
#include "report/survey_table.h"
#include "report/text_sink.h"

namespace koravel {

// The settings of one run, as read from the command line.
struct TRunOptions {
  double Tolerance = 0.40;     // bond tolerance, ångström
  double MinOccupancy = 0.5;   // automatic search only
  double MaxRadius = -1.0;     // search radius; only a value > 0 takes effect
  TSphereKind Sphere = TSphereKind::Chemical;  // the automatic sphere
  std::string BlockName;       // empty: choose the data block automatically
  TOutputOptions Output;
  TXyzNaming XyzNaming = xnOlex;
  bool CalcOnly = false;       // ignore the CIF's _geom_angle list
  long long McDraws = 0;       // Monte Carlo check of the su; 0: none
  std::string BondValenceFile;  // --bvparm: a table of bond-valence parameters
  // The table read from BondValenceFile once the run begins, shared by
  // every centre (and every survey thread); null: the element parameters.
  const TBondValenceTable* BondValences = nullptr;

  // A survey of many files (--survey): which centres, the output format and
  // the number of threads (0: one per core).
  bool Survey = false;
  std::string Centres = "metals";
  TSurveyFormat Format = TSurveyFormat::Csv;
  int Threads = 0;
  bool Resume = false;  // continue the table in --out= that an interrupted survey left
};

// The command line read: options and the other arguments in order.
struct TCommandLine {
  TRunOptions Options;
  std::vector<std::string> Positional;  // file name, then the atom arguments
  bool Help = false;
  bool Version = false;
};

// The arguments of a run, and whether a raw command line held atom names
// that Olex2 quoted together with labels ending in a double quote, whose
// ends cannot be told.
struct TArguments {
  std::vector<std::string> List;
  bool AmbiguousQuotes = false;
};

// Reads the command line; throws TError for the first argument that is
// wrong. An option that takes a value is written --name=value, --name value
// or name=value. A request for help or the version counts only before such
// an argument; after it only the outputs are read (help goes where they
// say), nothing is checked.
TCommandLine ParseCommandLine(const TArguments& args);

// The HTML page the arguments name, whatever else is wrong with them: a
// program started from Olex2 shows its errors there.
std::string PageOfArguments(const TArguments& args);

// The first argument that is no option: the structure file of a run.
std::string FileOfArguments(const TArguments& args);

// Splits a raw Windows command line into arguments. Quoting follows the usual
// Windows rules, except that a double quote closing a non-empty word that
// ends the line or is followed by a blank is kept as a character, so that
// SHELX labels such as Mg" arrive unchanged. Atom names that Olex2 quoted
// together with such labels cannot be recovered (AmbiguousQuotes).
TArguments SplitCommandLine(std::string_view raw, bool skipProgramName);

void ShowHelp(TTextSink& out);

}  // namespace koravel
