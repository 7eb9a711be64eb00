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

[[noreturn]] void InputOfRun(const std::string& name) {
  Fail("cannot write output file: " + name + " (it is an input file of this run)");
}

}  // namespace

void TOutput::WriteConsole(std::string_view line) { PutLine(Console_, line); }

void TOutput::WriteLine(std::string_view line) {
  if (!Capturing_) {
    WriteConsole(line);
    return;
  }
  Lines_.emplace_back(line);
  if (OutFile_ && !PutLine(OutFile_.get(), line)) OutFileFailed_ = true;
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
  if (!HtmlName_.empty() && !WriteHtml(Lines_, HtmlName_))
    return "cannot write HTML file: " + HtmlName_;
  if (!Brief_)
    for (const std::string& line : Lines_) WriteConsole(line);
  else if (!briefLine.empty())
    WriteConsole(briefLine);
  else
    for (const std::string& line : ErrorLines_) WriteConsole(line);
  return failure;
}

std::string EscapeHtml(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (char c : line) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

bool WriteHtml(const std::vector<std::string>& lines, const std::string& fileName) {
  TFilePtr file = OpenFile(fileName, "w");
  if (!file) return false;
  bool ok = PutLine(file.get(), "<html><head><meta charset=\"utf-8\"><title>Koravel</title>") &&
            PutLine(file.get(),
                    "<style>body{font-family:sans-serif;font-size:9pt;margin:8px;}"
                    "pre{font-family:Consolas,monospace;font-size:9pt;}</style></head><body>") &&
            PutLine(file.get(), "<pre>");
  for (size_t i = 0; ok && i < lines.size(); ++i) ok = PutLine(file.get(), EscapeHtml(lines[i]));
  ok = ok && PutLine(file.get(), "</pre></body></html>");
  if (std::fclose(file.release()) != 0) ok = false;
  return ok;
}

}  // namespace koravel
