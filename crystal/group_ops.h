#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "crystal/symop.h"

namespace koravel {

// A space group as International Tables list its operators: the (0,0,0)+
// set, and the centring translations each of which adds a copy of it.
struct TGroupOps {
  std::vector<TSymOp> Sym;    // the (0,0,0)+ set
  std::vector<TIntVec3> Cen;  // centring translations (twenty-fourths), (0,0,0) not among them
};

// The centring translations of a lattice symbol P, A, B, C, I, R, S, T or F,
// in either case (International Tables Vol. B, Table A1.4.2.2), the zero
// vector left out; nothing for any other letter.
std::optional<std::vector<TIntVec3>> CentringVectors(char lattice);

// Every operator of the group: the (0,0,0)+ set as it stands, then its copy
// for each centring translation in turn, translations reduced into [0, 24),
// without the copies that repeat an operator before them modulo lattice
// translations; numbered 1..n.
std::vector<TSymOp> AllOps(const TGroupOps& group);

// The indices of the operators of `ops` that repeat no operator before them
// modulo lattice translations: each mapping once, at its first occurrence.
std::vector<int> DistinctOpIndices(const std::vector<TSymOp>& ops);

// Those operators themselves.
std::vector<TSymOp> DistinctSymOps(const std::vector<TSymOp>& ops);

// A finite group of integer 3x3 matrices has at most 48 elements (m-3m);
// with the translations of an F lattice, a space group has at most 192
// operators modulo the lattice (International Tables A, Fm-3m).
constexpr std::size_t kMaxPointGroupOrder = 48;
constexpr std::size_t kMaxGroupOrder = 192;

// Whether a and b are one operator modulo the lattice with the centring
// translations `centring`.
bool SameModCentring(const TSymOp& a, const TSymOp& b, const std::vector<TIntVec3>& centring);

// The (0,0,0)+ set that `generators` make modulo the lattice with
// `centring`: products op·g breadth first from the identity, translations
// reduced into [0, 24), one operator per rotation. No operators after a
// fault.
struct TClosure {
  enum TFault {
    kNone,
    kOffLattice,  // two products of one rotation differ by no lattice translation
    kInfinite,    // more than kMaxPointGroupOrder rotations
  };
  std::vector<TSymOp> Ops;
  TFault Fault = kNone;
};
TClosure Closure(const std::vector<TSymOp>& generators, const std::vector<TIntVec3>& centring);

// The translations, without the zero vector and repeats, closed under sums
// modulo the cell edges, in the order they first appear; nothing as soon as
// there are more than `limit` of them.
std::optional<std::vector<TIntVec3>> ClosedCentring(const std::vector<TIntVec3>& translations,
                                                    std::size_t limit);

// Why `ops` is no group modulo the lattice, or "" when it is one: the
// identity must come first, no mapping twice, at most kMaxGroupOrder of
// them, and each one's product with every operator of `by` among them. With
// `by` a generating set, that closure makes the product of any two of `ops`
// one of them, each being a word in the generators. The reason reads on
// after "cannot be read: ", e.g. "its operators do not make a group: -y, x,
// z times x, 1/2+y, 1/2+z is none of them".
std::string GroupFault(const std::vector<TSymOp>& ops, const std::vector<TSymOp>& by);

}  // namespace koravel
