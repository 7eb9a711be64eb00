#include "app/command_line.h"

#include "geom/fatal.h"
#include "geom/number_text.h"
#include "geom/text.h"

namespace koravel {

namespace {

bool IsBlank(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

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

}  // namespace

void SplitCommandLine(std::string_view raw, bool skipProgramName,
                      std::vector<std::string>& args) {
  args.clear();
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
}

double ParseFloatOption(const std::string& text, const std::string& optionName) {
  double value = 0;
  if (!ParseNumber(text, value)) Fatal("invalid value for " + optionName + ": " + text);
  return value;
}

TOptionOutcome ParseOptions(const std::vector<std::string>& args, TRunOptions& options,
                            std::vector<std::string>& positional) {
  // Olex2's exec claims every argument that starts with "-" as its own option,
  // so the options with a value also have a form without the dashes.
  static const char* const kBareForms[] = {"tol=",  "occ=",  "max=",     "block=",
                                           "out=",  "html=", "xyznames="};
  positional.clear();
  for (const std::string& original : args) {
    std::string arg = original;
    for (const char* bare : kBareForms) {
      if (StartsWith(arg, bare)) {
        arg = "--" + arg;
        break;
      }
    }
    if (arg == "--help" || arg == "-h" || arg == "/?") return TOptionOutcome::Help;
    if (StartsWith(arg, "--tol=")) {
      options.Tolerance = ParseFloatOption(arg.substr(6), "--tol");
    } else if (StartsWith(arg, "--occ=")) {
      options.MinOccupancy = ParseFloatOption(arg.substr(6), "--occ");
    } else if (StartsWith(arg, "--max=")) {
      options.MaxRadius = ParseFloatOption(arg.substr(6), "--max");
    } else if (StartsWith(arg, "--block=")) {
      options.BlockName = arg.substr(8);
    } else if (StartsWith(arg, "--out=")) {
      options.OutFile = arg.substr(6);
    } else if (StartsWith(arg, "--html=")) {
      options.HtmlFile = arg.substr(7);
    } else if (StartsWith(arg, "--xyznames=")) {
      std::string value = arg.substr(11);
      if (SameText(value, "olex"))
        options.XyzNaming = xnOlex;
      else if (SameText(value, "position"))
        options.XyzNaming = xnPosition;
      else if (SameText(value, "element"))
        options.XyzNaming = xnElement;
      else
        Fatal("invalid value for --xyznames: " + value + " (olex, position or element)");
    } else if (arg == "--brief") {
      options.Brief = true;
    } else if (arg == "--calc") {
      options.CalcOnly = true;
    } else if (StartsWith(arg, "--")) {
      Fatal("unknown option: " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  return TOptionOutcome::Run;
}

}  // namespace koravel
