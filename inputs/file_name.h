#pragma once
#include <string>
#include <string_view>

namespace koravel {

// File-name pieces. Both "/" and "\" separate directories: Olex2 passes
// Windows paths.
std::string FileNameOnly(std::string_view path);    // without the directory
std::string FileExtension(std::string_view path);   // ".res", or "" when none
// The path with its extension replaced by `extension` (which carries its
// point), or with `extension` appended when it has none.
std::string ChangeExtension(std::string_view path, std::string_view extension);

}  // namespace koravel
