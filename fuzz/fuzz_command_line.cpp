// The raw command-line splitter, then the option reading on what it yields.
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz/fuzz_support.h"

using namespace koravel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view raw = fuzz::AsText(data, size);
  for (bool skipProgramName : {true, false}) {
    const TArguments args = SplitCommandLine(raw, skipProgramName);
    std::size_t total = 0;
    for (const std::string& a : args.List) total += a.size();
    if (total > raw.size()) fuzz::Broken();  // splitting never adds characters
    TCommandLine cl;
    const bool read = fuzz::Survives([&] { cl = ParseCommandLine(args); });
    if (cl.Positional.size() > args.List.size()) fuzz::Broken();
    if (args.AmbiguousQuotes && read) fuzz::Broken();
  }
  return 0;
}
