#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crystal/model.h"
#include "io/cif_document.h"
#include "io/source.h"
#include "io/xyz_file.h"

namespace koravel {

// The extensions of structure files, lower case, and the kind of file each
// denotes, in the order in which a run on a stem looks for them.
struct TStructureExtension {
  std::string_view Extension;
  TInputKind Kind;
};
inline constexpr TStructureExtension kStructureExtensions[] = {
    {".cif", TInputKind::Cif}, {".res", TInputKind::Shelx}, {".ins", TInputKind::Shelx},
    {".xyz", TInputKind::Xyz}};

// The entry of kStructureExtensions that a file name ends in, in any letter
// case and also before a .gz (x.RES.gz: ".res"); null for any other name.
// A file of any other name is read as a CIF.
const TStructureExtension* StructureExtension(std::string_view fileName);

// The SHELXL matrix file of a SHELX file: the stem's .mat, else its .mat.gz;
// the plain .mat when neither exists.
std::string MatFileOf(const std::string& shelxFile);

// What a run reads: the structure model and a description of its source.
struct TInput {
  TModel Model;
  TSource Source;
};

// What to read: the typed file name, the CIF block (empty: choose), the
// names the central atom may have (to choose the block), the XYZ naming.
struct TInputRequest {
  std::string FileName;
  std::string BlockName;
  std::vector<std::string> CentralNames;
  TXyzNaming XyzNaming = xnOlex;
};

// A structure file, found and opened: the typed file, else the stem's .res,
// .ins or .xyz (for a name without extension, .cif first; each also as .gz). A CIF is read once for all its data blocks; a SHELX or XYZ
// file is one block. Throws TError when no file is found or it cannot be read.
class TStructureFile {
 public:
  TStructureFile(const std::string& typedName, TXyzNaming naming);

  // The blocks: a CIF's data blocks in file order, one unnamed block for a
  // SHELX or XYZ file.
  size_t BlockCount() const;
  std::string BlockName(size_t block) const;
  // Whether a block lists atom sites (a SHELX or XYZ file always does).
  bool HasAtomSites(size_t block) const;

  // The block a run reads: the one named (`name` not empty), else the first
  // with a structure whose atom sites hold one of `centralNames`, else the
  // first with a structure. Throws TError when there is none.
  size_t ChooseBlock(const std::string& name, const std::vector<std::string>& centralNames) const;

  // The blocks with a structure whose atom sites hold one of `names`, in
  // file order; none for a SHELX or XYZ file.
  std::vector<size_t> BlocksWithAtom(const std::vector<std::string>& names) const;

  // The model of a block and its source. A SHELX file is paired with the .mat
  // of its stem when one exists. Throws TError when the block holds no
  // structure that can be read.
  TInput Load(size_t block) const;

 private:
  TSource Source_;  // kind, file and type; the rest is filled in per block
  TXyzNaming Naming_;
  std::optional<TCifDocument> Cif_;
};

// The block the request names or implies, read. A block chosen by the
// central atom's name notes the other blocks that hold it too.
TInput LoadInput(const TInputRequest& request);

// The files a run on the typed name may read, which no output may replace:
// the typed file, and the files of its stem that exist which it falls back
// to, and the .mat (or .mat.gz).
std::vector<std::string> InputFilesOfRun(const std::string& typedName);

}  // namespace koravel
