// The XYZ reader under all three naming schemes.
#include <string>

#include "fuzz/fuzz_support.h"
#include "io/xyz_file.h"

using namespace koravel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (TXyzNaming naming : {xnOlex, xnPosition, xnElement}) {
    TXyzFile xyz;
    if (!fuzz::Survives([&] { xyz = ReadXyzText(fuzz::AsText(data, size), "fuzz.xyz", naming); }))
      continue;
    if (xyz.StructureCount < 1 || xyz.Atoms.empty()) fuzz::Broken();
    for (const TXyzAtom& a : xyz.Atoms)
      if (a.Label.empty() || a.Element.empty()) fuzz::Broken();
  }
  return 0;
}
