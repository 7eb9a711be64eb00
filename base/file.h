#pragma once
#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

// File names are UTF-8 on every platform; on Windows they are converted to
// UTF-16 for the system, so that a folder such as C:\Users\Müller\ works.

// Pieces of a file name. Directories are separated by "/" (and on Windows
// also by "\" and the drive colon); the extension is the text from the last
// point of the last component, point included.
std::string FileNameOnly(std::string_view path);   // without the directory
std::string FileExtension(std::string_view path);  // ".res", or "" when none
std::string FileStem(std::string_view path);       // without the extension
// The path with its extension replaced by `extension` (point included), or
// with `extension` appended when it has none.
std::string ChangeExtension(std::string_view path, std::string_view extension);

// A name ending in ".gz" (any case) denotes gzip-compressed bytes: the
// readers take the text it holds, named by the rest (x.cif for x.cif.gz).
bool IsGzipName(std::string_view path);
std::string WithoutGzip(std::string_view path);

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

// fopen with a UTF-8 name; null on failure, with errno set.
TFilePtr OpenFile(const std::string& name, const char* mode);

bool FileExists(const std::string& name);  // a regular file, not a directory
bool IsDirectory(const std::string& name);

// Two names denote the same file: the same text, or (when both exist) the
// same file on disk, whatever path leads there.
bool SameFile(const std::string& a, const std::string& b);

// The regular files below a folder, recursively, in sorted order: the folder
// as given, "/", and the path below it with "/" between its parts (UTF-8).
// A folder that cannot be read (the folder itself or one below it) stands in
// the list in place of its files, so that whoever reads the list says so.
std::vector<std::string> FilesBelow(const std::string& folder);

// Cuts a file down to its first `size` bytes; false when it cannot.
bool TruncateFile(const std::string& name, std::size_t size);

// Whether the stream is a terminal (a console), not a file or a pipe.
bool IsTerminal(std::FILE* stream);

// Reads a file once, in order, a piece at a time: `expect` is told the
// file's size before the first piece (0 when it is not known: a .gz name),
// then `take` gets each piece while it is fresh in the cache. A .gz name
// gives the bytes it holds, decompressed. Every piece but the last holds
// kFilePiece bytes. A file that another program shortens or lengthens while
// it is read simply ends where the reading finds its end. Throws TError
// "cannot read NAME: reason" like TFileBytes.
constexpr std::size_t kFilePiece = std::size_t{1} << 18;
void ReadFileInPieces(const std::string& name, const std::function<void(std::size_t)>& expect,
                      const std::function<void(std::string_view)>& take);

// The bytes of a whole file, read into memory; for a .gz name, the bytes it
// holds decompressed. Throws TError "cannot read NAME: reason" when the file
// cannot be opened, read or decompressed (a directory counts as unreadable).
class TFileBytes {
 public:
  explicit TFileBytes(const std::string& name);

  std::string_view View() const { return Bytes_; }

 private:
  std::string Bytes_;
};

// The whole file as a string; throws like TFileBytes.
std::string ReadFile(const std::string& name);

}  // namespace koravel
