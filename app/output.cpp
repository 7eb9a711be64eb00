#include "app/output.h"

namespace koravel {

namespace {

// Continuation lines of a multi-line error message start with seven blanks.
constexpr std::string_view kContinuation = "       ";

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// Files are opened in text mode, so every line ends with the platform's line
// ending (CR LF on Windows).
bool PutLine(std::FILE* file, std::string_view line) {
  if (!line.empty() && std::fwrite(line.data(), 1, line.size(), file) != line.size())
    return false;
  return std::fputc('\n', file) != EOF;
}

}  // namespace

TOutput::~TOutput() {
  if (outFile_ != nullptr) std::fclose(outFile_);
}

void TOutput::WriteConsole(std::string_view line) { PutLine(console_, line); }

void TOutput::WriteLine(std::string_view line) {
  if (!capturing_) {
    WriteConsole(line);
    return;
  }
  lines_.emplace_back(line);
  if (outFile_ != nullptr && !PutLine(outFile_, line)) outFileFailed_ = true;
}

bool TOutput::StartOutput(const TRunOptions& options) {
  if (options.OutFile.empty() && options.HtmlFile.empty() && !options.Brief) return true;
  outName_ = options.OutFile;
  htmlName_ = options.HtmlFile;
  brief_ = options.Brief;
  if (!outName_.empty()) {
    outFile_ = std::fopen(outName_.c_str(), "w");
    if (outFile_ == nullptr) {
      WriteConsole("Error: cannot write output file: " + outName_);
      return false;
    }
  }
  capturing_ = true;
  return true;
}

void TOutput::CopyToConsole(const std::string& briefLine) {
  if (!brief_) {
    for (const std::string& line : lines_) WriteConsole(line);
    return;
  }
  if (!briefLine.empty()) {
    WriteConsole(briefLine);
    return;
  }
  // The run ended before its result: show only the error message.
  bool inError = false;
  for (const std::string& line : lines_) {
    if (StartsWith(line, "Error:"))
      inError = true;
    else if (!inError || !StartsWith(line, kContinuation))
      inError = false;
    if (inError) WriteConsole(line);
  }
}

std::string TOutput::FinishOutput(const std::string& briefLine) {
  if (!capturing_) return "";
  capturing_ = false;
  std::string failure;
  if (outFile_ != nullptr) {
    if (std::fclose(outFile_) != 0) outFileFailed_ = true;
    outFile_ = nullptr;
    if (outFileFailed_) failure = "cannot write output file: " + outName_;
  }
  if (!htmlName_.empty() && !WriteHtml(lines_, htmlName_)) {
    lines_.clear();
    return "cannot write HTML file: " + htmlName_;
  }
  CopyToConsole(briefLine);
  lines_.clear();
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
  std::FILE* file = std::fopen(fileName.c_str(), "w");
  if (file == nullptr) return false;
  bool ok = PutLine(file, "<html><head><meta charset=\"utf-8\"><title>Koravel</title>") &&
            PutLine(file,
                    "<style>body{font-family:sans-serif;font-size:9pt;margin:8px;}"
                    "pre{font-family:Consolas,monospace;font-size:9pt;}</style></head><body>") &&
            PutLine(file, "<pre>");
  for (size_t i = 0; ok && i < lines.size(); ++i) ok = PutLine(file, EscapeHtml(lines[i]));
  ok = ok && PutLine(file, "</pre></body></html>");
  if (std::fclose(file) != 0) ok = false;
  return ok;
}

}  // namespace koravel
