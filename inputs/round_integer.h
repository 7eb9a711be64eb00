#pragma once

namespace koravel {

// Numbers read from a file that stand for integers (a lattice type, a
// scattering-factor number, a parameter index, a count) are rounded to the
// nearest integer, halves to even. A value that is not finite or lies outside
// the target's range does not count as an integer at all: false, `out`
// unchanged.
bool RoundToInt(double value, int& out);
bool RoundToInt64(double value, long long& out);

}  // namespace koravel
