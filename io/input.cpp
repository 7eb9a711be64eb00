#include "io/input.h"

#include "base/error.h"
#include "base/file.h"
#include "base/text.h"
#include "io/cif_structure.h"
#include "io/shelx_file.h"

namespace koravel {

namespace {

// Cartesian coordinates become fractional ones of a cubic cell so large that
// no symmetry image comes near, and whose fractions times 10000 are ångström.
constexpr double kXyzCellEdge = 10000;

// The file to read and its kind: the typed name, else the stem's .res, .ins
// or .xyz.
std::string ResolveInputFile(const std::string& typed, TInputKind& kind) {
  const std::string ext = LowerAscii(FileExtension(typed));
  if (FileExists(typed)) {
    kind = ext == ".res" || ext == ".ins" ? TInputKind::Shelx
           : ext == ".xyz"                ? TInputKind::Xyz
                                          : TInputKind::Cif;
    return typed;
  }
  const std::string stem = FileStem(typed);
  const std::pair<const char*, TInputKind> candidates[] = {
      {".res", TInputKind::Shelx}, {".ins", TInputKind::Shelx}, {".xyz", TInputKind::Xyz}};
  for (const auto& [extension, candidateKind] : candidates) {
    if (FileExists(stem + extension)) {
      kind = candidateKind;
      return stem + extension;
    }
  }
  Fail("file not found: " + typed + " - and no " + FileNameOnly(stem) +
       ".res, .ins or .xyz in the same directory.");
}

void LoadCifBlock(const TCifDocument& cif, const TCifBlock& block, TInput& in) {
  in.BlockName = std::string(block.Name);
  in.BlockCount = static_cast<int>(cif.Blocks().size());
  in.StructureBlocks = StructureBlockNames(cif);
  in.Structure = ReadCifStructure(cif, block);
  in.PublishedAngles = ReadPublishedAngles(cif, block);
}

void LoadCif(const TInputRequest& request, TInput& in) {
  const TCifDocument cif = ReadCifFile(in.FileName);
  LoadCifBlock(cif, ChooseDataBlock(cif, request.BlockName, request.CentralNames), in);
}

void LoadShelx(TInput& in) {
  TShelxFile shelx = ReadShelxFile(in.FileName);
  in.Title = shelx.Title;
  in.Structure = std::move(shelx.Structure);
  in.MatFileName = ChangeExtension(in.FileName, ".mat");
  if (!FileExists(in.MatFileName)) {
    in.HasSu = false;
    return;
  }
  in.Matrix = std::make_unique<TMatFile>(ReadMatFile(in.MatFileName));
  in.Matrix->MatchStructure(in.Structure, in.MatFileName, in.FileName);
}

void LoadXyz(TXyzNaming naming, TInput& in) {
  in.Xyz = ReadXyzFile(in.FileName, naming);
  in.XyzNaming = naming;
  in.HasSu = false;
  TStructure& s = in.Structure;
  s.Cell.A = s.Cell.B = s.Cell.C = kXyzCellEdge;
  s.SymOps = {IdentitySymOp()};
  for (TXyzAtom& a : in.Xyz.Atoms) {
    TAtom atom;
    atom.Label = std::move(a.Label);
    atom.Element = std::move(a.Element);
    for (int i = 0; i < 3; ++i) atom.Frac[i] = a.Cart[i] / kXyzCellEdge;
    s.Atoms.push_back(std::move(atom));
  }
  in.Xyz.Atoms.clear();
}

}  // namespace

TInput LoadInput(const TInputRequest& request) {
  TInput in;
  in.FileName = ResolveInputFile(request.FileName, in.Kind);
  switch (in.Kind) {
    case TInputKind::Cif: LoadCif(request, in); break;
    case TInputKind::Shelx: LoadShelx(in); break;
    case TInputKind::Xyz: LoadXyz(request.XyzNaming, in); break;
  }
  return in;
}

std::vector<TBlockInput> LoadEveryBlock(const std::string& fileName, TXyzNaming naming) {
  std::vector<TBlockInput> blocks;
  TInputRequest request{fileName, "", {}, naming};
  TInput probe;
  probe.FileName = ResolveInputFile(fileName, probe.Kind);
  if (probe.Kind != TInputKind::Cif) {
    blocks.push_back({"", LoadInput(request), {}});
    return blocks;
  }
  const TCifDocument cif = ReadCifFile(fileName);
  if (cif.Blocks().empty()) Fail("no data block found in the CIF.");
  for (const TCifBlock& block : cif.Blocks()) {
    TBlockInput b{std::string(block.Name), std::nullopt, {}};
    if (!HasStructure(block)) {
      b.Error = {"data block \"" + b.BlockName + "\" contains no cell parameters and atom sites."};
    } else {
      try {
        TInput in;
        in.FileName = fileName;
        LoadCifBlock(cif, block, in);
        b.Input = std::move(in);
      } catch (const TError& error) {
        b.Error = error.Lines();
      }
    }
    blocks.push_back(std::move(b));
  }
  return blocks;
}

bool IsInputFileOfRun(const std::string& outName, const std::string& typedName) {
  if (outName.empty()) return false;
  if (SameFile(outName, typedName)) return true;
  const std::string stem = FileStem(typedName);
  for (const char* ext : {".res", ".ins", ".xyz", ".mat"}) {
    const std::string candidate = stem + ext;
    if (FileExists(candidate) && SameFile(outName, candidate)) return true;
  }
  return false;
}

}  // namespace koravel
