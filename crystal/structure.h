#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crystal/cell.h"
#include "crystal/symop.h"

namespace koravel {

// One atom site of the asymmetric unit.
struct TAtom {
  std::string Label;    // exactly as written in the input
  std::string Element;  // as derived by the reader; may be empty or unknown
  TVec3 Frac{};         // fractional coordinates
  TVec3 FracSu{};       // their su; 0 where the input gives none
  double Occ = 1.0;     // site occupancy
  // The formal oxidation state the file gives (_atom_type_oxidation_number,
  // or a type symbol such as Fe3+ or O2-); nothing where it gives none.
  std::optional<int> OxidationState;
  // A dummy position (CIF calc flag "dum": a centroid or a marker refined
  // with the model), no atom: never a ligand, a bond partner or a centre.
  bool Dummy = false;
};

// Where a structure's operators come from: the file's own list (a CIF's
// operator loop, SHELX's LATT and SYMM), or, for a CIF block without one,
// the space-group symbol; with neither, the identity stands alone.
enum class TSymmetryOrigin { Listed, HallSymbol, HermannMauguinSymbol, Absent };

// The crystal structure a run works on, whatever the input format.
struct TStructure {
  TCell Cell;
  std::vector<TSymOp> SymOps;  // holds the identity (see WithIdentity)
  std::vector<TAtom> Atoms;
  TSymmetryOrigin SymmetryOrigin = TSymmetryOrigin::Listed;
  std::string SymmetrySymbol;  // the symbol the operators were made from
  bool IdentityAdded = false;  // the listed operators lacked the identity; WithIdentity appended it
};

// An atom image: atom `Atom` under operator `Op` (index into SymOps) shifted
// by the lattice translation `Cell`.
struct TSiteRef {
  int Atom = 0;
  int Op = 0;
  TIntVec3 Cell{};
};

// The operator list with the identity in it, exact or with a lattice
// translation (x+1,y,z): a list that lacks one (a damaged file) gets it
// appended, numbered after the largest number.
std::vector<TSymOp> WithIdentity(std::vector<TSymOp> ops);

// The atom itself: under the first identity of the list, translated back
// where that identity carries a lattice translation.
TSiteRef AtomSite(const TStructure& s, int atom);

// The operators whose rotation does not keep the cell: Rᵀ G R, the metric
// the operator makes of G, gives a cell parameter more than 3 su (or, where
// the file gives none, 1e-4 of a length or 0.005 deg) away from the file's,
// as x,-y,-z does with beta = 91.56(2) deg. Their indices in SymOps.
std::vector<size_t> OperatorsAgainstCell(const TStructure& s);

// Whether a site is the atom of the file itself (AtomSite), whose name
// needs no symmetry code.
bool IsAtomItself(const TStructure& s, const TSiteRef& site);

// Fractional and Cartesian position of a site.
TVec3 SitePosition(const TStructure& s, const TSiteRef& site);
TVec3 SiteCartesian(const TStructure& s, const TSiteRef& site, const TMat3& ortho);

// The unit-weight mean of the Cartesian positions of sites (one site: its
// position; several: their centroid).
TVec3 MeanCartesian(const TStructure& s, const std::vector<TSiteRef>& sites, const TMat3& ortho);

// Two images of an atom closer than this in every fractional coordinate are
// one site.
constexpr double kSiteTolerance = 0.001;

// The same position: the same atom, and either the same operator and
// translation or images within 0.001 (fractional) of each other in every
// coordinate. Images that differ by a whole lattice translation differ.
bool SameSite(const TStructure& s, const TSiteRef& a, const TSiteRef& b);

// Whether an atom label is the name the user typed: equal ignoring ASCII
// case; where the name holds two adjacent apostrophes, each such pair may
// stand for one double quote (a SHELX label such as Mg" typed where the
// shell cannot pass a double quote).
bool LabelMatches(std::string_view label, std::string_view typed);

// The k-th atom site that carries a label several sites share, named
// "label@k" (Ni@2: the second site labelled Ni); -1 for any other name.
int NumberedSite(const TStructure& s, std::string_view typed);

// Index of the first atom whose label is the typed name: an exact match
// (ignoring case) first, then the two-apostrophe reading, then a numbered
// site (NumberedSite). -1 when not found.
int FindAtom(const TStructure& s, std::string_view typed);

}  // namespace koravel
