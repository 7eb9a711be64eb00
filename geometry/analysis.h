#pragma once
#include <optional>
#include <string>
#include <vector>

#include "crystal/model.h"
#include "geometry/bond_valence.h"
#include "geometry/descriptors.h"
#include "geometry/shape_section.h"
#include "geometry/sphere.h"
#include "ligands/ligands.h"
#include "su/value.h"

namespace koravel {

// What a run asks of the analysis beyond the ligands.
struct TAnalysisOptions {
  bool CalcOnly = false;  // compute every angle, ignoring the published ones
  long long McDraws = 0;  // Monte Carlo check of every su; 0: none
  // --bvparm: the table the bond valences take their parameters from
  // first; none: the element parameters.
  const TBondValenceTable* BondValences = nullptr;
};

// The angles of a coordination sphere and their sum.
struct TAngles {
  std::vector<TAngle> List;  // by value, descending (equal within 1e-6: pair order)
  TPropagated Sum;           // always from the coordinates; Sum.Draws > 0: su from a Monte Carlo
  std::vector<TNearlyLinear> NearlyLinear;
  double SuIndependent = 0;  // sqrt(sum of the angles' su²): the su if they were independent
  std::optional<TMonteCarlo> SumMonteCarlo;  // when asked for
};

// A descriptor of the sphere with its su.
struct TDescriptorValue {
  const TDescriptor* Row = nullptr;  // name, unit, decimals, meaning
  TPropagated Value;
  std::optional<TMonteCarlo> MonteCarlo;  // when asked for
  // Why it is not defined for this sphere ("coplanar ligands"), or "": its
  // defining quantity vanishes within 3 su (exactly, without su).
  std::string Undefined;
};

// How flat a three-coordinate centre is, judged by its angle sum.
enum class TPlanarity {
  Unknown,          // no su to judge by
  FixedBySymmetry,  // symmetry holds the sum at 360
  Within3Su,        // 360 within 3 su
  NearlyPlanar,     // 350 or more
  Flattened,        // 340 or more
  Pyramidal,
};

// The class of a three-coordinate centre's angle sum; `fixedBySymmetry`: its
// su is zero although parameters with su entered it.
TPlanarity PlanarityOf(const TPropagated& sum, bool fixedBySymmetry);

// Everything a run, a survey record and a page report of one centre.
struct TAnalysis {
  TCentre Centre;
  TLigandSet Ligands;
  std::vector<TValue> Distances;    // of each ligand from the centre
  std::vector<TVec3> Positions;     // Cartesian, ångström: the centre, then each ligand

  // The rest only for 2 to 12 ligands (Complete()).
  TAngles Angles;
  std::vector<TDescriptorValue> Descriptors;
  TShapeSection Shapes;              // continuous shape measures and paths
  std::vector<TFlaggedGap> Flagged;  // gaps within 3 su of zero
  // Bond valence: BVS, ECoN, lw, DI and offset, and the parameters behind BVS.
  std::vector<TQuantityValue> BondValence;
  TBondValenceSetup BondValenceSetup;
  std::string Problem;               // why a descriptor is missing (no trans pairs), or ""
  // Parameters with an su entered the sum and its su is zero all the same:
  // symmetry holds the sum at its value.
  bool SumFixedBySymmetry = false;
  TPlanarity Planarity = TPlanarity::Unknown;  // three ligands

  bool Complete() const;
};

// The analysis of a centre: the ligands the request asks for among the
// neighbours, their distances, every angle (published unless options say
// otherwise), the sum and the descriptors of the coordination number, all
// with su from one propagator over the sphere. Throws TError when the
// ligands cannot be chosen; a coordination number outside 2..12 leaves the
// analysis incomplete (FailCoordination words it).
TAnalysis AnalyseCentre(const TModel& model, const TCentre& centre, const TLigandRequest& request,
                        const TNeighbourhood& neighbours, const TAnalysisOptions& options);

// The same for ligands already chosen.
TAnalysis AnalyseSphere(const TModel& model, const TCentre& centre, TLigandSet ligands,
                        const TAnalysisOptions& options);

// The error of an incomplete analysis: a coordination number outside 2..12.
[[noreturn]] void FailCoordination(const TAnalysis& analysis);

}  // namespace koravel
