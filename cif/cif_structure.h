#pragma once
#include <string>
#include <string_view>

#include "cif/cif_file.h"
#include "geom/structure.h"

namespace koravel {

// A block holds a structure when its _cell_length_a item is present and not
// a null value and it has a loop with _atom_site_label.
bool HasStructure(const TCifBlock& block);

// Whether the _atom_site_label column holds the label (any letter case).
bool BlockHasAtom(const TCifBlock& block, std::string_view label);

// Names of the blocks that hold a structure, in file order, joined by ", ".
std::string StructureBlockNames(const TCifFile& file);

// The cell with su from the block's single-valued items. Ends the run through
// Fatal when a length is missing, not positive, or the angles cannot form a
// cell.
void ReadCell(const TCifBlock& block, TWorkingStructure& s);

// The symmetry operators of the operator loop, numbered 1, 2, ... in the
// order of the rows that parse; the identity alone when none does.
void ReadSymOps(const TCifBlock& block, TWorkingStructure& s);

// The atom sites of the _atom_site loop with coordinates, su and occupancy;
// rows without three readable coordinates are dropped. Ends the run through
// Fatal when the loop, its coordinate columns or any usable row is missing.
void ReadAtoms(const TCifBlock& block, TWorkingStructure& s);

}  // namespace koravel
