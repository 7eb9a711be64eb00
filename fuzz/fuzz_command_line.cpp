// The raw command-line splitter, then the option loop on what it yields.
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz/fuzz_support.h"

using namespace koravel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view raw = fuzz::AsText(data, size);
  for (bool skipProgramName : {true, false}) {
    std::vector<std::string> args;
    SplitCommandLine(raw, skipProgramName, args);
    std::size_t total = 0;
    for (const std::string& a : args) total += a.size();
    if (total > raw.size()) fuzz::Broken();  // splitting never adds characters
    TRunOptions options;
    std::vector<std::string> positional;
    fuzz::Survives([&] { ParseOptions(args, options, positional); });
    if (positional.size() > args.size()) fuzz::Broken();
  }
  return 0;
}
