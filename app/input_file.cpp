#include "app/input_file.h"

#include <sys/stat.h>

#include "geom/fatal.h"
#include "geom/text.h"

namespace koravel {

namespace {

// Two names denote the same file: the same text, or (when both exist) the
// same file on disk, whatever path leads there.
bool SameFile(const std::string& a, const std::string& b) {
#ifdef _WIN32
  if (SameText(a, b)) return true;
#else
  if (a == b) return true;
#endif
  struct stat sa {}, sb {};
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
#ifdef _WIN32
  return false;  // no inode numbers: the text comparison above must serve
#else
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
