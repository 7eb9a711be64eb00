#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

// Text helpers shared by all readers. "Blank" means a character with code
// 0..32, as the file formats treat it; letter case is ASCII only.
bool IsBlankChar(char c);
std::string_view Trim(std::string_view s);
std::string_view TrimRight(std::string_view s);
char LowerAscii(char c);
char UpperAscii(char c);
std::string LowerAscii(std::string_view s);
std::string UpperAscii(std::string_view s);
bool SameText(std::string_view a, std::string_view b);  // ignoring ASCII case
bool StartsWithText(std::string_view s, std::string_view prefix);  // ignoring case

// Field padding like printf's %-Ns and %Ns, except that a longer text is
// written whole.
std::string PadRight(std::string_view text, size_t width);
std::string PadLeft(std::string_view text, size_t width);

// Splits a file's bytes into lines at LF, CR LF or CR; a last line without a
// line end counts, a final line end does not start an empty line.
std::vector<std::string> SplitLines(std::string_view bytes);

// Reads a whole file. False with the system's reason in `error` when the file
// cannot be opened or read (a directory counts as unreadable).
bool ReadWholeFile(const std::string& name, std::string& bytes, std::string& error);

bool FileExists(const std::string& name);  // a regular file, not a directory

}  // namespace koravel
