// The CIF reader, then for each data block the structure extraction (cell,
// operators, atom sites) and the published angle list, as a run does it.
#include <string>

#include "app/structure_choice.h"
#include "cif/cif_angles.h"
#include "cif/cif_file.h"
#include "cif/cif_structure.h"
#include "fuzz/fuzz_support.h"

using namespace koravel;

namespace {

// Enough blocks to reach every path; a file of thousands of empty blocks
// would only repeat them.
constexpr int kMaxBlocks = 16;

void ExtractBlock(const TCifFile& cif, const TCifBlock& block) {
  HasStructure(block);
  BlockHasAtom(block, "Fe1");
  TWorkingStructure s;
  if (!fuzz::Survives([&] { ReadCell(block, s); })) return;
  if (!(s.Cell.A > 0 && s.Cell.B > 0 && s.Cell.C > 0)) fuzz::Broken();
  ReadSymOps(block, s);
  if (s.SymOps.empty()) fuzz::Broken();
  if (!fuzz::Survives([&] { ReadAtoms(block, s); })) return;
  if (s.Atoms.empty() || s.AtomFrac.size() != s.Atoms.size()) fuzz::Broken();
  ReadCifAngles(block, s.CifAngles);
  for (const TCifAngle& a : s.CifAngles)
    if (a.Sym1.empty() || a.Sym2.empty() || a.Sym3.empty()) fuzz::Broken();
  (void)cif;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TCifFile cif;
  cif.LoadFromText(fuzz::AsText(data, size));
  StructureBlockNames(cif);
  fuzz::Survives([&] { ChooseDataBlock(cif, "", "Fe1_$2"); });
  fuzz::Survives([&] { ChooseDataBlock(cif, "global", "C1"); });
  for (int i = 0; i < cif.BlockCount() && i < kMaxBlocks; ++i) {
    const TCifBlock& block = cif.Block(i);
    if (cif.FindBlock(block.Name) == nullptr) fuzz::Broken();
    for (const auto& loop : block.Loops) {
      const std::size_t rows = loop->RowCount();
      for (int column = -1; column <= static_cast<int>(loop->Names.size()); ++column) {
        loop->Value(rows, column);
        loop->Value(static_cast<std::size_t>(-1), column);
      }
    }
    ExtractBlock(cif, block);
  }
  return 0;
}
