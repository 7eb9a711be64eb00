#include "io/bond_valence_file.h"

#include <map>

#include "base/error.h"
#include "base/numbers.h"
#include "base/text.h"
#include "io/cif_document.h"

namespace koravel {

namespace {

enum TColumn { kAtom1, kValence1, kAtom2, kValence2, kR0, kB, kRef };

// The references by id, from the _valence_ref loop where there is one.
std::map<std::string, std::string> References(const TCifDocument& cif, const TCifBlock& block) {
  std::map<std::string, std::string> refs;
  const TCifTable t = cif.FindTable(block, {"_valence_ref_id", "_valence_ref_reference"});
  for (std::size_t row = 0; t.Found() && t.Has(1) && row < t.Rows(); ++row)
    refs.emplace(t.At(row, 0).Text(), t.At(row, 1).Text());
  return refs;
}

}  // namespace

TBondValenceTable ReadBondValenceTable(const std::string& name) {
  const TCifDocument cif = ReadCifFile(name);
  TBondValenceTable table{name, {}};
  for (const TCifBlock& block : cif.Blocks()) {
    const TCifTable t = cif.FindTable(
        block, {"_valence_param_atom_1", "_valence_param_atom_1_valence", "_valence_param_atom_2",
                "_valence_param_atom_2_valence", "_valence_param_Ro", "_valence_param_B", "_valence_param_ref_id"});
    if (!t.Found()) continue;
    for (int column : {kValence1, kAtom2, kValence2, kR0, kB})
      if (!t.Has(column)) Fail("the _valence_param loop of " + name + " has no R0, b, second atom or valences.");
    const std::map<std::string, std::string> refs = References(cif, block);
    std::string storage;
    for (std::size_t row = 0; row < t.Rows(); ++row) {
      TBondValenceRow r;
      r.Line = cif.LineOf(t.At(row, kAtom1));
      r.Cation = t.At(row, kAtom1).Text();
      r.Anion = t.At(row, kAtom2).Text();
      const std::string where = name + ", line " + std::to_string(r.Line) + ": the bond-valence row " + r.Cation +
                                "-" + r.Anion;
      auto number = [&](int column, std::string_view what) {
        double value = 0;
        const std::string text(Trim(t.At(row, column).Text(storage)));
        if (!ParseNumber(text, value) || !(value > 0))
          Fail(where + " has " + std::string(what) + " \"" + text + "\", not a positive number.");
        return value;
      };
      auto valence = [&](int column, std::string_view what) {
        long long value = 0;
        const std::string text(Trim(t.At(row, column).Text(storage)));
        if (!ParseInteger(text, value) || value < -9 || value > 9)
          Fail(where + " has " + std::string(what) + " \"" + text + "\", not a valence.");
        return static_cast<int>(value);
      };
      r.CationValence = valence(kValence1, "the valence");
      r.AnionValence = valence(kValence2, "the anion valence");
      r.R0 = number(kR0, "R0");
      r.B = number(kB, "b");
      if (t.Has(kRef)) {
        r.Reference = t.At(row, kRef).Text();
        if (const auto ref = refs.find(r.Reference); ref != refs.end()) r.Reference += " (" + ref->second + ")";
      }
      table.Rows.push_back(std::move(r));
    }
  }
  if (table.Rows.empty()) Fail("no _valence_param loop with bond-valence parameters found in " + name + ".");
  return table;
}

}  // namespace koravel
