#include "base/error.h"

namespace koravel {

namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

}  // namespace

TError::TError(std::vector<std::string> lines)
    : std::runtime_error(Joined(lines)), Lines_(std::move(lines)) {
  if (Lines_.empty()) Lines_.emplace_back();
}

TError::TError(std::string line) : TError(std::vector<std::string>{std::move(line)}) {}

TError::TError(const TPlace& place, std::string message)
    : TError(place.File.empty() ? std::move(message)
                                : std::string(place.File) + ", line " + std::to_string(place.Line) +
                                      ": " + message) {}

void Fail(std::string line) { throw TError(std::move(line)); }

void Fail(std::vector<std::string> lines) { throw TError(std::move(lines)); }

std::vector<std::string> ErrorBlock(const TError& error) {
  std::vector<std::string> block;
  for (const std::string& line : error.Lines()) {
    std::string text = block.empty() ? "Error: " : "       ";
    text += line;
    block.push_back(std::move(text));
  }
  return block;
}

}  // namespace koravel
