#pragma once
#include <string>

#include "geom/text_sink.h"
#include "inputs/xyz_naming.h"

namespace koravel {

// The report-header texts of SHELX, matrix and XYZ input.

// The warning printed for a SHELX file without a matrix file: 12 lines, the
// first one empty; names the file's type (RES or INS) and the .mat to add.
void WriteShelxWarning(TTextSink& out, const std::string& shelxFileName);

// The warning printed for an XYZ file: 6 lines, the first one empty.
void WriteXyzWarning(TTextSink& out);

// "Matrix file  : dom1.mat  (35 refined parameters)".
void WriteMatrixFileLine(TTextSink& out, const std::string& matFileName, long long paramCount);

// How the XYZ atoms are named: "as given in the file" when the file has its
// own labels, otherwise the chosen scheme.
std::string XyzNamingDescription(bool hasLabels, TXyzNaming naming);

// The continuation lines that "not found" messages add for XYZ input: the
// naming in use and, without file labels, the other schemes. Starts with a
// line break; every line it adds begins with seven blanks.
std::string XyzNamingHint(bool hasLabels, TXyzNaming naming);

}  // namespace koravel
