// The SHELX .res/.ins reader: title, cell, LATT/SYMM operator generation,
// SFAC, free variables, residues and atom lines with their occupancies.
#include <cmath>
#include <string>

#include "crystal/cell.h"
#include "fuzz/fuzz_support.h"
#include "io/shelx_file.h"

using namespace koravel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TShelxFile shelx;
  if (!fuzz::Survives([&] { shelx = ReadShelxText(fuzz::AsText(data, size), "fuzz.res"); })) return 0;
  const TStructure& s = shelx.Structure;
  if (s.SymOps.empty() || s.Atoms.empty() || !IsUsable(s.Cell)) fuzz::Broken();
  if (!IsIdentity(s.SymOps.front())) fuzz::Broken();
  // Identity and SYMM cards, their inversions, centred copies of all of them.
  if (s.SymOps.size() > 2 * 4 * (kMaxShelxSymmCards + 1)) fuzz::Broken();
  for (std::size_t k = 0; k < s.SymOps.size(); ++k)
    if (s.SymOps[k].Number != static_cast<int>(k) + 1) fuzz::Broken();
  for (const TAtom& a : s.Atoms)
    if (a.Label.empty() || a.Occ < 0) fuzz::Broken();
  return 0;
}
