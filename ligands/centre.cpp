#include "ligands/centre.h"

#include <algorithm>

#include "base/error.h"
#include "base/file.h"
#include "crystal/elements.h"
#include "ligands/atom_names.h"

namespace koravel {

namespace {

// With ligands given by hand the search must reach them even when they are
// far from bonding distance.
constexpr double kNamedLigandsMinRadius = 8.0;

}  // namespace

std::vector<std::string> XyzNamingHint(const TInput& in) {
  if (in.Kind != TInputKind::Xyz) return {};
  std::vector<std::string> hint{"XYZ atom names: " +
                                XyzNamingDescription(in.Xyz.HasLabels, in.XyzNaming) + "."};
  if (!in.Xyz.HasLabels) {
    hint.push_back("Other schemes: xyznames=olex (as Olex2), xyznames=position");
    hint.push_back("(first atom = 1), xyznames=element (C1, H1, H2, ...).");
  }
  return hint;
}

TCentre FindCentre(const TInput& in, const std::string& typedName) {
  const TNameLookup found = FindAtomWithoutSuffix(in.Structure, typedName);
  if (found.Atom < 0) {
    if (in.Kind != TInputKind::Cif) {
      std::vector<std::string> lines{"central atom \"" + found.Name + "\" not found in " +
                                     FileNameOnly(in.FileName) + "."};
      for (std::string& line : XyzNamingHint(in)) lines.push_back(std::move(line));
      Fail(std::move(lines));
    }
    Fail("central atom \"" + found.Name + "\" not found in data block \"" + in.BlockName +
         "\". Blocks with a structure: " + in.StructureBlocks);
  }
  const TAtom& atom = in.Structure.Atoms[static_cast<size_t>(found.Atom)];
  return TCentre{AtomSite(in.Structure, found.Atom), atom.Label, atom.Element, found.SuffixRemoved};
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
