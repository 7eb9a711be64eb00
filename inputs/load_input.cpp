#include "inputs/load_input.h"

#include "geom/fatal.h"
#include "geom/text.h"
#include "geom/file_name.h"
#include "inputs/shelx_reader.h"
#include "inputs/site_symmetry.h"

namespace koravel {

namespace {

// Cartesian coordinates become fractional ones of a cubic cell so large that
// no symmetry image comes near, and whose fractions times 10000 are ångström.
constexpr double kXyzCellEdge = 10000;

void ReplaceStructure(TWorkingStructure& s, TCell cell, std::vector<TSymOp> ops,
                      std::vector<TAtom> atoms) {
  s.Cell = cell;
  s.SymOps = std::move(ops);
  s.Atoms = std::move(atoms);
  s.CifAngles.clear();
  SyncAtomArrays(s);
}

}  // namespace

std::string PairingMessage(const std::string& matFileName, const std::string& shelxFileName,
                           const std::string& matchMessage) {
  std::string message = FileNameOnly(matFileName) + " does not belong to " +
                        FileNameOnly(shelxFileName) + " - " + matchMessage;
  if (SameText(FileExtension(shelxFileName), ".ins"))
    return message +
           " An .ins is the input of a refinement, while the .mat is written by it; the two "
           "only match if the .ins is a copy of that run's .res. Use the .res, or remove the "
           ".mat to get the result without su.";
  return message +
         " Both files must come from the same refinement run; remove the .mat to get the "
         "result without su.";
}

void LoadShelx(const std::string& fileName, TWorkingStructure& s, TInputState& st) {
  TShelxData data;
  std::string error;
  if (!ReadShelxFile(fileName, data, error)) Fatal(error);
  st.ShelxTitle = data.Title;
  // SHELXL writes the site occupation factor of an atom on a special position
  // as occupancy x site multiplicity / general multiplicity (0.5 on an
  // inversion centre for a fully occupied atom). The order of the site
  // symmetry undoes that division, so that --occ= compares occupancies.
  const std::vector<TSymOp> distinct = DistinctSymOps(data.SymOps);
  std::vector<TAtom> atoms;
  atoms.reserve(data.Atoms.size());
  for (const TShelxAtom& a : data.Atoms) {
    TAtom atom;
    atom.Label = a.Label;
    atom.Element = a.Element;
    atom.Frac = a.Frac;
    atom.Occ = SiteOccupancy(a.Occ, SiteSymmetryOrder(a.Frac, distinct));
    atoms.push_back(std::move(atom));
  }
  ReplaceStructure(s, data.Cell, std::move(data.SymOps), std::move(atoms));

  st.MatFileName = ChangeExtension(fileName, ".mat");
  st.UseMatrix = false;
  st.MatFile.reset();
  if (!FileExists(st.MatFileName)) {
    st.HasSu = false;
    return;
  }
  st.MatFile = std::make_unique<TMatFile>();
  if (!st.MatFile->LoadMatFile(st.MatFileName, error)) Fatal(error);
  std::vector<std::string> labels;
  labels.reserve(s.Atoms.size());
  for (const TAtom& atom : s.Atoms) labels.push_back(atom.Label);
  int matched = 0;
  if (!st.MatFile->MatchStructure(labels, s.AtomFrac, matched, error))
    Fatal(PairingMessage(st.MatFileName, fileName, error));
  st.UseMatrix = true;
  st.HasSu = true;
}

void LoadXyz(const std::string& fileName, TXyzNaming naming, TWorkingStructure& s,
             TInputState& st) {
  std::string error;
  if (!ReadXyzFile(fileName, naming, st.Xyz, error)) Fatal(error);
  TCell cell;
  cell.A = cell.B = cell.C = kXyzCellEdge;
  std::vector<TAtom> atoms;
  atoms.reserve(st.Xyz.Atoms.size());
  for (const TXyzAtom& a : st.Xyz.Atoms) {
    TAtom atom;
    atom.Label = a.Label;
    atom.Element = a.Element;
    for (int i = 0; i < 3; ++i) atom.Frac[i] = a.Cart[i] / kXyzCellEdge;
    atoms.push_back(std::move(atom));
  }
  ReplaceStructure(s, cell, {IdentitySymOp()}, std::move(atoms));
  st.HasSu = false;
}

}  // namespace koravel
