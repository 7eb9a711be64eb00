#pragma once
#include <string>
#include <utility>
#include <vector>

namespace koravel {

enum class TInputKind { Cif, Shelx, Xyz };

// Where a structure model came from, as the report's header and the
// messages about it name it. The model itself (crystal/model.h) knows no file.
struct TSource {
  TInputKind Kind = TInputKind::Cif;
  std::string FileName;  // the file read (after falling back from a missing CIF)

  // The report's words for the file, which its reader supplies: the format
  // ("SHELX" for the "SHELX file" line) and the file's type ("RES", "INS",
  // "XYZ"); where the symmetry operators came from, when not from a
  // list of them ("from LATT/SYMM", "from the Hall symbol '-P 1'"); whether
  // the coordinates are Cartesian, without cell and symmetry (XYZ); and, for
  // a SHELX file read without su, the .mat that would give them.
  std::string Format;
  std::string FileType;
  std::string OperatorsFrom;
  bool Cartesian = false;
  std::string MatToAdd;

  // CIF: the block read, how many blocks the file has, which hold a structure,
  // and, for a block chosen by the central atom's name, the other blocks
  // whose structure has that name too.
  std::string BlockName;
  int BlockCount = 0;
  std::string StructureBlocks;
  std::vector<std::string> OtherCentralBlocks;
  bool ElementsFromLabels = false;  // the block has no type symbols

  // SHELX: the title, where the matrix file was looked for, and the number of
  // refined parameters of the matrix file paired with it (0: none).
  std::string Title;
  std::string MatFileName;
  long long MatParameters = 0;

  // XYZ: the comment line, the number of frames, and how the atoms are named.
  std::string Comment;
  int Frames = 1;
  bool HasLabels = false;
  std::string AtomNames;
  // XYZ without labels: the names the other schemes give the atoms, each
  // with the line that says which atom it is under the naming in use
  // ("line 3 is Co2 with Olex2 numbering").
  std::vector<std::pair<std::string, std::string>> OtherNames;
};

}  // namespace koravel
