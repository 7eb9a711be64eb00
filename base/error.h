#pragma once
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

// Where in an input file a fault lies; no file: nowhere in particular.
struct TPlace {
  std::string_view File;
  long long Line = 0;
};

// A failure the user must be told about: the one way any step reports one.
// Steps throw it; the run driver alone catches it (a survey once per
// record), writes its lines as one error block ("Error: " before the first
// line, seven blanks before each further one), finishes its output and ends
// with status 2, so no step ends the process on its own.
class TError : public std::runtime_error {
 public:
  explicit TError(std::vector<std::string> lines);
  explicit TError(std::string line);
  // An error at a line of an input file: "x.cif, line 118: <message>"; the
  // message alone where the place names no file.
  TError(const TPlace& place, std::string message);

  const std::vector<std::string>& Lines() const { return Lines_; }

 private:
  std::vector<std::string> Lines_;
};

[[noreturn]] void Fail(std::string line);
[[noreturn]] void Fail(std::vector<std::string> lines);

// The error block as the run writes it.
std::vector<std::string> ErrorBlock(const TError& error);

}  // namespace koravel
