#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "app/run_options.h"
#include "geom/text_sink.h"

namespace koravel {

// Splits a raw command line into arguments. Quoting follows the usual
// Windows rules, except that a double quote closing a non-empty word that
// ends the line or is followed by a blank is kept as a character, so that
// SHELX labels such as Mg" arrive unchanged.
void SplitCommandLine(std::string_view raw, bool skipProgramName,
                      std::vector<std::string>& args);

// The value of --tol=, --occ= or --max=; Fatal when it is not a number.
double ParseFloatOption(const std::string& text, const std::string& optionName);

void ShowHelp(TTextSink& out);

enum class TOptionOutcome { Run, Help };

// Reads the options into `options` and the other arguments, in order, into
// `positional`. Fatal for an unknown option or a bad value; Help when --help,
// -h or /? came before any bad option.
TOptionOutcome ParseOptions(const std::vector<std::string>& args, TRunOptions& options,
                            std::vector<std::string>& positional);

}  // namespace koravel
