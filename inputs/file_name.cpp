#include "inputs/file_name.h"

namespace koravel {

namespace {

size_t NameStart(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? 0 : slash + 1;
}

// Position of the extension's point (the last point of the name), or npos.
size_t ExtensionStart(std::string_view path) {
  size_t start = NameStart(path);
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < start) return std::string_view::npos;
  return dot;
}

}  // namespace

std::string FileNameOnly(std::string_view path) { return std::string(path.substr(NameStart(path))); }

std::string FileExtension(std::string_view path) {
  size_t dot = ExtensionStart(path);
  return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string ChangeExtension(std::string_view path, std::string_view extension) {
  size_t dot = ExtensionStart(path);
  std::string stem(dot == std::string_view::npos ? path : path.substr(0, dot));
  return stem + std::string(extension);
}

}  // namespace koravel
