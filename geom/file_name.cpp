#include "geom/file_name.h"

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
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < NameStart(path)) return std::string_view::npos;
  return dot;
}

}  // namespace

std::string FileNameOnly(std::string_view path) { return std::string(path.substr(NameStart(path))); }

std::string FileExtension(std::string_view path) {
  size_t dot = ExtensionStart(path);
  return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string FileStem(std::string_view path) {
  size_t dot = ExtensionStart(path);
  return std::string(dot == std::string_view::npos ? path : path.substr(0, dot));
}

std::string ChangeExtension(std::string_view path, std::string_view extension) {
  return FileStem(path) + std::string(extension);
}

}  // namespace koravel
