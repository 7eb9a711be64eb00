#pragma once
#include <optional>
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

}  // namespace koravel
