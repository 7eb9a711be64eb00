#include "crystal/group_ops.h"

#include <algorithm>

#include "base/text.h"

namespace koravel {

std::optional<std::vector<TIntVec3>> CentringVectors(char lattice) {
  constexpr int h = kTransDen / 2, t1 = kTransDen / 3, t2 = 2 * kTransDen / 3;
  switch (UpperAscii(lattice)) {
    case 'P': return std::vector<TIntVec3>{};
    case 'A': return std::vector<TIntVec3>{{0, h, h}};
    case 'B': return std::vector<TIntVec3>{{h, 0, h}};
    case 'C': return std::vector<TIntVec3>{{h, h, 0}};
    case 'I': return std::vector<TIntVec3>{{h, h, h}};
    case 'R': return std::vector<TIntVec3>{{t2, t1, t1}, {t1, t2, t2}};  // obverse
    case 'S': return std::vector<TIntVec3>{{t1, t1, t2}, {t2, t2, t1}};
    case 'T': return std::vector<TIntVec3>{{t1, t2, t1}, {t2, t1, t2}};
    case 'F': return std::vector<TIntVec3>{{0, h, h}, {h, 0, h}, {h, h, 0}};
    default: return std::nullopt;
  }
}

std::vector<TSymOp> AllOps(const TGroupOps& group) {
  std::vector<TSymOp> candidates = group.Sym;
  for (const TIntVec3& c : group.Cen)
    for (TSymOp op : group.Sym) {
      for (int i = 0; i < 3; ++i) op.Trans[i] += c[i];
      candidates.push_back(Reduced(op));
    }
  // The (0,0,0)+ set stays as given, a repeat included (SHELX users address
  // each SYMM card by its number); of the copies, the new mappings.
  std::vector<TSymOp> ops = group.Sym;
  for (const int i : DistinctOpIndices(candidates))
    if (static_cast<size_t>(i) >= group.Sym.size())
      ops.push_back(candidates[static_cast<size_t>(i)]);
  for (size_t i = 0; i < ops.size(); ++i) ops[i].Number = static_cast<int>(i) + 1;
  return ops;
}

std::vector<int> DistinctOpIndices(const std::vector<TSymOp>& ops) {
  std::vector<int> distinct;
  for (int i = 0; i < static_cast<int>(ops.size()); ++i)
    if (std::none_of(distinct.begin(), distinct.end(),
                     [&](int kept) { return SameModLattice(ops[kept], ops[i]); }))
      distinct.push_back(i);
  return distinct;
}

std::vector<TSymOp> DistinctSymOps(const std::vector<TSymOp>& ops) {
  std::vector<TSymOp> distinct;
  for (int i : DistinctOpIndices(ops)) distinct.push_back(ops[static_cast<size_t>(i)]);
  return distinct;
}

}  // namespace koravel
