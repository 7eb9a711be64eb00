// What reading a large CIF must cost at least, whatever the parser does: the
// same file read in the same blocks as Koravel reads it, doing less and less
// of Koravel's work. Timed beside Koravel and `wc -l` by run_benchmarks.sh.
//
//   koravel_read_floor read|append|crlf FILE
//
// read    reads the file and finds each line end, keeping nothing (about what
//         `wc -l` does);
// append  also appends every byte to one string with room reserved for all
//         of them, as a parser that keeps a large text field must;
// crlf    appends line by line with CR LF line ends instead, which is what a
//         CIF text field holds: one search and one copy per line, the work
//         of Koravel's loop for text with LF line ends.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "cif/cif_line_reader.h"

namespace {

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: koravel_read_floor read|append|crlf FILE\n", stdout);
    return 1;
  }
  const std::string_view mode = argv[1];
  std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(argv[2], "rb"));
  if (!file) {
    std::printf("cannot open %s\n", argv[2]);
    return 2;
  }
  std::fseek(file.get(), 0, SEEK_END);
  const long size = std::ftell(file.get());
  std::rewind(file.get());
  std::string kept;
  if (mode != "read") kept.reserve(static_cast<std::size_t>(size) + static_cast<std::size_t>(size) / 8);
  std::unique_ptr<char[]> block(new char[koravel::kCifReadBlock]);
  std::size_t lines = 0;
  std::size_t carried = 0;  // bytes of an unfinished line kept from the last block
  for (;;) {
    const std::size_t n =
        std::fread(block.get() + carried, 1, koravel::kCifReadBlock - carried, file.get());
    if (n == 0) break;
    const char* p = block.get();
    const char* const end = p + carried + n;
    while (const void* hit = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
      const char* lf = static_cast<const char*>(hit);
      if (mode == "crlf") {
        kept.append(p, static_cast<std::size_t>(lf - p));
        kept += '\r';
        kept += '\n';
      }
      ++lines;
      p = lf + 1;
    }
    if (mode == "append") kept.append(block.get(), static_cast<std::size_t>(p - block.get()));
    carried = static_cast<std::size_t>(end - p);
    std::memmove(block.get(), p, carried);
    if (carried == koravel::kCifReadBlock) carried = 0;  // a line longer than a block is dropped
  }
  std::printf("%zu lines, %zu bytes kept\n", lines, kept.size());
  return 0;
}
