#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crystal/published_angle.h"
#include "crystal/structure.h"
#include "io/mat_file.h"
#include "io/xyz_file.h"

namespace koravel {

enum class TInputKind { Cif, Shelx, Xyz };

// What a run reads: the structure and what the report says about its source.
struct TInput {
  TInputKind Kind = TInputKind::Cif;
  std::string FileName;  // the file read (after falling back from a missing CIF)
  TStructure Structure;
  std::vector<TPublishedAngle> PublishedAngles;  // CIF only
  bool HasSu = true;     // false for XYZ, and for SHELX without a matrix file

  // CIF: the block read, how many blocks the file has, which hold a structure.
  std::string BlockName;
  int BlockCount = 0;
  std::string StructureBlocks;

  // SHELX: the title and the paired matrix file (null when there is none).
  std::string Title;
  std::string MatFileName;  // where the matrix file was looked for
  std::unique_ptr<TMatFile> Matrix;

  // XYZ: the file's comment, frames and labels (its atoms are in Structure).
  TXyzFile Xyz;
  TXyzNaming XyzNaming = xnOlex;
};

// What to read: the typed file name, the CIF block (empty: choose), the
// names the central atom may have (to choose the block), the XYZ naming.
struct TInputRequest {
  std::string FileName;
  std::string BlockName;
  std::vector<std::string> CentralNames;
  TXyzNaming XyzNaming = xnOlex;
};

// Reads the structure: the typed file, else the stem's .res, .ins or .xyz.
// A SHELX file is paired with the .mat of its stem when one exists. Throws
// TError when no file is found or reading fails.
TInput LoadInput(const TInputRequest& request);

// One data block of a file in a survey: what it holds, or why it holds no
// structure that can be read.
struct TBlockInput {
  std::string BlockName;  // empty for SHELX and XYZ files
  std::optional<TInput> Input;
  std::vector<std::string> Error;  // the lines of the error, when Input is empty
};

// Every data block of a file that exists (a SHELX or XYZ file is one block).
// Throws TError when the file itself cannot be read.
std::vector<TBlockInput> LoadEveryBlock(const std::string& fileName, TXyzNaming naming);

// True when writing `outName` could destroy a file this run reads: the typed
// structure file, or the stem's .res, .ins, .xyz or .mat when it exists.
bool IsInputFileOfRun(const std::string& outName, const std::string& typedName);

}  // namespace koravel
