// The operators that a CIF block's space-group symbol gives, against the
// operator loop of the same block, over the test data and the real CIFs
// beside the checkout (skipped where that folder is missing).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "crystal/hall_symbol.h"
#include "crystal/space_group_table.h"
#include "crystal/structure.h"
#include "io/cif_document.h"
#include "test_support.h"

namespace koravel {
namespace {

namespace fs = std::filesystem;

using TOpSet = std::set<std::pair<TIntMat3, TIntVec3>>;

TOpSet SetOf(const std::vector<TSymOp>& ops) {
  TOpSet set;
  for (const TSymOp& op : ops) {
    const TSymOp r = Reduced(op);
    set.emplace(r.Rot, r.Trans);
  }
  return set;
}

// Whether the operators are closed under the product, modulo lattice
// translations, as a space group's are.
bool IsGroup(const std::vector<TSymOp>& ops) {
  const TOpSet set = SetOf(ops);
  for (const TSymOp& a : ops)
    for (const TSymOp& b : ops) {
      const TSymOp ab = Reduced(Product(a, b));
      if (!set.count({ab.Rot, ab.Trans})) return false;
    }
  return true;
}

// The CIFs of the test data, real_space_groups.cif among them: the symbols
// and loops of the other real CIFs the project was tested against.
std::vector<std::string> CifFiles() {
  std::vector<std::string> files;
  for (const fs::directory_entry& e : fs::directory_iterator(KORAVEL_TEST_DATA))
    if (e.path().extension() == ".cif") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

// The symbol's value, or "" when the item is missing or null.
std::string SymbolOf(const TCifBlock& block, std::string_view tags) {
  const TCifValue* v = TCifDocument::FindItem(block, tags);
  return v && !v->IsNull() ? std::string(Trim(v->Text())) : "";
}

TEST(SpaceGroupCif, SymbolsGiveTheOperatorsOfTheLoop) {
  int hallBlocks = 0, hmBlocks = 0;
  for (const std::string& file : CifFiles()) {
    std::optional<TCifDocument> doc;
    try {
      doc.emplace(ReadCifFile(file));
    } catch (const TError&) {
      continue;
    }
    for (const TCifBlock& block : doc->Blocks()) {
      const TCifTable loop =
          doc->FindTable(block, {"_space_group_symop_operation_xyz|_symmetry_equiv_pos_as_xyz"});
      std::vector<TSymOp> loopOps;
      try {
        for (size_t row = 0; row < loop.Rows(); ++row)
          if (!loop.At(row, 0).IsNull())
            loopOps.push_back(ParseSymOp(loop.At(row, 0).Text(), "operator loop"));
      } catch (const TError&) {
        continue;  // a misprinted row ("x,y,x" in COD 2001507): no loop to compare
      }
      if (loopOps.empty()) continue;
      // A loop without the identity (COD 8103382) is read with it appended.
      loopOps = WithIdentity(std::move(loopOps));
      // A damaged loop that is no group (x,-y,-z among the operators of
      // P 21/n in COD 2005206) has no symbol to agree with.
      if (!IsGroup(loopOps)) continue;
      const std::string where = file + " block " + std::string(block.Name);

      const std::string hall = SymbolOf(block, "_space_group_name_Hall|_symmetry_space_group_name_Hall");
      if (!hall.empty()) {
        ++hallBlocks;
        EXPECT_EQ(SetOf(HallSymbolOperators(hall)), SetOf(loopOps)) << where << ": " << hall;
      }
      const std::string hm =
          SymbolOf(block, "_space_group_name_H-M_alt|_symmetry_space_group_name_H-M");
      if (!hm.empty()) {
        ++hmBlocks;
        const std::optional<std::string> fromHm = HallOfHermannMauguin(hm);
        ASSERT_TRUE(fromHm.has_value()) << where << ": " << hm;
        EXPECT_EQ(SetOf(HallSymbolOperators(*fromHm)), SetOf(loopOps)) << where << ": " << hm;
      }
    }
  }
  // Every block is checked: a file missing or unreadable shows here.
  EXPECT_EQ(hallBlocks, 46);
  EXPECT_EQ(hmBlocks, 68);
}

}  // namespace
}  // namespace koravel
