#include "crystal/group_ops.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <utility>

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

bool SameModCentring(const TSymOp& a, const TSymOp& b, const std::vector<TIntVec3>& centring) {
  if (a.Rot != b.Rot) return false;
  if (SameModLattice(a, b)) return true;
  for (const TIntVec3& c : centring) {
    TSymOp shifted = b;
    for (int i = 0; i < 3; ++i) shifted.Trans[i] += c[i];
    if (SameModLattice(a, shifted)) return true;
  }
  return false;
}

TClosure Closure(const std::vector<TSymOp>& generators, const std::vector<TIntVec3>& centring) {
  TClosure closure;
  std::vector<TSymOp>& ops = closure.Ops;
  ops = {IdentitySymOp()};
  for (size_t next = 0; next < ops.size(); ++next) {
    for (const TSymOp& g : generators) {
      const TSymOp product = Reduced(Product(ops[next], g));
      bool known = false;
      for (const TSymOp& op : ops) {
        if (op.Rot != product.Rot) continue;
        if (!SameModCentring(op, product, centring)) return {{}, TClosure::kOffLattice};
        known = true;
        break;
      }
      if (known) continue;
      if (ops.size() == kMaxPointGroupOrder) return {{}, TClosure::kInfinite};
      ops.push_back(product);
    }
  }
  return closure;
}

std::optional<std::vector<TIntVec3>> ClosedCentring(const std::vector<TIntVec3>& translations,
                                                    std::size_t limit) {
  std::vector<TIntVec3> closed;
  auto add = [&closed](TIntVec3 t) {
    for (int& x : t) x = ((x % kTransDen) + kTransDen) % kTransDen;
    if (t != TIntVec3{} && std::find(closed.begin(), closed.end(), t) == closed.end())
      closed.push_back(t);
  };
  for (const TIntVec3& t : translations) add(t);
  for (size_t i = 0; i < closed.size(); ++i) {
    if (closed.size() > limit) return std::nullopt;
    for (size_t j = 0; j <= i; ++j) {
      TIntVec3 sum{};
      for (int k = 0; k < 3; ++k) sum[k] = closed[i][k] + closed[j][k];
      add(sum);
    }
  }
  if (closed.size() > limit) return std::nullopt;
  return closed;
}

std::string GroupFault(const std::vector<TSymOp>& ops, const std::vector<TSymOp>& by) {
  if (ops.size() > kMaxGroupOrder)
    return "it gives more than " + std::to_string(kMaxGroupOrder) + " operators";
  // Each operator packed into one number (matrix entries from -16 to 15,
  // translations in twenty-fourths), sorted: the n² products are looked up
  // by binary search over a few hundred bytes. Operators beyond that range
  // (a strange basis) are compared whole.
  auto key = [](const TSymOp& op) -> std::optional<std::uint64_t> {
    std::uint64_t k = 0;
    for (const TIntVec3& row : op.Rot)
      for (int r : row) {
        if (r < -16 || r > 15) return std::nullopt;
        k = (k << 5) | static_cast<std::uint64_t>(r + 16);
      }
    for (int t : Reduced(op).Trans) k = (k << 5) | static_cast<std::uint64_t>(t);
    return k;
  };
  std::vector<std::uint64_t> keys;
  std::set<std::pair<TIntMat3, TIntVec3>> wide;  // every operator, when one is out of range
  for (const TSymOp& op : ops)
    if (const std::optional<std::uint64_t> k = key(op)) keys.push_back(*k);
  if (keys.size() < ops.size())
    for (const TSymOp& op : ops) wide.emplace(op.Rot, Reduced(op).Trans);
  std::sort(keys.begin(), keys.end());
  const size_t distinct =
      wide.empty() ? static_cast<size_t>(std::unique(keys.begin(), keys.end()) - keys.begin()) : wide.size();
  if (ops.empty() || !IsIdentity(ops[0]) || distinct != ops.size())
    return "its operators repeat one another";
  for (const TSymOp& a : ops)
    for (const TSymOp& b : by) {
      const TSymOp ab = Product(a, b);
      const std::optional<std::uint64_t> k = wide.empty() ? key(ab) : std::nullopt;
      const bool found = k ? std::binary_search(keys.begin(), keys.end(), *k)
                           : wide.count({ab.Rot, Reduced(ab).Trans}) > 0;
      if (!found) {
        std::string reason = "its operators do not make a group: ";
        ((((reason += SymOpText(a)) += " times ") += SymOpText(b)) += " is none of them");
        return reason;
      }
    }
  return {};
}

}  // namespace koravel
