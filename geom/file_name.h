#pragma once
#include <string>
#include <string_view>

namespace koravel {

// Pieces of a file name. Directories are separated by "/" (and on Windows
// also by "\" and the drive colon); the extension is the text from the last
// point of the last component, point included.
std::string FileNameOnly(std::string_view path);   // without the directory
std::string FileExtension(std::string_view path);  // ".res", or "" when none
std::string FileStem(std::string_view path);       // without the extension
// The path with its extension replaced by `extension` (point included), or
// with `extension` appended when it has none.
std::string ChangeExtension(std::string_view path, std::string_view extension);

}  // namespace koravel
