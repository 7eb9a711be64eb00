#pragma once
#include <string>

#include "geom/file_name.h"

namespace koravel {

enum TInputKind { ikCif, ikShelx, ikXyz };

// Turns the typed structure file name into the name of an existing file: the
// name itself, else the stem's .res, .ins or .xyz. Fatal when none exists.
TInputKind ResolveInputFile(std::string& fileName);

// True when writing `outName` could destroy a file this run reads: the typed
// structure file, or the stem's .res, .ins, .xyz or .mat when it exists.
bool IsInputFileOfRun(const std::string& outName, const std::string& typedName);

}  // namespace koravel
