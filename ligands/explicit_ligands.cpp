#include "ligands/explicit_ligands.h"

#include "base/error.h"
#include "base/numbers.h"
#include "base/text.h"
#include "crystal/sym_code.h"
#include "ligands/atom_names.h"

namespace koravel {

namespace {

// A centroid this close to the central atom (two trans ligands through an
// inversion centre, say) gives a distance of 0 and meaningless angles.
constexpr double kMinCentroidDistance = 0.4;

// One ligand name on its way to a candidate.
struct TNameResolution {
  std::string Label;  // the structure's own label
  int Atom = -1;
  bool OneSite = false;  // named as label@k: that site only, not every site of the label
  std::string Code;   // normalised symmetry code; empty when none was typed
  int Slot = -1;      // the candidate chosen
  TSiteRef Site;      // its site; for a typed code, the site the code names
};

// What every step of the resolution reads.
struct TContext {
  const TStructure& S;
  const TCentre& Centre;
  const TLigandArgs& Args;
  const TCandidateArray& Candidates;
  double SearchRadius;
};

std::string RadiusText(double radius) { return FormatFixed(radius, 2) + " A"; }

// A ligand name without its symmetry code: N1#2_655 names N1.
std::string_view LabelPart(std::string_view name) { return name.substr(0, name.find('#')); }

TNameResolution LookUpName(const std::string& name, const TStructure& s, bool& suffixRemoved) {
  TNameResolution r;
  if (const size_t hash = name.find('#'); hash != std::string::npos)
    r.Code = NormalizeSymCode(std::string_view(name).substr(hash + 1));
  const TNameLookup found = FindAtomWithoutSuffix(s, LabelPart(name));
  if (found.SuffixRemoved) suffixRemoved = true;
  if (found.Atom < 0) Fail("atom \"" + found.Name + "\" not found.");
  r.Atom = found.Atom;
  r.Label = s.Atoms[static_cast<size_t>(r.Atom)].Label;
  r.OneSite = NumberedSite(s, found.Name) == r.Atom;
  return r;
}

// One flag per atom: whether it is one the name may stand for, every atom
// with its label (labels repeat in some files, e.g. the parts of a
// disorder) or, for a numbered site (Ni@2), that atom alone.
std::vector<char> AtomsNamed(const TStructure& s, int atom, bool oneSite) {
  const std::vector<TAtom>& atoms = s.Atoms;
  std::vector<char> flags(atoms.size());
  for (size_t a = 0; a < atoms.size(); ++a)
    flags[a] = oneSite ? static_cast<int>(a) == atom : SameText(atoms[a].Label, atoms[static_cast<size_t>(atom)].Label);
  return flags;
}

bool SlotTakenInGroup(int slot, size_t self, const TLigandArgs& args,
                      const std::vector<TNameResolution>& names) {
  for (size_t k = 0; k < names.size(); ++k)
    if (k != self && args.Groups[k] == args.Groups[self] && names[k].Slot == slot) return true;
  return false;
}

int ResolveCodedName(size_t i, const TNameResolution& r, const TContext& c) {
  const TStructure& s = c.S;
  const std::optional<TSiteRef> site = ResolveSymCode(s, r.Atom, r.Code);
  if (!site)
    Fail("symmetry code \"" + r.Code + "\" in \"" + c.Args.Names[i] +
         "\" is not valid for this CIF (" + std::to_string(s.SymOps.size()) +
         " operations, format n_klm).");
  if (SameSite(s, *site, c.Centre.Site))
    Fail("ligand \"" + c.Args.Names[i] + "\" is the central atom itself.");
  for (size_t slot = 0; slot < c.Candidates.size(); ++slot)
    if (c.Candidates[slot].Atom == site->Atom && SameSite(s, CandidateSite(c.Candidates[slot]), *site))
      return static_cast<int>(slot);
  Fail("ligand \"" + r.Label + "\" with symmetry code " + r.Code +
       " is not within the search radius (" + RadiusText(c.SearchRadius) +
       "). Increase --max= if required.");
}

// Coordinates are written to 4-6 decimals: an image of an atom on a special
// position can come out nearer than the atom itself by less than this.
constexpr double kRoundingDistance = 1e-4;

// Whether a candidate is the file's own atom, not a symmetry image of it.
bool IsOwnAtom(const TStructure& s, const TCandidate& c) {
  return IsIdentity(s.SymOps[static_cast<size_t>(c.Op)]) && c.T[0] == 0 && c.T[1] == 0 && c.T[2] == 0;
}

// The nearest image of the label that no other name of the same group has
// taken; among equally near images the first in candidate order. The atom
// itself is taken when it is no farther than the nearest image by more than
// the rounding of the coordinates, so that a bare label names the atom.
int ResolveNearestImage(size_t i, const std::vector<TNameResolution>& names, const TContext& c) {
  const std::vector<char> labelled = AtomsNamed(c.S, names[i].Atom, names[i].OneSite);
  int best = -1, own = -1;
  double bestDist = 1e30;
  int withLabel = 0;
  for (size_t slot = 0; slot < c.Candidates.size(); ++slot) {
    if (!labelled[static_cast<size_t>(c.Candidates[slot].Atom)]) continue;
    ++withLabel;
    if (SlotTakenInGroup(static_cast<int>(slot), i, c.Args, names)) continue;
    if (own < 0 && IsOwnAtom(c.S, c.Candidates[slot])) own = static_cast<int>(slot);
    if (c.Candidates[slot].Dist < bestDist - kEqualDistance) {
      best = static_cast<int>(slot);
      bestDist = c.Candidates[slot].Dist;
    }
  }
  if (own >= 0 && c.Candidates[static_cast<size_t>(own)].Dist <= bestDist + kRoundingDistance) return own;
  if (best >= 0) return best;
  if (withLabel > 0) Fail("ligand \"" + c.Args.Names[i] + "\" was given more than once.");
  Fail("ligand \"" + names[i].Label + "\" is not within the search radius (" +
       RadiusText(c.SearchRadius) + "). Increase --max= if required.");
}

TLigand MakeCentroid(int group, const std::vector<TNameResolution>& names, const TContext& c) {
  TLigand centroid;
  centroid.IsCentroid = true;
  centroid.Label = "Cg" + std::to_string(group + 1);
  for (size_t k = 0; k < names.size(); ++k)
    if (c.Args.Groups[k] == group)
      centroid.Members.push_back(names[k].Site);
  if (centroid.Members.size() < 2) Fail("centroid " + centroid.Label + " needs at least 2 atoms.");
  centroid.Site = centroid.Members.front();
  const TStructure& s = c.S;
  const TMat3 ortho = OrthoMatrix(s.Cell);
  const double d = Distance(MeanCartesian(s, centroid.Members, ortho), SiteCartesian(s, c.Centre.Site, ortho));
  if (!(d >= kMinCentroidDistance))
    Fail("centroid " + centroid.Label + " coincides with the central atom.");
  return centroid;
}

}  // namespace

std::vector<char> NamedAtoms(const TStructure& s, const TLigandArgs& args) {
  const std::vector<TAtom>& atoms = s.Atoms;
  std::vector<char> named(atoms.size(), 0);
  for (const std::string& name : args.Names) {
    const TNameLookup found = FindAtomWithoutSuffix(s, LabelPart(name));
    if (found.Atom < 0) continue;  // ResolveNamedLigands says so
    const std::vector<char> labelled = AtomsNamed(s, found.Atom, NumberedSite(s, found.Name) == found.Atom);
    for (size_t a = 0; a < atoms.size(); ++a) named[a] = named[a] || labelled[a];
  }
  return named;
}

std::optional<std::string> FirstUnknownName(const TStructure& s, const TLigandArgs& args) {
  for (const std::string& name : args.Names)
    if (FindAtomWithoutSuffix(s, LabelPart(name)).Atom < 0) return name;
  return std::nullopt;
}

TNamedLigands ResolveNamedLigands(const TStructure& s, const TCentre& centre, const TLigandArgs& args,
                                  const TCandidateArray& candidates, double searchRadius) {
  const TContext c{s, centre, args, candidates, searchRadius};
  TNamedLigands result;
  std::vector<TNameResolution> names;
  names.reserve(args.Names.size());
  for (const std::string& name : args.Names)
    names.push_back(LookUpName(name, s, result.SuffixRemoved));

  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < names.size(); ++i) {
      const bool coded = !names[i].Code.empty();
      if (coded != (pass == 0)) continue;
      const int slot = coded ? ResolveCodedName(i, names[i], c) : ResolveNearestImage(i, names, c);
      // A typed code keeps its own operator and translation, although the
      // search may have reached that place first by another one (an atom on
      // a special position): the tables show what the user typed.
      const TSiteRef site = coded ? *ResolveSymCode(s, names[i].Atom, names[i].Code)
                                  : CandidateSite(candidates[static_cast<size_t>(slot)]);
      for (size_t k = 0; k < names.size(); ++k) {
        if (k == i || args.Groups[k] != args.Groups[i] || names[k].Slot < 0) continue;
        if (SameSite(s, names[k].Site, site))
          Fail("ligand \"" + args.Names[i] + "\" was given more than once.");
      }
      names[i].Slot = slot;
      names[i].Site = site;
    }
  }

  for (size_t i = 0; i < names.size(); ++i) {
    if (args.Groups[i] >= 0) continue;
    TLigand ligand = CandidateLigand(s, candidates[static_cast<size_t>(names[i].Slot)]);
    ligand.Site = names[i].Site;
    ligand.Members = {names[i].Site};
    result.Ligands.push_back(std::move(ligand));
  }
  for (int g = 0; g < args.GroupCount; ++g) result.Ligands.push_back(MakeCentroid(g, names, c));
  return result;
}

}  // namespace koravel
