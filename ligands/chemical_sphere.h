#pragma once
#include <vector>

#include "crystal/structure.h"
#include "ligands/ligand.h"
#include "ligands/neighbours.h"

namespace koravel {

// Two atoms other than the centre are bonded when d <= r1 + r2 + this, with
// the covalent radii of Cordero et al. (Dalton Trans. 2008, 2832). Bonds
// between ligand atoms (C-O, O-H, Si-O, C-C) stay close to the sum of the
// radii, unlike the bonds to a metal; the tolerance stays below the
// shortest contact between two donors of one chelate (P...P of a
// bis(phosphino)methane, 2.55 A and more).
constexpr double kLigandBondTolerance = 0.30;

// A non-metal atom bridges two cations only within this of bonding distance
// (r1 + r2 + 1.5 A) of the far one: bonds of lead and caesium to oxygen
// reach 3.2 and 3.6 A, far beyond the sum of the covalent radii.
constexpr double kBridgeReach = 1.5;

// The chemistry looks at the nearest this many atoms within the radius
// criterion. A real sphere holds a few dozen; more come only from a huge
// tolerance or a cell of overlapping molecules, whose coordination number
// is far beyond any analysis (kMaxLigands) whatever the chemistry says, and
// whose atoms beyond these count as ligands as they stand.
constexpr size_t kChemistryAtoms = 200;

// Why an atom within the radius criterion is no ligand of the centre.
enum class TLeftOutReason {
  Behind,    // bonded to a nearer ligand and beyond it: the rest of a ligand
  BondedTo,  // a hydrogen bonded to another atom nearer to it than the centre
  BridgedBy, // a cation across a bridging anion from a cation centre
};

// An atom left out of the sphere, and the atoms that say why: the donors it
// lies behind, the atom its hydrogen belongs to, the bridging atoms.
struct TLeftOut {
  TSiteRef Site;
  TLeftOutReason Reason = TLeftOutReason::Behind;
  std::vector<TSiteRef> Partners;
};

// The sphere a chemist draws from the atoms within the radius criterion.
struct TChemicalSphere {
  // Each ligand as indices into the atoms given: one for an atom; several,
  // ascending, for an eta-bonded group, a ligand at its centroid.
  std::vector<std::vector<size_t>> Ligands;
  std::vector<TLeftOut> LeftOut;  // by distance from the centre
};

// Applies chemistry to `radiusLigands`, the atoms within the radius
// criterion (sorted by distance, one per place), with `neighbours`, every
// atom image within `searchRadius` of the centre, as the atoms they may be
// bonded to:
//  - a hydrogen is a ligand only when no non-metal atom it is bonded to is
//    nearer to it than the centre (a hydride stays, the H of a water goes);
//  - of two metals, the one farther from a metal centre is no ligand when a
//    non-metal atom lies between them, nearer to each than they are to each
//    other (a cation across a bridging oxide or halide);
//  - any other atom bonded to a nearer atom of the sphere and lying behind
//    it is no ligand: behind a ligand when the angle centre-ligand-atom is
//    75 deg or more and the midpoint of their bond is no nearer to the
//    centre than the ligand (else the centre binds the bond side-on), and
//    behind an atom already left out (but a hydrogen) whatever the angle;
//  - around a metal, non-metal ligands bonded side-on to each other form one
//    eta-bonded group (an alkene, allyl, cyclopentadienyl, arene, side-on O2).
// Atoms below `minOccupancy` and dummy atoms are never bond partners.
TChemicalSphere ChemicalSphere(const TStructure& s, const TCentre& centre,
                               const TCandidateArray& radiusLigands, const TCandidateArray& neighbours,
                               double searchRadius, double minOccupancy);

}  // namespace koravel
