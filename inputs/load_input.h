#pragma once
#include <memory>
#include <string>

#include "geom/structure.h"
#include "inputs/mat_file.h"
#include "inputs/xyz_naming.h"
#include "inputs/xyz_reader.h"

namespace koravel {

// What a run keeps from loading a SHELX or XYZ file: whether it has su, the
// paired matrix file, and what the report header shows.
struct TInputState {
  bool HasSu = true;      // false for XYZ, and for SHELX without a matrix file
  bool UseMatrix = false; // a matrix file was loaded and belongs to the structure
  std::unique_ptr<TMatFile> MatFile;
  std::string MatFileName;  // where the matrix file was looked for
  std::string ShelxTitle;
  TXyzData Xyz;             // the XYZ record, kept whole for the header
};

// Replaces the working structure by the SHELX file's and pairs a .mat of the
// same stem when one exists. Ends the run through Fatal when the file, the
// matrix file or their pairing fails.
void LoadShelx(const std::string& fileName, TWorkingStructure& s, TInputState& st);

// Replaces the working structure by the XYZ file's atoms in a 10000 Å cubic
// cell without symmetry. Ends the run through Fatal when the file fails.
void LoadXyz(const std::string& fileName, TXyzNaming naming, TWorkingStructure& s,
             TInputState& st);

// The message for a matrix file that does not belong to the SHELX file.
std::string PairingMessage(const std::string& matFileName, const std::string& shelxFileName,
                           const std::string& matchMessage);

}  // namespace koravel
