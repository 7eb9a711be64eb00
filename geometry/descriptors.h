#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "geometry/sphere.h"
#include "su/propagation.h"

namespace koravel {

// The descriptors of coordination geometry with their su: for each
// coordination number a table of rows, each a function of the points (the
// central atom first, then the ligands in report order), written once for
// values and exact derivatives. A row added here is reported, written by
// every survey format and shown on the page.

// The exact tetrahedral angle arccos(-1/3) = 109.4712206...°, not 109.5.
double TetrahedralAngle();

// Which L-M-L angles a descriptor is made of, by rank (0 = largest): one that
// holds an angle within 3 su of 180 or 0 deg takes its su from a Monte Carlo.
enum class TAngleSet { None, TwoLargest, All, Cis };

// A quantity whose sign or closeness to zero decides how descriptors are
// formed: a choice between angles (the two largest for τ, trans against cis
// for Σ) or the argument of a kink (β − α in τ4′ and τ5, 90° − φ in Σ).
// Within 3 su of zero the first-order su of the descriptors it names is not
// reliable.
enum class TGap {
  SecondAndThirdAngle,  // choice: which two angles are the largest
  TwoLargestAngles,     // kink: β − α
  TransAndCis,          // choice: the smallest trans against the largest cis angle
  CisFromRight,         // kink: 90° − φ for every cis angle
  BondsFromMean,        // kink: d − mean d for every bond
  TwistFromSixty,       // kink: 60° − θ for every trigonal twist angle
};

struct TDescriptor {
  std::string_view Name{};   // "tau4", "Sigma", ...
  std::string_view Unit{};   // "", "A", "deg", "deg2"
  int Decimals = 4;          // when there is no su
  bool SecondOrder = false;  // smooth, with a minimum at the ideal polyhedron
  TAngleSet Angles = TAngleSet::None;
  bool NeedsTransPairs = false;  // defined only where the three largest angles pair the six ligands
  std::vector<TGap> Gaps{};      // the choices and kinks it depends on
  std::string_view Meaning{};    // what it tells, with its source
  TQuantity Quantity{};
  // A quantity whose vanishing leaves the descriptor undefined (a volume
  // it divides by), and the reason then given; none when Undefined is "".
  TQuantity Defining{};
  std::string_view Undefined{};
};

// The table of a coordination number, in report order (empty outside 3..12).
const std::vector<TDescriptor>& DescriptorTable(size_t ligandCount);

// Every descriptor name of every table, first occurrence first: the
// survey's columns.
std::vector<std::string_view> DescriptorNames();

// The below-the-floor su of a descriptor's unit (kAngleSuFloor for degrees,
// kDistanceSuFloor for ångström, else 0).
double SuFloorOf(std::string_view unit);

// Whether the descriptor is made of one of the nearly linear angles, whose
// ranks the positions of the sphere's points decide.
bool HoldsAny(const TDescriptor& d, const std::vector<TVec3>& points,
              const std::vector<TNearlyLinear>& angles);

// Whether the three largest of the angles of six ligands pair every ligand
// with a trans partner, as an octahedron's do.
bool HasTransPairs(const std::vector<TVec3>& points);

// A gap within 3 su of zero, for the descriptors it names.
struct TFlaggedGap {
  enum TKind { Choice, Kink };
  TKind Kind = Choice;
  std::string What;                  // "beta - alpha", "90 deg minus N1-Fe1-N2", ...
  std::vector<std::string> Descriptors;
  double Value = 0;
  double Su = 0;
};

// The gaps of the sphere's descriptors that lie within 3 su of zero, in table
// order; a list of like gaps (the 48 twist angles) is flagged once.
// `labels` names the central atom, then the ligands.
std::vector<TFlaggedGap> FlaggedGaps(const TPropagator& propagate, const std::vector<TVec3>& points,
                                     const std::vector<std::string>& labels);

}  // namespace koravel
