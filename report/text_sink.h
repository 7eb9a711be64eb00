#pragma once
#include <string_view>

namespace koravel {

// Where the report's lines go: the console, a capture, or a test's collector.
class TTextSink {
 public:
  virtual ~TTextSink() = default;
  virtual void WriteLine(std::string_view line) = 0;
};

}  // namespace koravel
