#include "ligands/centre.h"

#include <algorithm>

#include "crystal/elements.h"

namespace koravel {

namespace {

// With ligands given by hand the search must reach them even when they are
// far from bonding distance.
constexpr double kNamedLigandsMinRadius = 8.0;

}  // namespace

TCentre CentreOf(const TStructure& s, const TNameLookup& found) {
  const TAtom& atom = s.Atoms[static_cast<size_t>(found.Atom)];
  return TCentre{AtomSite(s, found.Atom), atom.Label, atom.Element, found.SuffixRemoved};
}

double SearchRadius(const TStructure& s, const TCentre& centre, bool automatic, double tolerance,
                    double maxRadius) {
  if (maxRadius > 0) return maxRadius;
  double largest = 0;
  for (const TAtom& atom : s.Atoms) largest = std::max(largest, CovalentRadius(atom.Element));
  const double radius = CovalentRadius(centre.Element) + largest + tolerance;
  return automatic ? radius : std::max(radius, kNamedLigandsMinRadius);
}

}  // namespace koravel
