#pragma once
#include "crystal/structure.h"
#include "io/source.h"
#include "ligands/ligands.h"
#include "report/text_sink.h"

namespace koravel {

// The program's version (KORAVEL_VERSION comes from the build), as --version
// prints it, and the first line of the help text and of every report.
constexpr const char* kProgramVersion = KORAVEL_VERSION;
constexpr const char* kProgramTitle = "Koravel " KORAVEL_VERSION " - sum of the bond angles around an atom";

// A line of the header's facts, "Key          : value", whose value
// continues on a line of an empty key.
void WriteFact(TTextSink& out, std::string_view key, const std::string& value);

// The same for a long value, a list of names: broken after its commas and
// semicolons so that no line is wider than 78 characters where that can be.
void WriteListFact(TTextSink& out, std::string_view key, const std::string& value);

// The report header, from the title down to the "Ligands      :" line, with
// the input's warning block or matrix-file line in its place.
void WriteHeader(TTextSink& out, const TSource& source, const TStructure& s, const TCentre& centre,
                 const TLigandRequest& request);

}  // namespace koravel
