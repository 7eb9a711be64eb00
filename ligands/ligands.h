#pragma once
#include <vector>

#include "crystal/model.h"
#include "ligands/chemical_sphere.h"
#include "ligands/ligand.h"
#include "ligands/ligand_args.h"
#include "ligands/neighbours.h"

namespace koravel {

// The automatic sphere: the atoms within the radius criterion as they are,
// or what a chemist draws of them (ChemicalSphere).
enum class TSphereKind { Chemical, Radii };

// How the ligands are to be found: by name (the ligand arguments, central
// atom removed) or, with none, automatically.
struct TLigandRequest {
  TLigandArgs Names;
  double Tolerance = 0.40;    // ångström, automatic search
  double MinOccupancy = 0.5;  // automatic search
  double MaxRadius = -1.0;    // search radius; only a value > 0 takes effect
  TSphereKind Sphere = TSphereKind::Chemical;

  bool Automatic() const { return Names.Names.empty() && Names.GroupCount == 0; }
};

// The ligands of a centre, in report order: automatic ligands by distance
// (an eta-bonded group by that of its centroid); named ones with the
// centroids first (in group order), then the atoms by distance (equal
// within 1e-6 Å: the order given).
struct TLigandSet {
  std::vector<TLigand> List;
  // Automatic ligands beyond the list: of more than kListedNeighbours, only
  // the nearest are kept, enough to choose a tolerance by; the rest are
  // counted.
  size_t Unlisted = 0;
  bool Automatic = true;
  bool SuffixRemoved = false;  // an Olex2 suffix was taken off a ligand name
  // Automatic ligands at the place of an earlier one (kept, dropped): the
  // file lists one atom twice, as an atom and as its symmetry copy. Only
  // pairs whose kept ligand is in the list.
  std::vector<std::pair<TLigand, TLigand>> SamePlace;
  // Atoms within the radius criterion that the chemical sphere leaves out.
  std::vector<TLeftOut> LeftOut;

  size_t Count() const { return List.size() + Unlisted; }
};

// Twice the largest coordination number: a sphere that holds more ligands
// fails, and its nearest neighbours show why.
constexpr size_t kListedNeighbours = 2 * kMaxLigands;

// Every atom image around the centre within the search radius.
struct TNeighbourhood {
  double Radius = 0;
  TCandidateArray Candidates;
};

// The neighbour search for the request (radius: see SearchRadius). Throws
// TError when the radius would take in an unreasonable number of images.
TNeighbourhood SearchNeighbours(const TStructure& s, const TCentre& centre,
                                const TLigandRequest& request);

// Picks the ligands among the neighbours: by the bond criterion
// d <= r1 + r2 + tolerance with the occupancy limit (dummy atoms never),
// then, for the chemical sphere, by ChemicalSphere; or by name. An
// automatic ligand takes the symmetry code that the published angles use
// for its place, where they name it; of two at one place the later is
// dropped (SamePlace); automatic ligands beyond the nearest
// kListedNeighbours are only counted (Unlisted). An eta-bonded group is a
// centroid named by its atoms in brackets ([C1 C2 C3 C4 C5]), as it would
// be given by hand. Throws TError when no atom passes the criterion, a name
// cannot be resolved, or two named ligands occupy one place.
TLigandSet ChooseLigands(const TModel& model, const TCentre& centre, const TLigandRequest& request,
                         const TNeighbourhood& neighbours);

// The ligand's label, with "#" and its symmetry code for an atom image other
// than the atom itself (N2#2_655).
std::string LigandDisplayName(const TStructure& s, const TLigand& ligand);

// The name of an atom image: its label, with "#" and its symmetry code
// unless it is the atom itself.
std::string SiteDisplayName(const TStructure& s, const TSiteRef& site);

}  // namespace koravel
