#include "sum/ligand_resolve.h"

#include <cmath>

#include "cif/sym_code.h"
#include "geom/cell.h"
#include "geom/fatal.h"
#include "geom/number_text.h"
#include "geom/sym_code.h"
#include "geom/text.h"
#include "sum/neighbours.h"

namespace koravel {

namespace {

// A centroid this close to the central atom (two trans ligands through an
// inversion centre, say) gives a distance of 0 and meaningless angles.
constexpr double kMinCentroidDistance = 0.4;
// Images whose distances differ by less than this are equally near.
constexpr double kEqualDistance = 1e-6;

// One ligand name on its way to a candidate.
struct TNameResolution {
  std::string Label;  // the structure's own label
  int Atom = -1;
  std::string Code;   // normalised symmetry code; empty when none was typed
  int Slot = -1;      // the candidate chosen
};

std::string RadiusText(double radius) { return FormatFixed(radius, 2) + " A"; }

[[noreturn]] void LabelNotFound(const std::string& label, const TLigandLookup& lookup) {
  if (label.find('%') != std::string::npos)
    Fatal("atom \"" + label +
          "\" - this looks like an Olex2 macro argument that was not\n"
          "       substituted. Check the macro definition (see MANUAL, section 6).");
  Fatal("atom \"" + label + "\" not found in " + lookup.FileName + "." + lookup.XyzHint +
        "\n       If this is a centroid created in Olex2 (cent): it exists only"
        "\n       inside Olex2. Give its atoms instead, e.g. [C1 C2 C3 C4 C5],"
        "\n       or define it with the korvex macro.");
}

TNameResolution LookUpName(const std::string& name, const TLigandLookup& lookup,
                           bool& olexSuffixNote) {
  TNameResolution r;
  std::string label = name;
  const size_t hash = name.find('#');
  if (hash != std::string::npos) {
    r.Code = NormalizeSymCode(std::string_view(name).substr(hash + 1));
    label = name.substr(0, hash);
  }
  bool removed = false;
  r.Atom = FindAtomWithoutSuffix(*lookup.Structure, label, removed);
  if (removed) olexSuffixNote = true;
  if (r.Atom < 0) LabelNotFound(label, lookup);
  r.Label = lookup.Structure->Atoms[r.Atom].Label;
  return r;
}

bool SlotTakenInGroup(int slot, size_t self, const TLigandArgs& args,
                      const std::vector<TNameResolution>& names) {
  for (size_t k = 0; k < names.size(); ++k)
    if (k != self && args.Groups[k] == args.Groups[self] && names[k].Slot == slot) return true;
  return false;
}

int ResolveCodedName(size_t i, const TLigandArgs& args, const TNameResolution& r,
                     const TLigandLookup& lookup) {
  const TWorkingStructure& s = *lookup.Structure;
  TSiteRef site{r.Atom, {}};
  if (!ResolveSymCode(s.SymOps, r.Code, site.Op))
    Fatal("symmetry code \"" + r.Code + "\" in \"" + args.Names[i] +
          "\" is not valid for this CIF (" + std::to_string(s.SymOps.size()) +
          " operations, format n_klm).");
  if (SameSite(s.AtomFrac, site, lookup.CentralSite))
    Fatal("ligand \"" + args.Names[i] + "\" is the central atom itself.");
  const TCandidateArray& candidates = *lookup.Candidates;
  for (size_t slot = 0; slot < candidates.size(); ++slot)
    if (candidates[slot].Atom == site.Atom &&
        SameSite(s.AtomFrac, CandidateSite(s, candidates[slot]), site))
      return static_cast<int>(slot);
  Fatal("ligand \"" + r.Label + "\" with symmetry code " + r.Code +
        " is not within the search radius (" + RadiusText(lookup.SearchRadius) +
        "). Increase --max= if required.");
}

// The nearest image of the label that no other name of the same group has
// taken; among equally near images the first in candidate order.
int ResolveNearestImage(size_t i, const TLigandArgs& args,
                        const std::vector<TNameResolution>& names, const TLigandLookup& lookup) {
  const TCandidateArray& candidates = *lookup.Candidates;
  const std::vector<TAtom>& atoms = lookup.Structure->Atoms;
  int best = -1;
  double bestDist = 1e30;
  int withLabel = 0;
  for (size_t slot = 0; slot < candidates.size(); ++slot) {
    if (!SameText(atoms[candidates[slot].Atom].Label, names[i].Label)) continue;
    ++withLabel;
    if (SlotTakenInGroup(static_cast<int>(slot), i, args, names)) continue;
    if (candidates[slot].Dist < bestDist - kEqualDistance) {
      best = static_cast<int>(slot);
      bestDist = candidates[slot].Dist;
    }
  }
  if (best >= 0) return best;
  if (withLabel > 0) Fatal("ligand \"" + args.Names[i] + "\" was given more than once.");
  Fatal("ligand \"" + names[i].Label + "\" is not within the search radius (" +
        RadiusText(lookup.SearchRadius) + "). Increase --max= if required.");
}

TVec3 CartesianOf(const TPointDef& point, const TWorkingStructure& s) {
  const TMat3 ortho = OrthoMatrix(s.Cell);
  TVec3 sum{0, 0, 0};
  for (const TSiteRef& site : point) {
    const TVec3 p = SiteCartesian(s.AtomFrac[site.Atom], site.Op, ortho);
    for (int k = 0; k < 3; ++k) sum[k] += p[k];
  }
  if (!point.empty())
    for (double& v : sum) v /= static_cast<double>(point.size());
  return sum;
}

TLigand MakeCentroid(int group, const TLigandArgs& args, const std::vector<TNameResolution>& names,
                     const TLigandLookup& lookup) {
  const TCandidateArray& candidates = *lookup.Candidates;
  TLigand centroid;
  centroid.IsCentroid = true;
  centroid.Label = "Cg" + std::to_string(group + 1);
  for (size_t k = 0; k < names.size(); ++k)
    if (args.Groups[k] == group)
      centroid.Points.push_back(CandidateSite(*lookup.Structure, candidates[names[k].Slot]));
  if (centroid.Points.size() < 2) Fatal("centroid " + centroid.Label + " needs at least 2 atoms.");
  centroid.Site = centroid.Points.front();

  const TWorkingStructure& s = *lookup.Structure;
  const TVec3 c = CartesianOf(centroid.Points, s);
  const TVec3 m = CartesianOf(TPointDef{lookup.CentralSite}, s);
  const double d = std::sqrt((c[0] - m[0]) * (c[0] - m[0]) + (c[1] - m[1]) * (c[1] - m[1]) +
                             (c[2] - m[2]) * (c[2] - m[2]));
  if (!(d >= kMinCentroidDistance))
    Fatal("centroid " + centroid.Label + " coincides with the central atom.");
  return centroid;
}

}  // namespace

int FindAtomWithoutSuffix(const TWorkingStructure& s, std::string& name, bool& suffixRemoved) {
  suffixRemoved = false;
  int index = FindAtom(s, name);
  if (index >= 0) return index;
  bool removed = false;
  std::string stripped = StripOlexSuffix(name, removed);
  if (!removed) return -1;
  suffixRemoved = true;
  name = stripped;
  return FindAtom(s, name);
}

TLigArray ResolveExplicitLigands(const TLigandArgs& args, const TLigandLookup& lookup,
                                 bool& olexSuffixNote) {
  std::vector<TNameResolution> names;
  names.reserve(args.Names.size());
  for (const std::string& name : args.Names) names.push_back(LookUpName(name, lookup, olexSuffixNote));

  const TWorkingStructure& s = *lookup.Structure;
  const TCandidateArray& candidates = *lookup.Candidates;
  // Names with a code first, so that a plain name cannot take their image.
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < names.size(); ++i) {
      const bool coded = !names[i].Code.empty();
      if (coded != (pass == 0)) continue;
      const int slot = coded ? ResolveCodedName(i, args, names[i], lookup)
                             : ResolveNearestImage(i, args, names, lookup);
      const TSiteRef site = CandidateSite(s, candidates[slot]);
      for (size_t k = 0; k < names.size(); ++k) {
        if (k == i || args.Groups[k] != args.Groups[i] || names[k].Slot < 0) continue;
        if (SameSite(s.AtomFrac, CandidateSite(s, candidates[names[k].Slot]), site))
          Fatal("ligand \"" + args.Names[i] + "\" was given more than once.");
      }
      names[i].Slot = slot;
    }
  }

  TLigArray ligands;
  for (size_t i = 0; i < names.size(); ++i)
    if (args.Groups[i] < 0) ligands.push_back(CandidateLigand(s, candidates[names[i].Slot]));
  for (int g = 0; g < args.GroupCount; ++g) ligands.push_back(MakeCentroid(g, args, names, lookup));
  return ligands;
}

}  // namespace koravel
