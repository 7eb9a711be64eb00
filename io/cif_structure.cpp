#include "io/cif_structure.h"

#include <map>

#include <algorithm>

#include "base/error.h"
#include "base/numbers.h"
#include "base/text.h"
#include "crystal/elements.h"
#include "crystal/hall_symbol.h"
#include "crystal/space_group_table.h"
#include "crystal/sym_code.h"

namespace koravel {

namespace {

const char* const kCellLengthA = "_cell_length_a";
const char* const kAtomSiteLabel = "_atom_site_label";

bool HasAtom(const TCifDocument& cif, const TCifBlock& block, std::string_view typed) {
  const TCifTable atoms = cif.FindTable(block, {kAtomSiteLabel});
  std::string storage;
  for (std::size_t row = 0; row < atoms.Rows(); ++row)
    if (LabelMatches(atoms.At(row, 0).Text(storage), typed)) return true;
  return false;
}

// A cell item with its su, or the default (su 0) when absent or unreadable.
void ReadCellItem(const TCifBlock& block, std::string_view tag, double fallback, double& value,
                  double& su) {
  const TCifValue* item = TCifDocument::FindItem(block, tag);
  std::string storage;
  if (item == nullptr || !ParseSu(item->Text(storage), value, su)) {
    value = fallback;
    su = 0;
  }
}

TCell ReadCell(const TCifBlock& block, const std::string& fileName) {
  TCell c;
  ReadCellItem(block, kCellLengthA, 0, c.A, c.SuA);
  ReadCellItem(block, "_cell_length_b", 0, c.B, c.SuB);
  ReadCellItem(block, "_cell_length_c", 0, c.C, c.SuC);
  ReadCellItem(block, "_cell_angle_alpha", 90, c.Alpha, c.SuAlpha);
  ReadCellItem(block, "_cell_angle_beta", 90, c.Beta, c.SuBeta);
  ReadCellItem(block, "_cell_angle_gamma", 90, c.Gamma, c.SuGamma);
  if (!IsUsable(c)) Fail("cell parameters are missing or unusable in " + fileName + ".");
  return c;
}

// The number of an operator row: its id when that is a positive integer,
// else its place in the loop, so that codes n_klm keep pointing at it.
int OperatorNumber(const TCifTable& ops, std::size_t row) {
  long long id = 0;
  if (ops.Has(1) && ParseInteger(Trim(ops.At(row, 1).Raw), id) && id >= 1 && id <= 100000)
    return static_cast<int>(id);
  return static_cast<int>(row + 1);
}

std::vector<TSymOp> ReadOperatorLoop(const TCifDocument& cif, const TCifBlock& block) {
  const TCifTable ops = cif.FindTable(
      block, {"_space_group_symop_operation_xyz|_symmetry_equiv_pos_as_xyz",
              "_space_group_symop_id|_symmetry_equiv_pos_site_id"});
  std::vector<TSymOp> list;
  std::string storage;
  for (std::size_t row = 0; row < ops.Rows(); ++row) {
    const TCifValue& text = ops.At(row, 0);
    if (text.IsNull()) continue;
    TSymOp op = ParseSymOp(text.Text(storage),
                           "row " + std::to_string(row + 1) + " of the operator loop");
    op.Number = OperatorNumber(ops, row);
    list.push_back(op);
  }
  return list;
}

// The first of the tags the block gives a value that is not null, or "".
std::string FirstValue(const TCifBlock& block, std::initializer_list<std::string_view> tags) {
  for (std::string_view tag : tags) {
    const TCifValue* item = TCifDocument::FindItem(block, tag);
    if (item != nullptr && !item->IsNull()) return std::string(Trim(item->Text()));
  }
  return "";
}

// The operators of the block: its operator loop; without one, those of its
// Hall symbol; failing that, of its Hermann-Mauguin symbol, by way of the
// Hall symbol of that setting in International Tables A. A symbol that
// cannot be read is an error; a block with neither stays with the identity.
void ReadSymmetry(const TCifDocument& cif, const TCifBlock& block, TStructure& s) {
  std::vector<TSymOp> listed = ReadOperatorLoop(cif, block);
  if (!listed.empty()) {
    const size_t count = listed.size();
    s.SymOps = WithIdentity(std::move(listed));
    s.IdentityAdded = s.SymOps.size() > count;
    return;
  }
  const std::string hall = FirstValue(block, {"_space_group_name_Hall", "_symmetry_space_group_name_Hall"});
  const std::string hm = FirstValue(block, {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"});
  const std::optional<std::string> hallOfHm = hm.empty() ? std::nullopt : HallOfHermannMauguin(hm);
  // A Hall symbol that cannot be read yields to a Hermann-Mauguin symbol
  // that can; with none, its own error is the one to tell.
  if (!hall.empty() && (!hallOfHm || HallSymbolReads(hall))) {
    s.SymOps = HallSymbolOperators(hall);
    s.SymmetryOrigin = TSymmetryOrigin::HallSymbol;
    s.SymmetrySymbol = hall;
    return;
  }
  if (hallOfHm) {
    s.SymOps = HallSymbolOperators(*hallOfHm);
    s.SymmetryOrigin = TSymmetryOrigin::HermannMauguinSymbol;
    s.SymmetrySymbol = hm;
    return;
  }
  if (!hm.empty())
    Fail({"the block has no symmetry operators, and its Hermann-Mauguin symbol \"" + hm + "\"",
          "is none of the settings of International Tables A. Give the operators",
          "(_space_group_symop_operation_xyz) or a Hall symbol (_space_group_name_Hall)."});
  s.SymOps = {IdentitySymOp()};
  s.SymmetryOrigin = TSymmetryOrigin::Absent;
}

enum TAtomColumn { kLabel, kType, kX, kY, kZ, kOcc, kCalcFlag };

// Fe from Fe2+, Cl from Cl1-; from the label when the type gives no letters.
std::string AtomElement(const TCifTable& t, std::size_t row, std::string_view label) {
  std::string storage;
  std::string element = t.Has(kType) ? LetterPrefix(t.At(row, kType).Text(storage)) : "";
  if (element.empty()) element = ElementFromLabel(label);
  return element;
}

// The oxidation state a type symbol carries: 3 for Fe3+ or Fe+3, -2 for
// O2-, 1 for Na+; nothing for a symbol without a charge.
std::optional<int> StateOfTypeSymbol(std::string_view symbol) {
  std::string_view rest = Trim(symbol).substr(LetterPrefix(Trim(symbol)).size());
  if (rest.empty()) return std::nullopt;
  int sign = 0;
  if (rest.back() == '+' || rest.back() == '-') {
    sign = rest.back() == '+' ? 1 : -1;
    rest.remove_suffix(1);
  } else if (rest.front() == '+' || rest.front() == '-') {
    sign = rest.front() == '+' ? 1 : -1;
    rest.remove_prefix(1);
  }
  long long magnitude = 1;
  if (sign == 0 || (!rest.empty() && (!ParseInteger(rest, magnitude) || magnitude < 0 || magnitude > 9)))
    return std::nullopt;
  return sign * static_cast<int>(magnitude);
}

// The oxidation numbers of the _atom_type loop by type symbol, where they
// are whole numbers.
std::map<std::string, int, std::less<>> TypeStates(const TCifDocument& cif, const TCifBlock& block) {
  std::map<std::string, int, std::less<>> states;
  const TCifTable t = cif.FindTable(block, {"_atom_type_symbol", "_atom_type_oxidation_number"});
  std::string storage;
  for (std::size_t row = 0; t.Found() && t.Has(1) && row < t.Rows(); ++row) {
    long long state = 0;
    if (ParseInteger(Trim(t.At(row, 1).Text(storage)), state) && state >= -9 && state <= 9)
      states.emplace(std::string(Trim(t.At(row, 0).Text(storage))), static_cast<int>(state));
  }
  return states;
}

bool ReadAtomRow(const TCifTable& t, std::size_t row, const std::map<std::string, int, std::less<>>& typeStates,
                 TAtom& atom) {
  std::string storage;
  for (int k = 0; k < 3; ++k)
    if (!ParseSu(t.At(row, kX + k).Text(storage), atom.Frac[k], atom.FracSu[k])) return false;
  atom.Label = t.At(row, kLabel).Text();
  atom.Element = AtomElement(t, row, atom.Label);
  if (t.Has(kType)) {
    const std::string_view type = Trim(t.At(row, kType).Text(storage));
    const auto listed = typeStates.find(type);
    atom.OxidationState = listed != typeStates.end() ? std::optional<int>(listed->second) : StateOfTypeSymbol(type);
  }
  double occ = 0, occSu = 0;
  if (t.Has(kOcc) && ParseSu(t.At(row, kOcc).Text(storage), occ, occSu)) atom.Occ = occ;
  atom.Dummy = t.Has(kCalcFlag) && SameText(Trim(t.At(row, kCalcFlag).Text(storage)), "dum");
  return true;
}

std::vector<TAtom> ReadAtoms(const TCifDocument& cif, const TCifBlock& block) {
  const TCifTable t = cif.FindTable(block, {kAtomSiteLabel, "_atom_site_type_symbol",
                                            "_atom_site_fract_x", "_atom_site_fract_y",
                                            "_atom_site_fract_z", "_atom_site_occupancy",
                                            "_atom_site_calc_flag"});
  if (!t.Found()) Fail("no _atom_site loop found in " + cif.Name() + ".");
  if (!t.Has(kX) || !t.Has(kY) || !t.Has(kZ))
    Fail("fractional coordinates are missing in the _atom_site loop of " + cif.Name() + ".");
  const auto typeStates = TypeStates(cif, block);
  std::vector<TAtom> atoms;
  for (std::size_t row = 0; row < t.Rows(); ++row) {
    TAtom atom;
    if (ReadAtomRow(t, row, typeStates, atom)) atoms.push_back(std::move(atom));
  }
  if (atoms.empty()) Fail("no atoms with coordinates found in " + cif.Name() + ".");
  return atoms;
}

}  // namespace

bool HasStructure(const TCifBlock& block) {
  const TCifValue* a = TCifDocument::FindItem(block, kCellLengthA);
  return a != nullptr && !a->IsNull() && TCifDocument::HasColumn(block, kAtomSiteLabel);
}

bool HasTypeSymbols(const TCifBlock& block) {
  return TCifDocument::HasColumn(block, "_atom_site_type_symbol");
}

bool HasAtomSites(const TCifBlock& block) {
  return TCifDocument::HasColumn(block, kAtomSiteLabel) || TCifDocument::HasColumn(block, "_atom_site_fract_x");
}

std::string StructureBlockNames(const TCifDocument& cif) {
  std::string names;
  for (const TCifBlock& block : cif.Blocks()) {
    if (!HasStructure(block)) continue;
    if (!names.empty()) names += ", ";
    names += TextOf(block.Name);
  }
  return names;
}

bool HasStructureWithAtom(const TCifDocument& cif, const TCifBlock& block,
                          const std::vector<std::string>& names) {
  return HasStructure(block) &&
         std::any_of(names.begin(), names.end(), [&](const std::string& name) { return HasAtom(cif, block, name); });
}

const TCifBlock& ChooseDataBlock(const TCifDocument& cif, const std::string& blockName,
                                 const std::vector<std::string>& centralNames) {
  if (cif.Blocks().empty()) Fail("no data block found in " + cif.Name() + ".");
  if (!blockName.empty()) {
    const TCifBlock* block = cif.FindBlock(blockName);
    if (block == nullptr)
      Fail("data block \"" + blockName + "\" not found. Available: " + StructureBlockNames(cif));
    if (!HasStructure(*block))
      Fail("data block \"" + blockName +
           "\" contains no cell parameters and atom sites. Blocks with a structure: " +
           StructureBlockNames(cif));
    return *block;
  }
  for (const TCifBlock& block : cif.Blocks())
    if (HasStructureWithAtom(cif, block, centralNames)) return block;
  for (const TCifBlock& block : cif.Blocks())
    if (HasStructure(block)) return block;
  Fail("no data block with cell parameters and atom sites found in " + cif.Name() + ".");
}

TStructure ReadCifStructure(const TCifDocument& cif, const TCifBlock& block) {
  TStructure s;
  s.Cell = ReadCell(block, cif.Name());
  ReadSymmetry(cif, block, s);
  s.Atoms = ReadAtoms(cif, block);
  return s;
}

std::vector<TPublishedAngle> ReadPublishedAngles(const TCifDocument& cif, const TCifBlock& block) {
  enum { kValue, kLabel1, kLabel2, kLabel3, kSym1, kSym2, kSym3 };
  const TCifTable t = cif.FindTable(
      block, {"_geom_angle|_geom_angle.value", "_geom_angle_atom_site_label_1",
              "_geom_angle_atom_site_label_2", "_geom_angle_atom_site_label_3",
              "_geom_angle_site_symmetry_1", "_geom_angle_site_symmetry_2",
              "_geom_angle_site_symmetry_3"});
  std::vector<TPublishedAngle> angles;
  if (!t.Found() || !t.Has(kLabel1) || !t.Has(kLabel2) || !t.Has(kLabel3)) return angles;
  std::string storage;
  auto code = [&](std::size_t row, int column) {
    return t.Has(column) ? NormalizeSymCode(t.At(row, column).Text(storage)) : "1_555";
  };
  for (std::size_t row = 0; row < t.Rows(); ++row) {
    TPublishedAngle a;
    if (!ParseSu(t.At(row, kValue).Text(storage), a.Angle, a.Su)) continue;
    a.Label1 = t.At(row, kLabel1).Text();
    a.Label2 = t.At(row, kLabel2).Text();
    a.Label3 = t.At(row, kLabel3).Text();
    a.Sym1 = code(row, kSym1);
    a.Sym2 = code(row, kSym2);
    a.Sym3 = code(row, kSym3);
    angles.push_back(std::move(a));
  }
  return angles;
}

}  // namespace koravel
