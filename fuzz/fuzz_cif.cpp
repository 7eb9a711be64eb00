// The CIF reader, then for each data block the structure (cell, operators,
// atom sites) and the published angle list, as a run reads them, and every
// value of every item and loop as text.
#include <optional>
#include <string>

#include "crystal/cell.h"
#include "fuzz/fuzz_support.h"
#include "io/cif_structure.h"

using namespace koravel;

namespace {

// Enough blocks to reach every path; a file of thousands of empty blocks
// would only repeat them.
constexpr int kMaxBlocks = 16;

void ReadValues(const TCifDocument& cif, const TCifBlock& block) {
  std::string storage;
  for (const TCifItem& item : block.Items) {
    item.Value.Text(storage);
    item.Value.IsNull();
  }
  for (const TCifLoop& loop : block.Loops) {
    if (loop.Tags.empty()) continue;
    fuzz::Survives([&] {  // a loop whose values do not fill its last row is an error
      const TCifTable t = cif.FindTable(block, {loop.Tags.front(), loop.Tags.back(), "_none|_x"});
      // A tag finds its loop, unless it holds the "|" that separates alternatives.
      if (!t.Found() && loop.Tags.front().find('|') == std::string_view::npos) fuzz::Broken();
      for (std::size_t row = 0; row <= t.Rows(); ++row)
        for (int column = 0; column < 3; ++column) t.At(row, column).Text(storage);
    });
  }
}

void ReadBlock(const TCifDocument& cif, const TCifBlock& block) {
  HasStructure(block);
  TStructure s;
  if (fuzz::Survives([&] { s = ReadCifStructure(cif, block); })) {
    if (!IsUsable(s.Cell) || s.Atoms.empty()) fuzz::Broken();
    bool identity = false;
    for (const TSymOp& op : s.SymOps) identity = identity || SameModLattice(op, IdentitySymOp());
    if (!identity) fuzz::Broken();
  }
  fuzz::Survives([&] {
    for (const TPublishedAngle& a : ReadPublishedAngles(cif, block))
      if (a.Sym1.empty() || a.Sym2.empty() || a.Sym3.empty()) fuzz::Broken();
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::optional<TCifDocument> document;
  if (!fuzz::Survives([&] { document.emplace(std::string(fuzz::AsText(data, size))); })) return 0;
  const TCifDocument& cif = *document;
  StructureBlockNames(cif);
  fuzz::Survives([&] { ChooseDataBlock(cif, "", {"Fe1_$2", "Fe1", "Mg''"}); });
  fuzz::Survives([&] { ChooseDataBlock(cif, "global", {"C1"}); });
  int count = 0;
  for (const TCifBlock& block : cif.Blocks()) {
    if (++count > kMaxBlocks) break;
    if (cif.FindBlock(block.Name) == nullptr) fuzz::Broken();
    ReadValues(cif, block);
    ReadBlock(cif, block);
  }
  return 0;
}
