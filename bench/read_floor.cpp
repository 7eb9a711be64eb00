// What reading a large CIF must cost at least, whatever the parser does: the
// file read in blocks of 256 KiB, doing parts of the work of a reader that
// keeps the text of its fields. Timed beside Koravel and `wc -l` by
// run_benchmarks.sh.
//
//   koravel_read_floor read|lines|append|crlf FILE
//
// read    reads the file block by block and keeps nothing;
// lines   also finds each line end, one search per line, as a reader must
//         that turns every line end of a text field into CR LF;
// append  reads and appends every block to one string with room reserved
//         for all of it, as a parser that keeps a large text field must;
// crlf    does both: appends line by line with CR LF line ends, which is
//         what a CIF text field holds (the work of Koravel's loop for text
//         with LF line ends).
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t kReadBlock = 256 * 1024;

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: koravel_read_floor read|lines|append|crlf FILE\n", stdout);
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
  const bool searchLines = mode == "lines" || mode == "crlf";
  if (mode == "append" || mode == "crlf") {
    const std::size_t bytes = static_cast<std::size_t>(size);
    kept.reserve(bytes + bytes / 8);
  }
  std::unique_ptr<char[]> block(new char[kReadBlock]);
  std::size_t lines = 0;
  std::size_t carried = 0;  // bytes of an unfinished line kept from the last block
  for (;;) {
    const std::size_t n =
        std::fread(block.get() + carried, 1, kReadBlock - carried, file.get());
    if (n == 0) break;
    const char* p = block.get();
    const char* const end = p + carried + n;
    if (!searchLines) {
      if (mode == "append") kept.append(p, static_cast<std::size_t>(end - p));
      continue;
    }
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
    carried = static_cast<std::size_t>(end - p);
    std::memmove(block.get(), p, carried);
    if (carried == kReadBlock) carried = 0;  // a line longer than a block is dropped
  }
  std::printf("%zu lines, %zu bytes kept\n", lines, kept.size());
  return 0;
}
