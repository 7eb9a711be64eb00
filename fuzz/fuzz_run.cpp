// A whole run of the program on one input file. The fuzz input is
//   <kind letter: c, r, i or x><arguments after the file name>\n<file bytes>
// and, for SHELX input, optionally "\n@@mat\n" followed by the bytes of a
// matrix file of the same stem. The files are written into a private
// directory; --out= and --html= (and --out or --html with the file as the
// next argument) are dropped so that the run writes nothing,
// and both files must hold the same bytes after the run. A survey of a file
// over 16 kB is not run.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/run.h"
#include "app/survey.h"
#include "fuzz/fuzz_support.h"

using namespace koravel;

namespace {

struct TScratch {
  std::filesystem::path Dir;
  std::FILE* Console = nullptr;

  TScratch() {
    Dir = std::filesystem::temp_directory_path() /
          ("koravel_fuzz_run_" + std::to_string(static_cast<long>(getpid())));
    std::filesystem::create_directories(Dir);
    Console = std::fopen("/dev/null", "w");
  }
  ~TScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(Dir, ignored);
  }
};

TScratch& Scratch() {
  static TScratch scratch;
  return scratch;
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(),
                                                               static_cast<long>(bytes.size()));
}

bool HoldsBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return content == bytes;
}

const char* Extension(char kind) {
  switch (kind) {
    case 'c': return ".cif";
    case 'r': return ".res";
    case 'i': return ".ins";
    case 'x': return ".xyz";
    default: {
      static const char* const kAll[] = {".cif", ".res", ".ins", ".xyz"};
      return kAll[static_cast<unsigned char>(kind) % 4];
    }
  }
}

constexpr std::size_t kMaxSurveyBytes = 16384;

bool WritesFiles(const std::string& arg) {
  return arg.find("out=") != std::string::npos || arg.find("html=") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  TScratch& scratch = Scratch();
  std::string_view text = fuzz::AsText(data, size);
  const char* ext = Extension(text[0]);
  text.remove_prefix(1);
  const std::size_t lineEnd = text.find('\n');
  const std::string_view argLine = text.substr(0, lineEnd);
  std::string_view body = lineEnd == std::string_view::npos ? "" : text.substr(lineEnd + 1);
  std::string_view matBody;
  bool hasMat = false;
  const std::size_t mark = body.find("\n@@mat\n");
  if (mark != std::string_view::npos) {
    matBody = body.substr(mark + 7);
    body = body.substr(0, mark);
    hasMat = true;
  }

  // A survey analyses every centre of the file: a crowded file of 40 kB
  // holds hundreds of centres with up to twelve ligands, twenty seconds and
  // more of sound work under the sanitizers. The survey's own code
  // (records, formats, summary) needs no large file; the readers and the
  // single run see those.
  if (argLine.find("--survey") != std::string_view::npos && body.size() > kMaxSurveyBytes) return 0;

  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.Dir, ignored))
    std::filesystem::remove_all(entry.path(), ignored);
  const std::filesystem::path input = scratch.Dir / (std::string("in") + ext);
  WriteFile(input, body);
  if (hasMat) WriteFile(scratch.Dir / "in.mat", matBody);

  TArguments args{{input.string()}, false};
  TArguments split = SplitCommandLine(argLine, false);
  for (size_t i = 0; i < split.List.size(); ++i) {
    std::string& a = split.List[i];
    // An output option takes its file from the next argument as well
    // (--html page.html): both are dropped.
    if (a == "--out" || a == "--html") {
      ++i;
      continue;
    }
    if (!WritesFiles(a)) args.List.push_back(std::move(a));
  }
  args.AmbiguousQuotes = split.AmbiguousQuotes;

  // A --survey among the arguments ends with kExitSomeFailed when a record
  // failed (the words after the file name are files it cannot find).
  const int status = RunKoravel(args, scratch.Console);
  if (status != kExitSuccess && status != kExitUsage && status != kExitError &&
      status != kExitSomeFailed)
    fuzz::Broken();
  // A run only reads its inputs.
  if (!HoldsBytes(input, body)) fuzz::Broken();
  if (hasMat && !HoldsBytes(scratch.Dir / "in.mat", matBody)) fuzz::Broken();
  return 0;
}
