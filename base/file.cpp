#include "base/file.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

#include <zlib.h>

#include "base/error.h"
#include "base/text.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include "base/encoding.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace koravel {

namespace {

bool IsDirectorySeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\' || c == ':';
#else
  return c == '/';
#endif
}

size_t NameStart(std::string_view path) {
  size_t start = path.size();
  while (start > 0 && !IsDirectorySeparator(path[start - 1])) --start;
  return start;
}

// Position of the extension's point, or npos.
size_t ExtensionStart(std::string_view path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < NameStart(path)) return std::string_view::npos;
  return dot;
}

[[noreturn]] void CannotRead(const std::string& name, const std::string& reason) {
  Fail("cannot read " + name + ": " + reason);
}

std::string ErrnoReason() { return errno != 0 ? std::strerror(errno) : "cannot open the file"; }

// Hands the text of gzip data to `take` in pieces of kFilePiece bytes:
// every member, one after another, as gzip writes files given together
// (gzip -c a b > c).
void Gunzip(std::FILE* file, const std::string& name, const std::function<void(std::string_view)>& take) {
  z_stream z{};
  // 15 + 16: the largest window, and a gzip header and trailer around it.
  if (inflateInit2(&z, 15 + 16) != Z_OK) CannotRead(name, "cannot start decompressing");
  struct TEnd {
    z_stream& Z;
    ~TEnd() { inflateEnd(&Z); }
  } end{z};
  std::vector<char> packed(kFilePiece), piece(kFilePiece);
  bool atEnd = false;  // every packed byte handed to zlib
  z.next_out = reinterpret_cast<Bytef*>(piece.data());
  z.avail_out = static_cast<uInt>(piece.size());
  for (;;) {
    if (z.avail_in == 0 && !atEnd) {
      const std::size_t n = std::fread(packed.data(), 1, packed.size(), file);
      if (std::ferror(file)) CannotRead(name, "read error");
      atEnd = n < packed.size();
      z.next_in = reinterpret_cast<Bytef*>(packed.data());
      z.avail_in = static_cast<uInt>(n);
    }
    const int status = inflate(&z, Z_NO_FLUSH);
    if (z.avail_out == 0) {
      take({piece.data(), piece.size()});
      z.next_out = reinterpret_cast<Bytef*>(piece.data());
      z.avail_out = static_cast<uInt>(piece.size());
    }
    if (status == Z_STREAM_END) {
      if (z.avail_in == 0 && atEnd) break;
      if (inflateReset(&z) != Z_OK) CannotRead(name, "cannot decompress the next member");
    } else if (status == Z_BUF_ERROR && z.avail_in == 0 && atEnd) {
      CannotRead(name, "the compressed data end early");
    } else if (status != Z_OK && status != Z_BUF_ERROR) {
      CannotRead(name, std::string("not gzip data") + (z.msg != nullptr ? " (" + std::string(z.msg) + ")" : ""));
    }
  }
  if (const std::size_t n = piece.size() - z.avail_out; n > 0) take({piece.data(), n});
}

// The size of an open file, or 0 when the system does not say.
std::size_t SizeOf(std::FILE* file) {
#ifdef _WIN32
  struct _stat64 st {};
  return _fstat64(_fileno(file), &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
#else
  struct stat st {};
  return fstat(fileno(file), &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
#endif
}

#ifdef _WIN32
bool FileIdentity(const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE file = CreateFileW(WideFromUtf8(name).c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return ok;
}

DWORD Attributes(const std::string& name) {
  return name.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(WideFromUtf8(name).c_str());
}
#endif

}  // namespace

std::string FileNameOnly(std::string_view path) { return std::string(path.substr(NameStart(path))); }

std::string FileExtension(std::string_view path) {
  const size_t dot = ExtensionStart(path);
  return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string FileStem(std::string_view path) {
  const size_t dot = ExtensionStart(path);
  return std::string(dot == std::string_view::npos ? path : path.substr(0, dot));
}

std::string ChangeExtension(std::string_view path, std::string_view extension) {
  return FileStem(path) + std::string(extension);
}

bool IsGzipName(std::string_view path) { return SameText(FileExtension(path), ".gz"); }

std::string WithoutGzip(std::string_view path) {
  return IsGzipName(path) ? FileStem(path) : std::string(path);
}

#ifdef _WIN32

TFilePtr OpenFile(const std::string& name, const char* mode) {
  return TFilePtr(_wfopen(WideFromUtf8(name).c_str(), WideFromUtf8(mode).c_str()));
}

bool FileExists(const std::string& name) {
  const DWORD a = Attributes(name);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsDirectory(const std::string& name) {
  const DWORD a = Attributes(name);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Windows has no inode numbers: the volume serial number and the file index
// identify a file whatever path, or letter case, leads there.
bool SameFile(const std::string& a, const std::string& b) {
  if (SameText(a, b)) return true;
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  if (!FileIdentity(a, ia) || !FileIdentity(b, ib)) return false;
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

#else

TFilePtr OpenFile(const std::string& name, const char* mode) {
  return TFilePtr(std::fopen(name.c_str(), mode));
}

bool FileExists(const std::string& name) {
  struct stat st {};
  return !name.empty() && stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& name) {
  struct stat st {};
  return !name.empty() && stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa {}, sb {};
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

#endif

void ReadFileInPieces(const std::string& name, const std::function<void(std::size_t)>& expect,
                      const std::function<void(std::string_view)>& take) {
  if (IsDirectory(name)) CannotRead(name, "is a directory");
  errno = 0;
  TFilePtr file = OpenFile(name, "rb");
  if (!file) CannotRead(name, ErrnoReason());
  // Read, never mapped: a mapped file that another program shortens while
  // it is read takes the process down (SIGBUS; an in-page error on Windows),
  // while a read simply ends with what the file still holds.
  if (IsGzipName(name)) {
    expect(0);
    Gunzip(file.get(), name, take);
    return;
  }
  expect(SizeOf(file.get()));
  const auto piece = std::make_unique_for_overwrite<char[]>(kFilePiece);
  for (;;) {
    const std::size_t n = std::fread(piece.get(), 1, kFilePiece, file.get());
    if (std::ferror(file.get())) CannotRead(name, "read error");
    if (n > 0) take({piece.get(), n});
    if (n < kFilePiece) return;
  }
}

TFileBytes::TFileBytes(const std::string& name) {
  ReadFileInPieces(
      name, [&](std::size_t size) { Bytes_.reserve(size); },
      [&](std::string_view piece) { Bytes_.append(piece); });
}

std::string ReadFile(const std::string& name) { return std::string(TFileBytes(name).View()); }

namespace {

std::filesystem::path PathOf(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(WideFromUtf8(utf8));
#else
  return std::filesystem::path(utf8);
#endif
}

// A path as UTF-8 with "/" between its parts (Windows accepts it too), so
// that a folder's files are named alike on every platform.
std::string Utf8Of(const std::filesystem::path& path) {
#ifdef _WIN32
  return Utf8FromWide(path.generic_wstring());
#else
  return path.generic_string();
#endif
}

}  // namespace

namespace {

// Adds the regular files below `dir`, shown as `shown` + "/" + their path,
// or `shown` itself when the folder cannot be listed. Symbolic links to
// folders are not followed (a link to a parent would never end).
void AddFilesBelow(const std::filesystem::path& dir, const std::string& shown, std::vector<std::string>& out) {
  std::error_code ec;
  std::filesystem::directory_iterator it(dir, ec);
  if (ec) {
    out.push_back(shown);
    return;
  }
  const std::string prefix = shown.empty() || shown.back() == '/' || shown.back() == '\\' ? shown : shown + "/";
  for (const auto end = std::filesystem::directory_iterator(); it != end; it.increment(ec)) {
    if (ec) {
      out.push_back(shown);
      return;
    }
    std::error_code typeError;
    const std::string name = prefix + Utf8Of(it->path().filename());
    if (it->is_directory(typeError) && !it->is_symlink(typeError))
      AddFilesBelow(it->path(), name, out);
    else if (it->is_regular_file(typeError))
      out.push_back(name);
  }
}

}  // namespace

std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> files;
  AddFilesBelow(PathOf(folder), folder, files);
  std::sort(files.begin(), files.end());
  return files;
}

bool TruncateFile(const std::string& name, std::size_t size) {
  std::error_code error;
  std::filesystem::resize_file(PathOf(name), size, error);
  return !error;
}

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

}  // namespace koravel
