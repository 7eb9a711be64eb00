#pragma once
#include <cstdio>

#include "app/command_line.h"

namespace koravel {

// Exit statuses of a run.
constexpr int kExitSuccess = 0;
constexpr int kExitUsage = 1;         // help printed: too few arguments
constexpr int kExitError = 2;         // an "Error: " line was written
constexpr int kExitUnexpected = 217;  // a failure no step reports itself

// One whole run of the program on its arguments (the program name excluded);
// every line goes to `console` or to the outputs the options ask for.
// Returns the exit status.
int RunKoravel(const TArguments& args, std::FILE* console);

}  // namespace koravel
