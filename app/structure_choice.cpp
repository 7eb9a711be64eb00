#include "app/structure_choice.h"

#include <algorithm>

#include "cif/cif_structure.h"
#include "geom/elements.h"
#include "geom/fatal.h"
#include "inputs/input_notes.h"
#include "sum/ligand_resolve.h"

namespace koravel {

namespace {

// With ligands given by hand the search must reach them even when they are
// far from bonding distance.
constexpr double kExplicitMinRadius = 8.0;

}  // namespace

const TCifBlock& ChooseDataBlock(const TCifFile& cif, const std::string& blockName,
                                 const std::string& centralName) {
  if (cif.BlockCount() == 0) Fatal("no data block found in the CIF.");
  if (!blockName.empty()) {
    const TCifBlock* block = cif.FindBlock(blockName);
    if (block == nullptr)
      Fatal("data block \"" + blockName + "\" not found. Available: " + StructureBlockNames(cif));
    if (!HasStructure(*block))
      Fatal("data block \"" + blockName +
            "\" contains no cell parameters and atom sites. Blocks with a structure: " +
            StructureBlockNames(cif));
    return *block;
  }
  bool removed = false;
  const std::string atom = StripOlexSuffix(centralName, removed);
  for (int i = 0; i < cif.BlockCount(); ++i)
    if (HasStructure(cif.Block(i)) && BlockHasAtom(cif.Block(i), atom)) return cif.Block(i);
  for (int i = 0; i < cif.BlockCount(); ++i)
    if (HasStructure(cif.Block(i))) return cif.Block(i);
  Fatal("no data block with cell parameters and atom sites found.");
}

std::string NotFoundHint(const TRunState& state) {
  if (state.InputKind != ikXyz) return "";
  return XyzNamingHint(state.Input.Xyz.HasLabels, state.Options.XyzNaming);
}

void LookUpCentralAtom(TRunState& state) {
  std::string name = state.CentralName;
  bool removed = false;
  const int index = FindAtomWithoutSuffix(state.Structure, name, removed);
  if (removed) state.OlexSuffixNote = true;
  if (index < 0) {
    if (state.InputKind != ikCif)
      Fatal("central atom \"" + name + "\" not found in " + FileNameOnly(state.FileName) + "." +
            NotFoundHint(state));
    Fatal("central atom \"" + name + "\" not found in data block \"" + state.Block->Name +
          "\". Blocks with a structure: " + StructureBlockNames(state.Cif));
  }
  const TAtom& atom = state.Structure.Atoms[index];
  state.CentralAtom = index;
  state.CentralSite = TSiteRef{index, IdentitySymOp()};
  state.CentralLabel = atom.Label;
  state.CentralElement = atom.Element;
  state.AutoLigands = state.LigandArgs.Names.empty() && state.LigandArgs.GroupCount == 0;
}

double ChooseSearchRadius(const TRunState& state) {
  double largest = 0;
  for (const TAtom& atom : state.Structure.Atoms)
    largest = std::max(largest, CovalentRadius(atom.Element));
  double radius = CovalentRadius(state.CentralElement) + largest + state.Options.Tolerance;
  if (!state.AutoLigands) radius = std::max(radius, kExplicitMinRadius);
  if (state.Options.MaxRadius > 0) radius = state.Options.MaxRadius;
  return radius;
}

}  // namespace koravel
