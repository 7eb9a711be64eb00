#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/file.h"
#include "report/page.h"
#include "report/text_sink.h"

namespace koravel {

// Where a run's report goes besides the console.
struct TOutputOptions {
  std::string OutFile;   // empty: no text file
  std::string HtmlFile;  // empty: no HTML page
  bool Brief = false;    // the console shows the one-line result only
};

// The one writer of the run's lines. By default every line goes straight to
// the console. With --out, --html or --brief the lines are captured instead
// (in memory, and into the --out file as they come) and copied to the console
// at the end: all of them, the brief line alone, or only the error block.
class TOutput : public TTextSink {
 public:
  // `errorPage` is the page that shows an error that comes before Start (a
  // wrong command line), unless it is one of `inputs`, the files the run reads.
  TOutput(std::FILE* console, std::string errorPage, std::vector<std::string> inputs)
      : Console_(console), ErrorPage_(std::move(errorPage)), Inputs_(std::move(inputs)) {}

  void WriteLine(std::string_view line) override;
  void WriteRow(std::string_view line, const std::vector<std::string>& cells, bool head) override;

  // The figures of the page (HTML with inline SVG), placed before the lines
  // that follow.
  void AddFigures(std::string figures);

  // Starts the capture the options ask for. An output file that is an input
  // of the run is never opened: a page that would be one is not written at
  // all, while the other outputs still take the error. Throws TError when a
  // file must not or cannot be written.
  void Start(const TOutputOptions& options);

  // The error block of a failed run.
  void WriteError(const TError& error);

  // Ends the capture: writes the HTML page, copies the lines to the console
  // and closes the --out file. Returns "" or the description of a failure to
  // write a file (an unexpected failure). `briefLine` is empty for a run
  // that ended before its result.
  std::string Finish(const std::string& briefLine);

 private:
  void WriteConsole(std::string_view line);
  bool IsInput(const std::string& name) const;

  std::FILE* Console_;
  std::string ErrorPage_;
  std::vector<std::string> Inputs_;
  bool Started_ = false;
  bool Capturing_ = false;
  bool Brief_ = false;
  std::vector<TPageLine> Lines_;
  std::string Figures_;
  size_t FiguresAt_ = 0;
  std::vector<std::string> ErrorLines_;
  TFilePtr OutFile_;
  bool OutFileFailed_ = false;
  std::string OutName_;
  std::string HtmlName_;
};

}  // namespace koravel
