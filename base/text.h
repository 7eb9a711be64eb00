#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

// Text helpers shared by every reader. "Blank" means a character with code
// 0..32, as the file formats treat it; letter case is ASCII only.
bool IsBlank(char c);
bool IsDigit(char c);
bool IsAsciiLetter(char c);
std::string_view Trim(std::string_view s);
std::string_view TrimRight(std::string_view s);
char LowerAscii(char c);
char UpperAscii(char c);
std::string LowerAscii(std::string_view s);
std::string UpperAscii(std::string_view s);
bool SameText(std::string_view a, std::string_view b);  // ignoring ASCII case
bool StartsWith(std::string_view s, std::string_view prefix);
bool StartsWithText(std::string_view s, std::string_view prefix);  // ignoring case
// The number of single-character insertions, deletions and substitutions
// that turn one text into the other, ignoring ASCII case.
size_t EditDistance(std::string_view a, std::string_view b);

// Field padding like printf's %-Ns and %Ns, except that a longer text is
// written whole.
std::string PadRight(std::string_view text, size_t width);
std::string PadLeft(std::string_view text, size_t width);

// Splits text into lines at LF, CR LF or CR; a last line without a line end
// counts, a final line end does not start an empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

// The fields of a line: runs of characters between separators; a run of
// separators counts as one, so there are no empty fields.
std::vector<std::string_view> SplitFields(std::string_view line, bool (*isSeparator)(char));
// Blanks and tabs separate the fields of SHELX and matrix-file lines.
bool IsBlankOrTab(char c);

}  // namespace koravel
