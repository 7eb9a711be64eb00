#include "cif/cif_structure.h"

#include "geom/text.h"

namespace koravel {

bool HasStructure(const TCifBlock& block) {
  return !IsNullValue(block.GetItem("_cell_length_a")) &&
         block.FindLoop("_atom_site_label") != nullptr;
}

bool BlockHasAtom(const TCifBlock& block, std::string_view label) {
  const TCifLoop* loop = block.FindLoop("_atom_site_label");
  if (loop == nullptr) return false;
  const int column = loop->IndexOfName("_atom_site_label");
  for (std::size_t row = 0; row < loop->RowCount(); ++row)
    if (SameText(loop->Value(row, column), label)) return true;
  return false;
}

std::string StructureBlockNames(const TCifFile& file) {
  std::string names;
  for (const auto& block : file.Blocks) {
    if (!HasStructure(*block)) continue;
    if (!names.empty()) names += ", ";
    names += block->Name;
  }
  return names;
}

}  // namespace koravel
