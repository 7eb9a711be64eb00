#include "report/output.h"


namespace koravel {

namespace {

// Files are opened in text mode, so every line ends with the platform's line
// ending (CR LF on Windows).
bool PutLine(std::FILE* file, std::string_view line) {
  if (!line.empty() && std::fwrite(line.data(), 1, line.size(), file) != line.size())
    return false;
  return std::fputc('\n', file) != EOF;
}

// The page as written, in text mode like every output (CR LF on Windows).
bool WritePage(const std::string& page, const std::string& fileName) {
  TFilePtr file = OpenFile(fileName, "w");
  if (!file) return false;
  const bool ok = std::fwrite(page.data(), 1, page.size(), file.get()) == page.size();
  return std::fclose(file.release()) == 0 && ok;
}

[[noreturn]] void InputOfRun(const std::string& name) {
  Fail("cannot write output file: " + name + " (it is an input file of this run)");
}

}  // namespace

void TOutput::WriteConsole(std::string_view line) { PutLine(Console_, line); }

void TOutput::WriteLine(std::string_view line) { WriteRow(line, {}, false); }

void TOutput::WriteRow(std::string_view line, const std::vector<std::string>& cells, bool head) {
  if (!Capturing_) {
    WriteConsole(line);
    return;
  }
  Lines_.push_back({std::string(line), cells, head});
  if (OutFile_ && !PutLine(OutFile_.get(), line)) OutFileFailed_ = true;
}

void TOutput::AddFigures(std::string figures) {
  Figures_ = std::move(figures);
  FiguresAt_ = Lines_.size();
}

bool TOutput::IsInput(const std::string& name) const {
  if (name.empty()) return false;
  for (const std::string& input : Inputs_)
    if (SameFile(name, input)) return true;
  return false;
}

void TOutput::WriteError(const TError& error) {
  if (!Started_ && !ErrorPage_.empty() && !IsInput(ErrorPage_)) {
    HtmlName_ = ErrorPage_;
    Capturing_ = true;
  }
  for (const std::string& line : ErrorBlock(error)) {
    ErrorLines_.push_back(line);
    WriteLine(line);
  }
}

void TOutput::Start(const TOutputOptions& options) {
  Started_ = true;
  if (options.OutFile.empty() && options.HtmlFile.empty() && !options.Brief) return;
  const bool outIsInput = IsInput(options.OutFile);
  const bool htmlIsInput = IsInput(options.HtmlFile);
  if (htmlIsInput && !outIsInput) InputOfRun(options.HtmlFile);
  if (!htmlIsInput) HtmlName_ = options.HtmlFile;
  Brief_ = options.Brief;
  Capturing_ = true;
  if (outIsInput) InputOfRun(options.OutFile);
  if (!options.OutFile.empty()) {
    OutName_ = options.OutFile;
    OutFile_ = OpenFile(OutName_, "w");
    if (!OutFile_) Fail("cannot write output file: " + OutName_);
  }
}

std::string TOutput::Finish(const std::string& briefLine) {
  if (!Capturing_) return "";
  Capturing_ = false;
  std::string failure;
  if (OutFile_) {
    if (std::fclose(OutFile_.release()) != 0) OutFileFailed_ = true;
    if (OutFileFailed_) failure = "cannot write output file: " + OutName_;
  }
  if (!HtmlName_.empty() && !WritePage(RunPage(Lines_, Figures_, FiguresAt_), HtmlName_))
    return "cannot write HTML file: " + HtmlName_;
  if (!Brief_)
    for (const TPageLine& line : Lines_) WriteConsole(line.Text);
  else if (!briefLine.empty())
    WriteConsole(briefLine);
  else
    for (const std::string& line : ErrorLines_) WriteConsole(line);
  return failure;
}

}  // namespace koravel
