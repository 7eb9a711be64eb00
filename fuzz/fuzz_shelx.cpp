// The SHELX .res/.ins reader: title, cell, LATT/SYMM operator generation,
// SFAC, free variables and atom lines.
#include <string>

#include "fuzz/fuzz_support.h"
#include "inputs/shelx_reader.h"

using namespace koravel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TShelxData shelx;
  std::string error;
  const bool ok = ReadShelxText(fuzz::AsText(data, size), "fuzz.res", shelx, error);
  if (ok != error.empty()) fuzz::Broken();
  if (!ok) return 0;
  if (shelx.SymOps.empty() || shelx.Atoms.empty()) fuzz::Broken();
  if (!(shelx.Cell.A > 0 && shelx.Cell.B > 0 && shelx.Cell.C > 0)) fuzz::Broken();
  for (std::size_t k = 0; k < shelx.SymOps.size(); ++k)
    if (shelx.SymOps[k].Num != static_cast<int>(k) + 1) fuzz::Broken();
  return 0;
}
