#include "report/header.h"

#include "base/file.h"
#include "base/numbers.h"
#include "base/text.h"
#include "ligands/atom_names.h"

namespace koravel {

namespace {

std::string Count(size_t n) { return std::to_string(n); }
std::string Atoms(size_t n) { return Count(n) + (n == 1 ? " atom" : " atoms"); }

void WriteInputLines(TTextSink& out, const TSource& in) {
  WriteFact(out, in.Format + " file", in.FileName);
  if (!in.Comment.empty()) WriteFact(out, "Comment", in.Comment);
  if (!in.Title.empty()) WriteFact(out, "Title", in.Title);
  // A CIF: the block read.
  if (in.BlockCount > 0) {
    std::string line = in.BlockName;
    if (in.BlockCount > 1)
      line += "  (of " + Count(static_cast<size_t>(in.BlockCount)) + " blocks; select with --block=)";
    WriteFact(out, "Data block", line);
  }
}

void WriteStructureLines(TTextSink& out, const TSource& in, const TStructure& s) {
  if (in.Cartesian) {
    WriteFact(out, "Coordinates", "Cartesian, no cell and no symmetry, " + Count(s.Atoms.size()) +
                  " atoms");
    WriteFact(out, "Atom names", in.AtomNames);
    if (in.Frames > 1)
      WriteFact(out, "Note", "the file holds " + Count(static_cast<size_t>(in.Frames)) +
                    " structures; the first one is used.");
    return;
  }
  const TCell& c = s.Cell;
  WriteFact(out, "Cell", "a = " + FormatValueSu(c.A, c.SuA, 4) + "  b = " +
                FormatValueSu(c.B, c.SuB, 4) + "  c = " + FormatValueSu(c.C, c.SuC, 4) + " A");
  WriteFact(out, "", "alpha = " + FormatValueSu(c.Alpha, c.SuAlpha, 3) + "  beta = " +
                FormatValueSu(c.Beta, c.SuBeta, 3) + "  gamma = " +
                FormatValueSu(c.Gamma, c.SuGamma, 3) + " deg");
  const std::string from = in.OperatorsFrom.empty() ? "" : " " + in.OperatorsFrom;
  WriteFact(out, "Symmetry", Count(s.SymOps.size()) + " operation(s)" + from + ", " + Count(s.Atoms.size()) +
                " atom sites");
  if (s.IdentityAdded)
    WriteFact(out, "Note", "the operator loop lacks the identity x, y, z; it was added as operator " +
                               Count(static_cast<size_t>(s.SymOps.back().Number)) + ".");
  for (size_t k : OperatorsAgainstCell(s))
    WriteFact(out, "Note", "operator " + Count(static_cast<size_t>(s.SymOps[k].Number)) + " (" +
                               SymOpText(s.SymOps[k]) + ") does not fit the cell (beyond 3 su): the cell or the operators are wrong.");
  if (s.SymmetryOrigin == TSymmetryOrigin::Absent)
    WriteFact(out, "Note", "the block gives neither symmetry operators nor a space-group "
                  "symbol; the identity alone is used.");
}

// A SHELX file without a matrix file: 12 lines, the first one empty; names
// the file's type (RES or INS) and the .mat to add.
void WriteShelxWarning(TTextSink& out, const TSource& in) {
  out.WriteLine("");
  out.WriteLine("*** WARNING - no standard uncertainties ***");
  out.WriteLine("The geometry was taken from a SHELX " + in.FileType + " file. Such files store");
  out.WriteLine("only the refined parameters themselves, not their standard");
  out.WriteLine("uncertainties: the su of the coordinates come from the inverse");
  out.WriteLine("least-squares matrix, which SHELXL writes to the .lst file and to");
  out.WriteLine("the CIF, but not to res/ins. Only the cell esds (ZERR) are present,");
  out.WriteLine("and they contribute so little to an angle sum that propagating them");
  out.WriteLine("alone would understate the true uncertainty by orders of magnitude.");
  out.WriteLine("All values below are therefore given without su. To get them, put the");
  out.WriteLine("SHELXL matrix file " + in.MatToAdd + " beside this one - it holds the full");
  out.WriteLine("variance-covariance matrix - or run Koravel on the CIF instead.");
}

// An XYZ file: 6 lines, the first one empty.
void WriteXyzWarning(TTextSink& out) {
  out.WriteLine("");
  out.WriteLine("*** WARNING - no standard uncertainties ***");
  out.WriteLine("The geometry was taken from an XYZ file. Such a file holds Cartesian");
  out.WriteLine("coordinates only - no cell, no symmetry and no standard uncertainties");
  out.WriteLine("(a calculated structure has none in the crystallographic sense).");
  out.WriteLine("All values below are therefore given without su.");
}

void WriteSourceNotes(TTextSink& out, const TSource& in) {
  if (in.MatParameters > 0)
    WriteFact(out, "Matrix file", FileNameOnly(in.MatFileName) + "  (" +
                  std::to_string(in.MatParameters) + " refined parameters)");
  else if (!in.MatToAdd.empty())
    WriteShelxWarning(out, in);
  else if (in.Cartesian)
    WriteXyzWarning(out);
}

void WriteLigandsLine(TTextSink& out, const TLigandRequest& request) {
  if (request.Automatic()) {
    const std::string sphere = request.Sphere == TSphereKind::Chemical ? ", chemical sphere" : "";
    WriteFact(out, "Ligands", "automatic" + sphere + " (d <= r1 + r2 + " + FormatFixed(request.Tolerance, 2) +
                  " A, occupancy >= " + FormatFixed(request.MinOccupancy, 2) + ")");
    return;
  }
  const TLigandArgs& args = request.Names;
  if (args.GroupCount == 0) {
    WriteFact(out, "Ligands", "specified (" + Atoms(args.Names.size()) + ")");
    return;
  }
  size_t single = 0;
  for (int group : args.Groups)
    if (group < 0) ++single;
  WriteFact(out, "Ligands", "specified (" + Count(single) + " atom(s), " +
                Count(static_cast<size_t>(args.GroupCount)) + " centroid(s) from " +
                Atoms(args.Names.size() - single) + ")");
}

// The central atom's label in other structures of the file: which block
// was read is then worth a second look.
void WriteOtherBlocksNote(TTextSink& out, const TSource& in, const TCentre& centre) {
  if (in.OtherCentralBlocks.empty()) return;
  std::string blocks;
  for (const std::string& block : in.OtherCentralBlocks) blocks += (blocks.empty() ? "" : ", ") + block;
  WriteFact(out, "Note", centre.Label + " is also in data block" + (in.OtherCentralBlocks.size() == 1 ? " " : "s ") +
                             blocks + " (select with --block=)");
}

// Labels that several atom sites carry make the tables ambiguous; which
// site each name took.
void WriteSharedLabelNotes(TTextSink& out, const TStructure& s, const TCentre& centre,
                           const TLigandRequest& request) {
  for (const TSharedLabel& l : SharedLabels(s, centre.Site.Atom, request.Names.Names)) {
    const std::string numbered = l.Sites == 2 ? " (" + l.Name + "@2 names the second)"
                                              : " (" + l.Name + "@2 to " + l.Name + "@" + Count(static_cast<size_t>(l.Sites)) +
                                                    " name the others)";
    const std::string which = l.Central && l.Position > 1 ? "the central atom is " + l.Name + "@" +
                                                                Count(static_cast<size_t>(l.Position)) + "."
                              : l.Central ? "the first is the central atom" + numbered + "."
                              : l.Coded ? "ligand " + l.Name + " is an image of the first."
                                        : "ligand " + l.Name + " is the nearest image of any of them.";
    WriteFact(out, "Note", Count(static_cast<size_t>(l.Sites)) +
                  " atom sites are labelled " + l.Name.substr(0, l.Name.find('#')) + "; " + which);
  }
}

}  // namespace

void WriteFact(TTextSink& out, std::string_view key, const std::string& value) {
  const std::string line = (key.empty() ? std::string(15, ' ') : PadRight(key, 13) + ": ") + value;
  out.WriteRow(line, {std::string(key), value});
}

void WriteListFact(TTextSink& out, std::string_view key, const std::string& value) {
  constexpr size_t kWidth = 78 - 15;
  std::string line;
  size_t start = 0;
  while (start < value.size()) {
    // The next piece: up to and including the blank after a comma or semicolon.
    size_t end = start;
    do {
      end = value.find_first_of(",;", end);
      end = end == std::string::npos ? value.size() : std::min(end + 2, value.size());
    } while (end < value.size() && value[end - 1] != ' ');
    const std::string_view piece = std::string_view(value).substr(start, end - start);
    if (!line.empty() && line.size() + TrimRight(piece).size() > kWidth) {
      WriteFact(out, key, std::string(TrimRight(line)));
      key = "";
      line.clear();
    }
    line += piece;
    start = end;
  }
  WriteFact(out, key, line);
}

void WriteHeader(TTextSink& out, const TSource& source, const TStructure& s, const TCentre& centre,
                 const TLigandRequest& request) {
  out.WriteLine(kProgramTitle);
  out.WriteLine("");
  WriteInputLines(out, source);
  WriteStructureLines(out, source, s);
  // The chemical sphere goes by the elements: which are metals, which are
  // hydrogen.
  if (request.Sphere == TSphereKind::Chemical && source.ElementsFromLabels)
    WriteFact(out, "Note", "the block gives no type symbols; the elements were derived from the labels.");
  WriteFact(out, "Central atom", centre.Label + " (" + centre.Element + ")");
  WriteOtherBlocksNote(out, source, centre);
  WriteSourceNotes(out, source);
  WriteLigandsLine(out, request);
  WriteSharedLabelNotes(out, s, centre, request);
}

}  // namespace koravel
