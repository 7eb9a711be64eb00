#include "app/report_header.h"

#include "geom/number_text.h"
#include "inputs/input_notes.h"

namespace koravel {

namespace {

std::string Count(size_t n) { return std::to_string(n); }

void WriteInputLines(const TRunState& state, TTextSink& out) {
  switch (state.InputKind) {
    case ikXyz:
      out.WriteLine("XYZ file     : " + state.FileName);
      if (!state.Input.Xyz.Comment.empty())
        out.WriteLine("Comment      : " + state.Input.Xyz.Comment);
      break;
    case ikShelx:
      out.WriteLine("SHELX file   : " + state.FileName);
      if (!state.Input.ShelxTitle.empty()) out.WriteLine("Title        : " + state.Input.ShelxTitle);
      break;
    case ikCif: {
      out.WriteLine("CIF file     : " + state.FileName);
      std::string line = "Data block   : " + state.Block->Name;
      if (state.Cif.BlockCount() > 1)
        line += "  (of " + Count(state.Cif.BlockCount()) + " blocks; select with --block=)";
      out.WriteLine(line);
      break;
    }
  }
}

void WriteStructureLines(const TRunState& state, TTextSink& out) {
  const TWorkingStructure& s = state.Structure;
  if (state.InputKind == ikXyz) {
    out.WriteLine("Coordinates  : Cartesian, no cell and no symmetry, " + Count(s.Atoms.size()) +
                  " atoms");
    out.WriteLine("Atom names   : " +
                  XyzNamingDescription(state.Input.Xyz.HasLabels, state.Options.XyzNaming));
    if (state.Input.Xyz.StructureCount > 1)
      out.WriteLine("Note         : the file holds " + Count(state.Input.Xyz.StructureCount) +
                    " structures; the first one is used.");
    return;
  }
  const TCell& c = s.Cell;
  out.WriteLine("Cell         : a = " + FormatValueSu(c.A, c.SuA, 4) + "  b = " +
                FormatValueSu(c.B, c.SuB, 4) + "  c = " + FormatValueSu(c.C, c.SuC, 4) + " A");
  out.WriteLine("               alpha = " + FormatValueSu(c.Alpha, c.SuAlpha, 3) + "  beta = " +
                FormatValueSu(c.Beta, c.SuBeta, 3) + "  gamma = " +
                FormatValueSu(c.Gamma, c.SuGamma, 3) + " deg");
  const std::string source = state.InputKind == ikShelx ? " operation(s) from LATT/SYMM, "
                                                        : " operation(s), ";
  out.WriteLine("Symmetry     : " + Count(s.SymOps.size()) + source + Count(s.Atoms.size()) +
                " atom sites");
}

void WriteLigandsLine(const TRunState& state, TTextSink& out) {
  const TRunOptions& o = state.Options;
  if (state.AutoLigands) {
    out.WriteLine("Ligands      : automatic (d <= r1 + r2 + " + FormatFixed(o.Tolerance, 2) +
                  " A, occupancy >= " + FormatFixed(o.MinOccupancy, 2) + ")");
    return;
  }
  const TLigandArgs& args = state.LigandArgs;
  if (args.GroupCount == 0) {
    out.WriteLine("Ligands      : specified (" + Count(args.Names.size()) + " atoms)");
    return;
  }
  size_t single = 0;
  for (int group : args.Groups)
    if (group < 0) ++single;
  out.WriteLine("Ligands      : specified (" + Count(single) + " atom(s), " +
                Count(args.GroupCount) + " centroid(s) from " +
                Count(args.Names.size() - single) + " atoms)");
}

}  // namespace

void WriteReportHeader(const TRunState& state, TTextSink& out) {
  out.WriteLine(kProgramTitle);
  out.WriteLine("");
  WriteInputLines(state, out);
  WriteStructureLines(state, out);
  out.WriteLine("Central atom : " + state.CentralLabel + " (" + state.CentralElement + ")");
  if (state.InputKind == ikShelx && state.Input.UseMatrix)
    WriteMatrixFileLine(out, state.Input.MatFileName, state.Input.MatFile->ParamCount);
  else if (state.InputKind == ikShelx)
    WriteShelxWarning(out, state.FileName);
  else if (state.InputKind == ikXyz)
    WriteXyzWarning(out);
  WriteLigandsLine(state, out);
}

}  // namespace koravel
