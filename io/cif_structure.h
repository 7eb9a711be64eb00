#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "crystal/published_angle.h"
#include "crystal/structure.h"
#include "io/cif_document.h"

namespace koravel {

// A block holds a structure when its _cell_length_a item is present and not
// a null value and it has a loop with _atom_site_label.
bool HasStructure(const TCifBlock& block);

// Whether the block lists atom sites at all (a journal's data_global block,
// which holds the paper's text, does not).
bool HasAtomSites(const TCifBlock& block);

// Whether the atom sites carry type symbols; without, every element is
// derived from its label.
bool HasTypeSymbols(const TCifBlock& block);

// Names of the blocks that hold a structure, in file order, joined by ", ".
std::string StructureBlockNames(const TCifDocument& cif);

// The data block to read: the one named by `blockName`, else the first with
// a structure whose atom sites hold one of `centralNames` (as FindAtom reads
// a typed name), else the first with a structure. Throws TError when there is
// none or the named one is missing or holds no structure.
const TCifBlock& ChooseDataBlock(const TCifDocument& cif, const std::string& blockName,
                                 const std::vector<std::string>& centralNames);

// Whether a block holds a structure whose atom sites hold one of `names` (as
// FindAtom reads a typed name).
bool HasStructureWithAtom(const TCifDocument& cif, const TCifBlock& block,
                          const std::vector<std::string>& names);

// The structure of a block: the cell with su, the operators, the atom sites
// with coordinates, su and occupancy (rows without three readable
// coordinates are left out). Operators keep the number of their row, or
// their _space_group_symop_id when that is a positive integer, whatever rows
// are skipped; a row with a null operator is skipped, one that cannot be read
// is an error. Throws TError when the cell is missing or unusable, or the
// atom-site loop, its coordinate columns or every usable row is missing.
TStructure ReadCifStructure(const TCifDocument& cif, const TCifBlock& block);

// The published bond angles of the block's _geom_angle loop. Rows whose angle
// is no number are left out; without the loop or its label columns the list
// is empty. Missing site symmetry reads as 1_555.
std::vector<TPublishedAngle> ReadPublishedAngles(const TCifDocument& cif, const TCifBlock& block);

}  // namespace koravel
