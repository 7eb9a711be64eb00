#include "cif/cif_angles.h"

#include <string>

#include "cif/su_number.h"
#include "cif/sym_code.h"
#include "geom/text.h"

namespace koravel {

namespace {

std::string SymCodeAt(const TCifLoop& loop, std::size_t row, int column) {
  return column < 0 ? std::string("1_555") : NormalizeSymCode(loop.Value(row, column));
}

}  // namespace

void ReadCifAngles(const TCifBlock& block, std::vector<TCifAngle>& angles) {
  angles.clear();
  const TCifLoop* loop = block.FindLoop("_geom_angle");
  if (loop == nullptr) return;
  const int label1 = loop->IndexOfName("_geom_angle_atom_site_label_1");
  const int label2 = loop->IndexOfName("_geom_angle_atom_site_label_2");
  const int label3 = loop->IndexOfName("_geom_angle_atom_site_label_3");
  const int value = loop->IndexOfName("_geom_angle");
  const int sym1 = loop->IndexOfName("_geom_angle_site_symmetry_1");
  const int sym2 = loop->IndexOfName("_geom_angle_site_symmetry_2");
  const int sym3 = loop->IndexOfName("_geom_angle_site_symmetry_3");
  if (label1 < 0 || label2 < 0 || label3 < 0 || value < 0) return;
  for (std::size_t row = 0; row < loop->RowCount(); ++row) {
    TCifAngle a;
    if (!ParseSu(loop->Value(row, value), a.Angle, a.Su)) continue;
    a.SuGiven = a.Su > 0;
    a.Label1 = std::string(loop->Value(row, label1));
    a.Label2 = std::string(loop->Value(row, label2));
    a.Label3 = std::string(loop->Value(row, label3));
    a.Sym1 = SymCodeAt(*loop, row, sym1);
    a.Sym2 = SymCodeAt(*loop, row, sym2);
    a.Sym3 = SymCodeAt(*loop, row, sym3);
    angles.push_back(std::move(a));
  }
}

}  // namespace koravel
