#include "app/input_file.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "geom/fatal.h"
#include "geom/text.h"

namespace koravel {

namespace {

#ifdef _WIN32
// Windows has no inode numbers: the volume serial number and the file index
// identify a file whatever path, or letter case, leads there.
bool FileIdentity(const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE file = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return ok;
}
#endif

// Two names denote the same file: the same text, or (when both exist) the
// same file on disk, whatever path leads there.
bool SameFile(const std::string& a, const std::string& b) {
#ifdef _WIN32
  if (SameText(a, b)) return true;
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  if (!FileIdentity(a, ia) || !FileIdentity(b, ib)) return false;
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
#else
  if (a == b) return true;
  struct stat sa {}, sb {};
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#endif
}

}  // namespace

TInputKind ResolveInputFile(std::string& fileName) {
  const std::string ext = LowerAscii(FileExtension(fileName));
  if (FileExists(fileName)) {
    if (ext == ".res" || ext == ".ins") return ikShelx;
    if (ext == ".xyz") return ikXyz;
    return ikCif;
  }
  const std::string stem = FileStem(fileName);
  struct TCandidate {
    const char* Extension;
    TInputKind Kind;
  };
  const TCandidate candidates[] = {{".res", ikShelx}, {".ins", ikShelx}, {".xyz", ikXyz}};
  for (const TCandidate& c : candidates) {
    if (FileExists(stem + c.Extension)) {
      fileName = stem + c.Extension;
      return c.Kind;
    }
  }
  Fatal("file not found: " + fileName + " - and no " + FileNameOnly(stem) +
        ".res, .ins or .xyz in the same directory.");
}

bool IsInputFileOfRun(const std::string& outName, const std::string& typedName) {
  if (outName.empty()) return false;
  if (SameFile(outName, typedName)) return true;
  const std::string stem = FileStem(typedName);
  for (const char* ext : {".res", ".ins", ".xyz", ".mat"}) {
    const std::string candidate = stem + ext;
    if (FileExists(candidate) && SameFile(outName, candidate)) return true;
  }
  return false;
}

}  // namespace koravel
