// The SHELXL matrix-file reader, then its pairing with a small structure and
// the covariance look-ups the su propagation makes.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "io/mat_file.h"

using namespace koravel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMatFile mat;
  if (!fuzz::Survives([&] { mat = ParseMatFile(fuzz::AsText(data, size), "fuzz.mat"); })) return 0;
  const long long n = mat.ParamCount;
  if (n < 1 || static_cast<long long>(mat.Corr.size()) != n * (n + 1) / 2) fuzz::Broken();
  if (static_cast<long long>(mat.CoordLabel.size()) != mat.CoordCount) fuzz::Broken();

  // The same label twice and in another letter case, as a structure may have.
  TStructure s;
  const std::vector<std::pair<const char*, TVec3>> atoms = {
      {"C1", {0.1, 0.2, 0.3}}, {"c1", {0.1, 0.2, 0.3}}, {"Fe1", {0, 0, 0}},
      {"N1", {0.25, 0.5, 0.75}}, {"O1", {0.5, 0.5, 0.5}}};
  for (const auto& [label, frac] : atoms) {
    TAtom atom;
    atom.Label = label;
    atom.Frac = frac;
    s.Atoms.push_back(atom);
  }
  fuzz::Survives([&] { mat.MatchStructure(s, "fuzz.mat", "fuzz.res"); });
  for (int atom = -1; atom <= static_cast<int>(s.Atoms.size()); ++atom)
    for (int axis = -1; axis <= 3; ++axis) {
      const int p = mat.ParamIndex(atom, axis);
      if (p < -1 || p >= n) fuzz::Broken();
      // Symmetric up to the rounding of the product's order; NaN and
      // infinite values (from absurd esds) are not compared.
      for (int q : {p, 0, static_cast<int>(n - 1), static_cast<int>(n)}) {
        const double pq = mat.Covariance(p, q), qp = mat.Covariance(q, p);
        if (std::isfinite(pq) && std::isfinite(qp) &&
            std::fabs(pq - qp) > 1e-12 * std::max(std::fabs(pq), std::fabs(qp)))
          fuzz::Broken();
      }
    }
  return 0;
}
