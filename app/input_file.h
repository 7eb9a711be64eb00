#pragma once
#include <string>

namespace koravel {

enum TInputKind { ikCif, ikShelx, ikXyz };

// The extension of a path's last component, dot included ("" when none).
std::string FileExtension(const std::string& name);
// The name without its extension (directory kept).
std::string FileStem(const std::string& name);
// The last path component.
std::string FileNamePart(const std::string& name);

// Turns the typed structure file name into the name of an existing file: the
// name itself, else the stem's .res, .ins or .xyz. Fatal when none exists.
TInputKind ResolveInputFile(std::string& fileName);

// True when writing `outName` could destroy a file this run reads: the typed
// structure file, or the stem's .res, .ins, .xyz or .mat when it exists.
bool IsInputFileOfRun(const std::string& outName, const std::string& typedName);

}  // namespace koravel
