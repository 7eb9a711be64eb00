#pragma once
#include <string>
#include <vector>

#include "crystal/structure.h"

namespace koravel {

// An angle sum needs 2 to 12 ligands; beyond twelve the environment is no
// coordination sphere any more.
constexpr size_t kMinLigands = 2;
constexpr size_t kMaxLigands = 12;

// A ligand of the central atom: an atom image, or the centroid (unit-weight
// mean, as Olex2's "cent") of several atom images.
struct TLigand {
  TSiteRef Site;                  // for a centroid: its first member's site
  std::string Label;              // the structure's label; Cg1, Cg2, ... for centroids
  std::string Element;            // empty for a centroid
  bool IsCentroid = false;
  std::vector<TSiteRef> Members;  // the sites it is the mean of: one for an atom
  double SearchDistance = 0;      // ångström, as the neighbour search found it (atoms)
};

// The central atom of a run.
struct TCentre {
  TSiteRef Site;  // the atom under the identity
  std::string Label;
  std::string Element;
  bool SuffixRemoved = false;  // an Olex2 suffix was taken off the typed name
};

}  // namespace koravel
