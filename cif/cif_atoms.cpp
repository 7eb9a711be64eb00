#include "cif/cif_structure.h"
#include "cif/su_number.h"
#include "geom/elements.h"
#include "geom/fatal.h"

namespace koravel {

namespace {

struct TAtomColumns {
  int Label = -1, Type = -1, X = -1, Y = -1, Z = -1, Occ = -1;
};

TAtomColumns FindAtomColumns(const TCifLoop& loop) {
  TAtomColumns c;
  c.Label = loop.IndexOfName("_atom_site_label");
  c.Type = loop.IndexOfName("_atom_site_type_symbol");
  c.X = loop.IndexOfName("_atom_site_fract_x");
  c.Y = loop.IndexOfName("_atom_site_fract_y");
  c.Z = loop.IndexOfName("_atom_site_fract_z");
  c.Occ = loop.IndexOfName("_atom_site_occupancy");
  return c;
}

// Fe from Fe2+, Cl from Cl1-; from the label when the type gives no letters.
std::string AtomElement(const TCifLoop& loop, const TAtomColumns& c, std::size_t row,
                        std::string_view label) {
  std::string element;
  if (c.Type >= 0) element = LetterPrefix(loop.Value(row, c.Type));
  if (element.empty()) element = ElementFromLabel(label);
  return element;
}

bool ReadAtomRow(const TCifLoop& loop, const TAtomColumns& c, std::size_t row, TAtom& atom) {
  const int axes[3] = {c.X, c.Y, c.Z};
  for (int k = 0; k < 3; ++k)
    if (!ParseSu(loop.Value(row, axes[k]), atom.Frac[k], atom.FracSu[k])) return false;
  atom.Label = std::string(loop.Value(row, c.Label));
  atom.Element = AtomElement(loop, c, row, atom.Label);
  atom.Occ = 1.0;
  double occ = 0, occSu = 0;
  if (c.Occ >= 0 && ParseSu(loop.Value(row, c.Occ), occ, occSu)) atom.Occ = occ;
  return true;
}

}  // namespace

void ReadAtoms(const TCifBlock& block, TWorkingStructure& s) {
  const TCifLoop* loop = block.FindLoop("_atom_site_label");
  if (loop == nullptr) Fatal("no _atom_site loop found in the CIF.");
  const TAtomColumns columns = FindAtomColumns(*loop);
  if (columns.X < 0 || columns.Y < 0 || columns.Z < 0)
    Fatal("fractional coordinates are missing in the _atom_site loop.");
  s.Atoms.clear();
  for (std::size_t row = 0; row < loop->RowCount(); ++row) {
    TAtom atom;
    if (ReadAtomRow(*loop, columns, row, atom)) s.Atoms.push_back(std::move(atom));
  }
  if (s.Atoms.empty()) Fatal("no atoms with coordinates found.");
  SyncAtomArrays(s);
}

}  // namespace koravel
