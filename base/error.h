#pragma once
#include <stdexcept>
#include <string>
#include <vector>

namespace koravel {

// A failure the user must be told about. The run writes its lines as one
// error block ("Error: " before the first line, seven blanks before each
// further one), finishes its output and ends with status 2. Readers and
// steps throw it; the run driver alone catches it, so no reader ends the
// process on its own and a survey can go on with the next file.
class TError : public std::runtime_error {
 public:
  explicit TError(std::vector<std::string> lines);
  explicit TError(std::string line);

  const std::vector<std::string>& Lines() const { return Lines_; }

 private:
  std::vector<std::string> Lines_;
};

[[noreturn]] void Fail(std::string line);
[[noreturn]] void Fail(std::vector<std::string> lines);

// The error block as the run writes it.
std::vector<std::string> ErrorBlock(const TError& error);

}  // namespace koravel
