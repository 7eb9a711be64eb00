#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_options.h"
#include "geom/text_sink.h"

namespace koravel {

// The one writer of the run's lines. By default every line goes straight to
// the console. With --out, --html or --brief the lines are captured instead
// (in memory, and into the --out file as they come) and copied to the console
// at the end: all of them, the brief line alone, or only the error lines.
class TOutput : public TTextSink {
 public:
  explicit TOutput(std::FILE* console) : console_(console) {}
  TOutput(const TOutput&) = delete;
  TOutput& operator=(const TOutput&) = delete;
  ~TOutput() override;

  void WriteLine(std::string_view line) override;

  // Starts the capture when an output option is given. False when the --out
  // file cannot be created; the error line has then gone to the console.
  bool StartOutput(const TRunOptions& options);

  // Ends the capture: writes the HTML page, copies the lines to the console
  // and closes the --out file. Does nothing when not capturing. Returns ""
  // or the description of a failure to write a file (an unexpected failure).
  std::string FinishOutput(const std::string& briefLine);

  bool Capturing() const { return capturing_; }

 private:
  void WriteConsole(std::string_view line);
  void CopyToConsole(const std::string& briefLine);

  std::FILE* console_;
  bool capturing_ = false;
  std::vector<std::string> lines_;
  std::FILE* outFile_ = nullptr;
  bool outFileFailed_ = false;
  std::string outName_;
  std::string htmlName_;
  bool brief_ = false;
};

// Writes the captured lines as a small HTML page; false when the file cannot
// be written.
bool WriteHtml(const std::vector<std::string>& lines, const std::string& fileName);

// "&", "<" and ">" as HTML entities, the ampersand first.
std::string EscapeHtml(std::string_view line);

}  // namespace koravel
