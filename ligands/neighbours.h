#pragma once
#include <vector>

#include "crystal/structure.h"
#include "ligands/ligand.h"

namespace koravel {

// Limits that keep a search over a huge radius from running without end. No
// coordination sphere needs more than a few hundred neighbour candidates.
constexpr long long kMaxTranslationsPerAxis = 1000;
constexpr size_t kMaxCandidates = 1000000;

// A neighbour candidate: the image of atom `Atom` under operator `Op` (index
// into the structure's list), shifted by the lattice translation `T`, at
// `Dist` ångström from the central atom. A wide search finds tens of
// thousands of them; full ligand records are made only for those chosen.
struct TCandidate {
  int Atom = 0;
  int Op = 0;
  int T[3] = {0, 0, 0};
  double Dist = 0;
};

using TCandidateArray = std::vector<TCandidate>;

// Distances (ångström) that differ by less than this are equal: images
// equidistant by symmetry differ only in rounding noise, which must not
// decide their order, or it would differ between platforms.
constexpr double kEqualDistance = 1e-6;

// Two atom images closer than this to each other (ångström) are one place.
constexpr double kSamePlaceDistance = 0.1;

// Every atom image within `radius` of the central site (closer than 0.4 Å and
// the central atom itself excluded), each position once, ordered by atom,
// operator and lattice translation; with `wanted` (one flag per atom) the
// images of the flagged atoms only. Throws TError when the radius would take
// in an unreasonable number of translations or images.
TCandidateArray FindNeighbours(const TStructure& s, const TSiteRef& central, double radius,
                               const std::vector<char>& wanted = {});

TSiteRef CandidateSite(const TCandidate& c);
// The ligand record of a candidate atom image.
TLigand CandidateLigand(const TStructure& s, const TCandidate& c);

}  // namespace koravel
