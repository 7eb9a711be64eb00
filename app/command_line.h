#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
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
  std::string BlockName;       // empty: choose the data block automatically
  TOutputOptions Output;
  TXyzNaming XyzNaming = xnOlex;
  bool CalcOnly = false;       // ignore the CIF's _geom_angle list
  long long McDraws = 0;       // Monte Carlo check of the su; 0: none

  // A survey of many files (--survey): which centres, the output format and
  // the number of threads (0: one per core).
  bool Survey = false;
  std::string Centres = "metals";
  TSurveyFormat Format = TSurveyFormat::Csv;
  int Threads = 0;
};

// The command line read: options, the other arguments in order, and the
// first error. Reading goes on after an error, so that the run still knows
// where its output goes (an HTML page reports the error too); a request for
// help counts only before any error.
struct TCommandLine {
  TRunOptions Options;
  std::vector<std::string> Positional;  // file name, then the atom arguments
  bool Help = false;
  std::optional<TError> Error;
};

// The arguments of a run and, when a raw command line could not be split into
// them safely, why.
struct TArguments {
  std::vector<std::string> List;
  std::optional<TError> Problem;
};

TCommandLine ParseCommandLine(const TArguments& args);

// Splits a raw Windows command line into arguments. Quoting follows the usual
// Windows rules, except that a double quote closing a non-empty word that
// ends the line or is followed by a blank is kept as a character, so that
// SHELX labels such as Mg" arrive unchanged. Atom names that Olex2 quoted
// together with such labels cannot be recovered: Problem says so.
TArguments SplitCommandLine(std::string_view raw, bool skipProgramName);

void ShowHelp(TTextSink& out);

}  // namespace koravel
