#include "inputs/input_notes.h"

#include "geom/text.h"
#include "geom/file_name.h"

namespace koravel {

void WriteShelxWarning(TTextSink& out, const std::string& shelxFileName) {
  std::string kind = FileExtension(shelxFileName);
  if (!kind.empty()) kind.erase(0, 1);
  const std::string matName = FileNameOnly(ChangeExtension(shelxFileName, ".mat"));
  out.WriteLine("");
  out.WriteLine("*** WARNING - no standard uncertainties ***");
  out.WriteLine("The geometry was taken from a SHELX " + UpperAscii(kind) + " file. Such files store");
  out.WriteLine("only the refined parameters themselves, not their standard");
  out.WriteLine("uncertainties: the su of the coordinates come from the inverse");
  out.WriteLine("least-squares matrix, which SHELXL writes to the .lst file and to");
  out.WriteLine("the CIF, but not to res/ins. Only the cell esds (ZERR) are present,");
  out.WriteLine("and they contribute so little to an angle sum that propagating them");
  out.WriteLine("alone would understate the true uncertainty by orders of magnitude.");
  out.WriteLine("All values below are therefore given without su. To get them, put the");
  out.WriteLine("SHELXL matrix file " + matName + " beside this one - it holds the full");
  out.WriteLine("variance-covariance matrix - or run Koravel on the CIF instead.");
}

void WriteXyzWarning(TTextSink& out) {
  out.WriteLine("");
  out.WriteLine("*** WARNING - no standard uncertainties ***");
  out.WriteLine("The geometry was taken from an XYZ file. Such a file holds Cartesian");
  out.WriteLine("coordinates only - no cell, no symmetry and no standard uncertainties");
  out.WriteLine("(a calculated structure has none in the crystallographic sense).");
  out.WriteLine("All values below are therefore given without su.");
}

void WriteMatrixFileLine(TTextSink& out, const std::string& matFileName, long long paramCount) {
  out.WriteLine("Matrix file  : " + FileNameOnly(matFileName) + "  (" + std::to_string(paramCount) +
                " refined parameters)");
}

std::string XyzNamingDescription(bool hasLabels, TXyzNaming naming) {
  if (hasLabels) return "as given in the file";
  switch (naming) {
    case xnPosition: return "element + position in the atom list (first atom = 1)";
    case xnElement: return "element + number per element (C1, H1, H2, ...)";
    case xnOlex:
    default: return "element + line in the file counted from 0, as in Olex2 (first atom = line 2)";
  }
}

std::string XyzNamingHint(bool hasLabels, TXyzNaming naming) {
  std::string hint = "\n       XYZ atom names: " + XyzNamingDescription(hasLabels, naming) + ".";
  if (!hasLabels)
    hint += "\n       Other schemes: xyznames=olex (as Olex2), xyznames=position"
            "\n       (first atom = 1), xyznames=element (C1, H1, H2, ...).";
  return hint;
}

}  // namespace koravel
