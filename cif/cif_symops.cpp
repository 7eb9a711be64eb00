#include <string>

#include "cif/cif_structure.h"

namespace koravel {

void ReadSymOps(const TCifBlock& block, TWorkingStructure& s) {
  s.SymOps.clear();
  // Current, then older dictionary names; the first found in any loop wins.
  const TCifLoop* loop = block.FindLoopAny({"_space_group_symop_operation_xyz",
                                            "_symmetry_equiv_pos_as_xyz",
                                            "_space_group_symop.operation_xyz"});
  if (loop != nullptr) {
    int column = loop->IndexOfName("_space_group_symop_operation_xyz");
    if (column < 0) column = loop->IndexOfName("_symmetry_equiv_pos_as_xyz");
    if (column < 0) column = loop->IndexOfName("_space_group_symop.operation_xyz");
    // Operators are numbered by the rows accepted, not by any id column, so
    // that symmetry codes n_klm refer to this list.
    for (std::size_t row = 0; row < loop->RowCount(); ++row) {
      std::string_view text = loop->Value(row, column);
      if (IsNullValue(text)) continue;
      TSymOp op;
      if (!ParseSymOp(text, op)) continue;
      op.Num = static_cast<int>(s.SymOps.size()) + 1;
      op.Code = std::to_string(op.Num) + "_555";
      s.SymOps.push_back(std::move(op));
    }
  }
  if (s.SymOps.empty()) s.SymOps.push_back(IdentitySymOp());
}

}  // namespace koravel
