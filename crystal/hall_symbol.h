#pragma once
#include <string_view>
#include <vector>

#include "crystal/symop.h"

namespace koravel {

// The space group of a Hall symbol (Hall, Acta Cryst. A37 (1981) 517;
// International Tables Vol. B, ch. 1.4, appendix "Hall symbols"), written as
// the Tables write it: the lattice symbol with a leading "-" for a
// centrosymmetric group ("-P", "C", "F"), one to four matrix symbols
// separated by blanks ("2ybc", "-4bd", "3*", "2\"", "61", "-1d"), and an
// optional origin shift in twelfths, "(0 0 -1)", or change of basis V with
// factors in multiples of 1/24, "(x-z,y,z)", "(1/2*x,y,z)"; either applies to
// each operator as V·op·V^-1 (ITB A1.4.2.5), and a V that enlarges the cell
// turns old cell edges into centring translations. The lattice letter may be
// lower case, and the first matrix symbol may follow it without a blank
// ("-P2ybc"), as gemmi reads them.
//
// The reading is strict: each matrix symbol has one screw digit at most and
// adds an operator to those before it (the lone "1" of P 1 excepted); a
// change of basis must keep every operator integral and make cell edges
// that are lattice translations; the result must be a group modulo the
// lattice of at most 192 operators. All arithmetic is exact and bounded.
//
// The result holds every operator modulo lattice translations, the centring
// translations included ('C 2/c' gives 8, 'F m -3 m' 192), with translations
// reduced into [0, 24), numbered 1..n: the identity first, then the rest of
// the (0,0,0)+ set in the order the generators make them (a centrosymmetric
// group's inverted operators after the others), then the copies of that set
// for each centring translation in turn, as International Tables list them.
//
// A symbol that cannot be read throws TError:
//   Hall symbol "<symbol>" cannot be read: <reason>.
std::vector<TSymOp> HallSymbolOperators(std::string_view hall);

// Whether HallSymbolOperators reads the symbol.
bool HallSymbolReads(std::string_view hall);

}  // namespace koravel
