// The space-group symbol readers: the input as a Hall symbol and as a
// Hermann-Mauguin symbol. Whatever they accept must be a group modulo the
// lattice, in exact arithmetic: the identity first, at most 192 operators,
// translations reduced, each operator's product with its inverse the
// identity, and the products closed. A Hermann-Mauguin symbol found in the
// table must give a Hall symbol that reads.
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "crystal/hall_symbol.h"
#include "crystal/space_group_table.h"
#include "fuzz/fuzz_support.h"

using namespace koravel;

namespace {

void CheckGroup(const std::vector<TSymOp>& ops) {
  if (ops.empty() || ops.size() > 192 || !IsIdentity(ops[0])) fuzz::Broken();
  std::set<std::pair<TIntMat3, TIntVec3>> set;
  for (const TSymOp& op : ops) {
    if (!(op == Reduced(op))) fuzz::Broken();
    if (!IsIdentity(Reduced(Product(op, Inverse(op))))) fuzz::Broken();
    set.emplace(op.Rot, op.Trans);
  }
  if (set.size() != ops.size()) fuzz::Broken();
  for (const TSymOp& a : ops)
    for (const TSymOp& b : ops) {
      const TSymOp ab = Reduced(Product(a, b));
      if (set.count({ab.Rot, ab.Trans}) == 0) fuzz::Broken();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;  // a symbol is a line; longer inputs add nothing
  const std::string text(fuzz::AsText(data, size));
  const bool reads = HallSymbolReads(text);
  std::vector<TSymOp> ops;
  if (fuzz::Survives([&] { ops = HallSymbolOperators(text); }) != reads) fuzz::Broken();
  if (reads) CheckGroup(ops);

  const std::optional<std::string> hall = HallOfHermannMauguin(text);
  if (hall) {
    if (!HallSymbolReads(*hall)) fuzz::Broken();
    CheckGroup(HallSymbolOperators(*hall));
  }
  return 0;
}
