#include "io/input.h"

#include "base/error.h"
#include "base/file.h"
#include "base/text.h"
#include "io/cif_structure.h"
#include "io/mat_file.h"
#include "io/shelx_file.h"

namespace koravel {

namespace {

// Cartesian coordinates become fractional ones of a cubic cell so large that
// no symmetry image comes near, and whose fractions times 10000 are ångström.
constexpr double kXyzCellEdge = 10000;

// The files a missing typed file falls back to, in order: the stem's .res,
// .ins and .xyz; a name without extension is a stem and tries .cif first.
// Each may also be gzip-compressed.
std::vector<std::string> FallbackFiles(const std::string& typed) {
  const std::string name = WithoutGzip(typed);
  const std::string stem = FileStem(name);
  std::vector<std::string> files;
  for (const TStructureExtension& e : kStructureExtensions) {
    if (e.Kind == TInputKind::Cif && !FileExtension(name).empty()) continue;
    files.push_back(stem + std::string(e.Extension));
    files.push_back(stem + std::string(e.Extension) + ".gz");
  }
  return files;
}

// The file to read: the typed name, else the first fallback that exists.
std::string ResolveInputFile(const std::string& typed) {
  // An empty name would fall back to files named ".cif" and the like.
  if (typed.empty()) Fail("the file name is empty: give a .cif, .res, .ins or .xyz file.");
  if (FileExists(typed)) return typed;
  for (const std::string& file : FallbackFiles(typed))
    if (FileExists(file)) return file;
  if (IsDirectory(typed))
    Fail(typed + " is a folder, not a structure file (koravel --survey " + typed +
         " reads every structure file in it).");
  const std::string stem = FileNameOnly(FileStem(WithoutGzip(typed)));
  const bool isStem = FileExtension(WithoutGzip(typed)).empty();
  Fail("file not found: " + typed + " - and no " + stem + (isStem ? ".cif, .res" : ".res") +
       ", .ins or .xyz in the same directory.");
}

TInput LoadShelx(TSource source) {
  TShelxFile shelx = ReadShelxFile(source.FileName);
  TInput in;
  in.Model.Structure = std::move(shelx.Structure);
  source.Format = "SHELX";
  source.OperatorsFrom = "from LATT/SYMM";
  source.Title = shelx.Title;
  source.MatFileName = MatFileOf(source.FileName);
  if (FileExists(source.MatFileName)) {
    auto matrix = std::make_unique<TMatFile>(ReadMatFile(source.MatFileName));
    matrix->MatchStructure(in.Model.Structure, source.MatFileName, source.FileName);
    source.MatParameters = matrix->ParamCount;
    in.Model.Covariance = std::move(matrix);
  } else {
    in.Model.HasSu = false;
    source.MatToAdd = FileNameOnly(source.MatFileName);
  }
  in.Source = std::move(source);
  return in;
}

// The names the other schemes give the atoms of an XYZ file without labels,
// each with the line that says which atom it is under the naming in use.
std::vector<std::pair<std::string, std::string>> OtherXyzNames(const TXyzFile& xyz, TXyzNaming naming) {
  std::vector<std::pair<std::string, std::string>> others;
  if (xyz.HasLabels) return others;
  for (TXyzNaming other : {xnOlex, xnPosition, xnElement}) {
    if (other == naming) continue;
    const std::vector<std::string> names = UnlabelledNames(xyz, other);
    for (size_t i = 0; i < names.size(); ++i) {
      const TXyzAtom& atom = xyz.Atoms[i];
      if (!SameText(names[i], atom.Label))
        others.emplace_back(names[i], "line " + std::to_string(atom.Line) + " is " + atom.Label + " with " +
                                          XyzNumberingName(naming));
    }
  }
  return others;
}

TInput LoadXyz(TSource source, TXyzNaming naming) {
  TXyzFile xyz = ReadXyzFile(source.FileName, naming);
  source.Format = "XYZ";
  source.Cartesian = true;
  source.Comment = xyz.Comment;
  source.Frames = xyz.StructureCount;
  source.HasLabels = xyz.HasLabels;
  source.AtomNames = XyzNamingDescription(xyz.HasLabels, naming);
  source.OtherNames = OtherXyzNames(xyz, naming);
  TInput in;
  in.Model.HasSu = false;
  TStructure& s = in.Model.Structure;
  s.Cell.A = s.Cell.B = s.Cell.C = kXyzCellEdge;
  s.SymOps = {IdentitySymOp()};
  for (TXyzAtom& a : xyz.Atoms) {
    TAtom atom;
    atom.Label = std::move(a.Label);
    atom.Element = std::move(a.Element);
    for (int i = 0; i < 3; ++i) atom.Frac[i] = a.Cart[i] / kXyzCellEdge;
    s.Atoms.push_back(std::move(atom));
  }
  in.Source = std::move(source);
  return in;
}

// Where a CIF's symmetry operators came from, when the block gives a symbol
// in place of a list.
std::string CifOperatorsFrom(const TStructure& s) {
  switch (s.SymmetryOrigin) {
    case TSymmetryOrigin::HallSymbol: return "from the Hall symbol '" + s.SymmetrySymbol + "'";
    case TSymmetryOrigin::HermannMauguinSymbol: return "from the H-M symbol '" + s.SymmetrySymbol + "'";
    case TSymmetryOrigin::Listed:
    case TSymmetryOrigin::Absent: break;
  }
  return "";
}

}  // namespace

const TStructureExtension* StructureExtension(std::string_view fileName) {
  const std::string extension = FileExtension(WithoutGzip(fileName));
  for (const TStructureExtension& e : kStructureExtensions)
    if (SameText(extension, e.Extension)) return &e;
  return nullptr;
}

std::string MatFileOf(const std::string& shelxFile) {
  const std::string mat = FileStem(WithoutGzip(shelxFile)) + ".mat";
  return !FileExists(mat) && FileExists(mat + ".gz") ? mat + ".gz" : mat;
}

TStructureFile::TStructureFile(const std::string& typedName, TXyzNaming naming) : Naming_(naming) {
  Source_.FileName = ResolveInputFile(typedName);
  const TStructureExtension* extension = StructureExtension(Source_.FileName);
  Source_.Kind = extension ? extension->Kind : TInputKind::Cif;
  Source_.FileType = extension ? UpperAscii(extension->Extension.substr(1)) : "CIF";
  if (Source_.Kind != TInputKind::Cif) return;
  Cif_.emplace(ReadCifFile(Source_.FileName));
  if (Cif_->Blocks().empty()) Fail("no data block found in " + Source_.FileName + ".");
  Source_.BlockCount = static_cast<int>(Cif_->Blocks().size());
  Source_.StructureBlocks = StructureBlockNames(*Cif_);
}

size_t TStructureFile::BlockCount() const { return Cif_ ? Cif_->Blocks().size() : 1; }

std::string TStructureFile::BlockName(size_t block) const {
  return Cif_ ? TextOf(Cif_->Blocks()[block].Name) : "";
}

bool TStructureFile::HasAtomSites(size_t block) const {
  return !Cif_ || koravel::HasAtomSites(Cif_->Blocks()[block]);
}

size_t TStructureFile::ChooseBlock(const std::string& name,
                                   const std::vector<std::string>& centralNames) const {
  if (!Cif_) return 0;
  return static_cast<size_t>(&ChooseDataBlock(*Cif_, name, centralNames) - Cif_->Blocks().data());
}

std::vector<size_t> TStructureFile::BlocksWithAtom(const std::vector<std::string>& names) const {
  std::vector<size_t> blocks;
  if (Cif_)
    for (size_t b = 0; b < Cif_->Blocks().size(); ++b)
      if (HasStructureWithAtom(*Cif_, Cif_->Blocks()[b], names)) blocks.push_back(b);
  return blocks;
}

TInput TStructureFile::Load(size_t block) const {
  switch (Source_.Kind) {
    case TInputKind::Shelx: return LoadShelx(Source_);
    case TInputKind::Xyz: return LoadXyz(Source_, Naming_);
    case TInputKind::Cif: break;
  }
  const TCifBlock& b = Cif_->Blocks()[block];
  if (!HasStructure(b))
    Fail("data block \"" + TextOf(b.Name) + "\" contains no cell parameters and atom sites.");
  TInput in;
  in.Model.Structure = ReadCifStructure(*Cif_, b);
  in.Model.PublishedAngles = ReadPublishedAngles(*Cif_, b);
  in.Source = Source_;
  in.Source.Format = "CIF";
  in.Source.BlockName = TextOf(b.Name);
  in.Source.ElementsFromLabels = !HasTypeSymbols(b);
  in.Source.OperatorsFrom = CifOperatorsFrom(in.Model.Structure);
  return in;
}

TInput LoadInput(const TInputRequest& request) {
  const TStructureFile file(request.FileName, request.XyzNaming);
  const size_t chosen = file.ChooseBlock(request.BlockName, request.CentralNames);
  TInput in = file.Load(chosen);
  // A label such as As1 in several structures of one file: the block taken
  // first may not be the one meant.
  if (request.BlockName.empty())
    for (size_t block : file.BlocksWithAtom(request.CentralNames))
      if (block != chosen) in.Source.OtherCentralBlocks.push_back(file.BlockName(block));
  return in;
}

std::vector<std::string> InputFilesOfRun(const std::string& typedName) {
  std::vector<std::string> files;
  if (typedName.empty()) return files;
  files.push_back(typedName);
  std::vector<std::string> others = FallbackFiles(typedName);
  const std::string mat = WithoutGzip(MatFileOf(typedName));
  others.insert(others.end(), {mat, mat + ".gz"});
  for (const std::string& file : others)
    if (file != typedName && FileExists(file)) files.push_back(file);
  return files;
}

}  // namespace koravel
