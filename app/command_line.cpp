#include "app/command_line.h"

#include "base/numbers.h"
#include "base/text.h"

namespace koravel {

namespace {

size_t SkipProgramName(std::string_view raw) {
  size_t pos = 0;
  while (pos < raw.size() && IsBlank(raw[pos])) ++pos;
  if (pos < raw.size() && raw[pos] == '"') {
    size_t close = raw.find('"', pos + 1);
    pos = close == std::string_view::npos ? raw.size() : close + 1;
  }
  while (pos < raw.size() && !IsBlank(raw[pos])) ++pos;
  return pos;
}

// The options with a value also have a bare form without the dashes
// (tol=0.5): Olex2's exec takes an argument -name=value, and a bare
// name=value whose value holds a function call or a blank, as an option of
// its own, and stops at one it does not know.
const char* const kBareForms[] = {"tol=", "occ=", "max=", "block=", "out=", "html=", "xyznames="};

double NumberOption(const std::string& text, const std::string& optionName) {
  double value = 0;
  if (!ParseNumber(text, value)) Fail("invalid value for " + optionName + ": " + text);
  return value;
}

TXyzNaming XyzNamingOption(const std::string& value) {
  if (SameText(value, "olex")) return xnOlex;
  if (SameText(value, "position")) return xnPosition;
  if (SameText(value, "element")) return xnElement;
  Fail("invalid value for --xyznames: " + value + " (olex, position or element)");
}

// Reads one option into `o`; false when the argument is none.
bool ReadOption(const std::string& arg, TRunOptions& o) {
  if (StartsWith(arg, "--tol=")) o.Tolerance = NumberOption(arg.substr(6), "--tol");
  else if (StartsWith(arg, "--occ=")) o.MinOccupancy = NumberOption(arg.substr(6), "--occ");
  else if (StartsWith(arg, "--max=")) o.MaxRadius = NumberOption(arg.substr(6), "--max");
  else if (StartsWith(arg, "--block=")) o.BlockName = arg.substr(8);
  else if (StartsWith(arg, "--out=")) o.Output.OutFile = arg.substr(6);
  else if (StartsWith(arg, "--html=")) o.Output.HtmlFile = arg.substr(7);
  else if (StartsWith(arg, "--xyznames=")) o.XyzNaming = XyzNamingOption(arg.substr(11));
  else if (arg == "--brief") o.Output.Brief = true;
  else if (arg == "--calc") o.CalcOnly = true;
  else if (StartsWith(arg, "--")) Fail("unknown option: " + arg);
  else return false;
  return true;
}

// After an error only the HTML page matters: for a program started from
// Olex2 it is the one place where the user can read the message. The --out
// file is not written for a command line that is wrong.
void ReadHtmlOption(const std::string& arg, TRunOptions& o) {
  if (StartsWith(arg, "--html=")) o.Output.HtmlFile = arg.substr(7);
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view raw, bool skipProgramName) {
  std::vector<std::string> args;
  size_t pos = skipProgramName ? SkipProgramName(raw) : 0;
  std::string current;
  bool started = false;
  bool quoted = false;
  while (pos < raw.size()) {
    char c = raw[pos];
    if (IsBlank(c) && !quoted) {
      if (started) args.push_back(current);
      current.clear();
      started = false;
      ++pos;
      continue;
    }
    started = true;
    if (c == '\\') {
      size_t run = 0;
      while (pos < raw.size() && raw[pos] == '\\') {
        ++run;
        ++pos;
      }
      if (pos < raw.size() && raw[pos] == '"') {
        current.append(run / 2, '\\');
        if (run % 2 == 1) {
          current += '"';
          ++pos;
        }
      } else {
        current.append(run, '\\');
      }
    } else if (c == '"' && quoted) {
      if (pos + 1 < raw.size() && raw[pos + 1] == '"') {
        current += '"';
        pos += 2;
      } else {
        quoted = false;
        ++pos;
      }
    } else if (c == '"') {
      bool endsWord = pos + 1 >= raw.size() || IsBlank(raw[pos + 1]);
      if (!current.empty() && endsWord)
        current += '"';  // a SHELX label such as Mg"
      else
        quoted = true;
      ++pos;
    } else {
      current += c;
      ++pos;
    }
  }
  if (started) args.push_back(current);
  return args;
}

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine cl;
  for (const std::string& original : args) {
    std::string arg = original;
    for (const char* bare : kBareForms)
      if (StartsWith(arg, bare)) {
        arg = "--" + arg;
        break;
      }
    if (cl.Error) {
      ReadHtmlOption(arg, cl.Options);
      continue;
    }
    if (arg == "--help" || arg == "-h" || arg == "/?") {
      cl.Help = true;
      continue;
    }
    try {
      if (!ReadOption(arg, cl.Options)) cl.Positional.push_back(arg);
    } catch (const TError& error) {
      if (!cl.Help) cl.Error = error;
    }
  }
  if (cl.Error) cl.Options.Output = TOutputOptions{{}, cl.Options.Output.HtmlFile, false};
  return cl;
}

}  // namespace koravel
