#pragma once
#include <stdexcept>
#include <string>

namespace koravel {

// A failure the user must be told about: the run writes "Error: " + what(),
// finishes its output and ends with status 2. Continuation lines of a
// multi-line message begin with seven blanks.
struct TFatalError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The single error path of a run: raises TFatalError, which the run driver
// turns into the "Error: " line and exit status 2. Readers and fuzzers can
// catch it, so no reader ends the process on its own.
[[noreturn]] void Fatal(const std::string& message);

}  // namespace koravel
