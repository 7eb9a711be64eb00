#include <cstdio>
#include <string>
#include <vector>

#include "app/run.h"

#ifdef _WIN32
#include <windows.h>

#include "app/command_line.h"
#include "base/encoding.h"
#endif

int main(int argc, char** argv) {
  koravel::TArguments args;
#ifdef _WIN32
  // Olex2 passes SHELX labels such as Mg" unquoted; the C runtime's own
  // splitting would swallow that quote, so the raw command line is split
  // here. It is read as UTF-16, so that a folder name such as Müller
  // arrives whatever the console's code page.
  (void)argc;
  (void)argv;
  args = koravel::SplitCommandLine(koravel::Utf8FromWide(GetCommandLineW()), true);
#else
  for (int i = 1; i < argc; ++i) args.List.emplace_back(argv[i]);
#endif
  int status = koravel::RunKoravel(args, stdout);
  // A report that could not be written completely is no success.
  if (std::fflush(stdout) != 0 && status == koravel::kExitSuccess)
    status = koravel::kExitUnexpected;
  return status;
}
