#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

// Where the report's lines go: the console, a capture, or a test's collector.
// A line of a table comes with its cells as well (`head`: the table's column
// names), so that a page can show the table as a table; the console takes
// the line as it is.
class TTextSink {
 public:
  virtual ~TTextSink() = default;
  virtual void WriteLine(std::string_view line) = 0;
  virtual void WriteRow(std::string_view line, const std::vector<std::string>& /*cells*/, bool /*head*/ = false) {
    WriteLine(line);
  }
};

}  // namespace koravel
