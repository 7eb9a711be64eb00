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
// whole-number factors, "(x-z,y,z)"; either applies to each operator as
// V·op·V^-1 (ITB A1.4.2.5). The lattice letter may be lower case.
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
