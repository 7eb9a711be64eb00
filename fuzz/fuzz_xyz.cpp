// The XYZ reader under all three naming schemes.
#include <string>

#include "fuzz/fuzz_support.h"
#include "inputs/xyz_reader.h"

using namespace koravel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (TXyzNaming naming : {xnOlex, xnPosition, xnElement}) {
    TXyzData xyz;
    std::string error;
    const bool ok = ReadXyzText(fuzz::AsText(data, size), "fuzz.xyz", naming, xyz, error);
    if (ok != error.empty()) fuzz::Broken();
    if (!ok) continue;
    if (xyz.StructureCount < 1 || xyz.Atoms.empty()) fuzz::Broken();
    for (const TXyzAtom& a : xyz.Atoms)
      if (a.Label.empty() || a.Element.empty()) fuzz::Broken();
  }
  return 0;
}
