#include "app/command_line.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/numbers.h"
#include "base/text.h"
#include "crystal/elements.h"

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

// The options that take a value, without their dashes. Each is written
// --name=value or --name value, and also in a bare form without the dashes
// (tol=0.5): Olex2's exec takes an argument -name=value, and a bare
// name=value whose value holds a function call or a blank, as an option of
// its own, and stops at one it does not know.
const char* const kValueOptions[] = {"tol",     "occ",    "max",     "block",   "out",      "html",
                                     "mc",      "centres", "format", "threads", "xyznames", "sphere",
                                     "bvparm"};
const char* const kFlagOptions[] = {"survey", "brief", "calc", "help", "version"};

bool IsValueOption(std::string_view dashed) {
  return StartsWith(dashed, "--") && std::any_of(std::begin(kValueOptions), std::end(kValueOptions),
                                                 [&](const char* name) { return dashed.substr(2) == name; });
}

bool IsBareForm(std::string_view word) {
  for (const char* name : kValueOptions)
    if (StartsWith(word, name) && word.size() > std::strlen(name) && word[std::strlen(name)] == '=')
      return true;
  return false;
}

// A single-dash argument (-tol=0.5, -brief) that two dashes would make an
// option of the program.
bool IsOptionWithOneDash(std::string_view word) {
  if (word.size() < 2 || word[0] != '-' || word[1] == '-') return false;
  const std::string_view name = word.substr(1, word.find('=') - 1);
  auto named = [&](const char* option) { return name == option; };
  return std::any_of(std::begin(kValueOptions), std::end(kValueOptions), named) ||
         std::any_of(std::begin(kFlagOptions), std::end(kFlagOptions), named);
}

// A Monte Carlo check needs enough draws to say anything, and must end in
// reasonable time.
constexpr long long kMinDraws = 100;
constexpr long long kMaxDraws = 10000000;

double NumberOption(const std::string& text, const std::string& optionName) {
  double value = 0;
  if (!ParseNumber(text, value)) Fail("invalid value for " + optionName + ": " + text);
  return value;
}

long long DrawsOption(const std::string& text) {
  long long draws = 0;
  if (!ParseInteger(text, draws) || draws < kMinDraws || draws > kMaxDraws)
    Fail("invalid value for --mc: " + text + " (a number of draws from " +
         std::to_string(kMinDraws) + " to " + std::to_string(kMaxDraws) + ")");
  return draws;
}

TSurveyFormat FormatOption(const std::string& value) {
  if (value == "csv") return TSurveyFormat::Csv;
  if (value == "csv-wide") return TSurveyFormat::CsvWide;
  if (value == "json") return TSurveyFormat::Json;
  if (value == "html") return TSurveyFormat::Html;
  Fail("invalid value for --format: " + value + " (csv, csv-wide, json or html)");
}

std::string CentresOption(const std::string& value) {
  if (value == "metals" || value == "all") return value;
  const auto symbols = SplitFields(value, [](char c) { return c == ','; });
  if (symbols.empty() || !std::all_of(symbols.begin(), symbols.end(), IsElement))
    Fail("invalid value for --centres: " + value + " (metals, all or element symbols such as Cu,Zn)");
  return value;
}

int ThreadsOption(const std::string& text) {
  long long threads = 0;
  if (!ParseInteger(text, threads) || threads < 1 || threads > 256)
    Fail("invalid value for --threads: " + text + " (1 to 256)");
  return static_cast<int>(threads);
}

TXyzNaming XyzNamingOption(const std::string& value) {
  if (SameText(value, "olex")) return xnOlex;
  if (SameText(value, "position")) return xnPosition;
  if (SameText(value, "element")) return xnElement;
  Fail("invalid value for --xyznames: " + value + " (olex, position or element)");
}

TSphereKind SphereOption(const std::string& value) {
  if (SameText(value, "chemical")) return TSphereKind::Chemical;
  if (SameText(value, "radii")) return TSphereKind::Radii;
  Fail("invalid value for --sphere: " + value + " (chemical or radii)");
}

// Whether a word is meant as an option rather than as a file, an atom or a
// value: a leading dash (not that of a negative number), or a bare form.
bool IsOptionWord(std::string_view word) {
  if (word == "/?" || IsBareForm(word)) return true;
  return word.size() > 1 && word[0] == '-' && !IsDigit(word[1]) && word[1] != '.';
}

// Reads one option (in its --name=value form) into `o`; false when the
// argument is none.
bool ReadOption(const std::string& arg, TRunOptions& o) {
  if (IsValueOption(arg)) Fail("missing value for " + arg);
  else if (StartsWith(arg, "--tol=")) o.Tolerance = NumberOption(arg.substr(6), "--tol");
  else if (StartsWith(arg, "--occ=")) o.MinOccupancy = NumberOption(arg.substr(6), "--occ");
  else if (StartsWith(arg, "--max=")) o.MaxRadius = NumberOption(arg.substr(6), "--max");
  else if (StartsWith(arg, "--block=")) o.BlockName = arg.substr(8);
  else if (StartsWith(arg, "--out=")) o.Output.OutFile = arg.substr(6);
  else if (StartsWith(arg, "--html=")) o.Output.HtmlFile = arg.substr(7);
  else if (StartsWith(arg, "--xyznames=")) o.XyzNaming = XyzNamingOption(arg.substr(11));
  else if (StartsWith(arg, "--sphere=")) o.Sphere = SphereOption(arg.substr(9));
  else if (StartsWith(arg, "--mc=")) o.McDraws = DrawsOption(arg.substr(5));
  else if (StartsWith(arg, "--bvparm=")) o.BondValenceFile = arg.substr(9);
  else if (arg == "--survey") o.Survey = true;
  else if (arg == "--resume") o.Resume = true;
  else if (StartsWith(arg, "--centres=")) o.Centres = CentresOption(arg.substr(10));
  else if (StartsWith(arg, "--format=")) o.Format = FormatOption(arg.substr(9));
  else if (StartsWith(arg, "--threads=")) o.Threads = ThreadsOption(arg.substr(10));
  else if (arg == "--brief") o.Output.Brief = true;
  else if (arg == "--calc") o.CalcOnly = true;
  else if (IsOptionWithOneDash(arg)) Fail("option with one dash: " + arg + " (write -" + arg + ")");
  else if (IsOptionWord(arg)) Fail("unknown option: " + arg);
  else return false;
  return true;
}

// Options after --help only say where the help goes; false for any other
// argument.
bool ReadOutputOption(const std::string& arg, TRunOptions& o) {
  if (StartsWith(arg, "--out=")) o.Output.OutFile = arg.substr(6);
  else if (StartsWith(arg, "--html=")) o.Output.HtmlFile = arg.substr(7);
  else if (arg == "--brief") o.Output.Brief = true;
  else return false;
  return true;
}

// An option's bare form (tol=0.5, as Olex2's exec passes it) with its dashes.
std::string WithDashes(const std::string& arg) { return IsBareForm(arg) ? "--" + arg : arg; }

// The arguments with every option in its --name=value form: a bare form gets
// its dashes, and an option that takes a value and stands alone takes the
// next argument, unless that is an option itself (then the value is missing).
std::vector<std::string> JoinedOptions(const std::vector<std::string>& list) {
  std::vector<std::string> joined;
  for (size_t i = 0; i < list.size(); ++i) {
    std::string arg = WithDashes(list[i]);
    if (IsValueOption(arg) && i + 1 < list.size() && !IsOptionWord(list[i + 1])) arg += "=" + list[++i];
    joined.push_back(std::move(arg));
  }
  return joined;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h" || arg == "/?"; }
bool IsVersion(const std::string& arg) { return arg == "--version" || arg == "-V"; }

}  // namespace

namespace {

// One word of a raw command line and how its quotes stood.
struct TWord {
  std::string Text;
  bool WholeQuoted = false;  // "...": opened by its first quote, closed by its last
  bool QuoteAtEnd = false;   // ends in a kept quote (Mg") or in an empty "" (O3"")
};

bool AtWordEnd(std::string_view raw, size_t pos) { return pos >= raw.size() || IsBlank(raw[pos]); }

std::vector<TWord> SplitWords(std::string_view raw, size_t pos) {
  std::vector<TWord> words;
  TWord word;
  bool started = false;
  bool quoted = false;
  size_t quoteOpenedAt = 0;   // text length when the quoted part opened
  bool quotedFromStart = false;
  while (pos < raw.size()) {
    const char c = raw[pos];
    if (IsBlank(c) && !quoted) {
      if (started) words.push_back(std::move(word));
      word = TWord{};
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
        word.Text.append(run / 2, '\\');
        if (run % 2 == 1) {
          word.Text += '"';
          ++pos;
        }
      } else {
        word.Text.append(run, '\\');
      }
    } else if (c == '"' && quoted) {
      if (pos + 1 < raw.size() && raw[pos + 1] == '"') {
        word.Text += '"';
        pos += 2;
      } else {
        quoted = false;
        ++pos;
        if (AtWordEnd(raw, pos)) {
          word.WholeQuoted = quotedFromStart;
          word.QuoteAtEnd = !quotedFromStart && word.Text.size() == quoteOpenedAt;
        }
      }
    } else if (c == '"') {
      if (!word.Text.empty() && AtWordEnd(raw, pos + 1)) {
        word.Text += '"';  // a SHELX label such as Mg"
        word.QuoteAtEnd = true;
      } else {
        quoted = true;
        quotedFromStart = word.Text.empty() && (pos == 0 || IsBlank(raw[pos - 1]));
        quoteOpenedAt = word.Text.size();
      }
      ++pos;
    } else {
      word.Text += c;
      ++pos;
    }
  }
  if (started) words.push_back(std::move(word));
  return words;
}

// Olex2's exec puts double quotes round an argument with blanks without
// escaping the quotes inside it: the selection Mg" O1" O3" arrives as
// "Mg" O1" O3"". Read by the rules above that gives Mg, O1", O3, and the
// same text can be meant that way, so no rule can recover the labels. The
// sign of it: among the atom arguments (after the file), a wholly quoted one
// followed by one that ends in a quote.
bool LooksLikeQuotedSelection(const std::vector<TWord>& words) {
  bool fileSeen = false, quotedAtom = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const TWord& word = words[i];
    if (IsOptionWord(word.Text)) {
      // --block name: the name is no atom
      if (IsValueOption(word.Text) && i + 1 < words.size() && !IsOptionWord(words[i + 1].Text)) ++i;
      continue;
    }
    if (!fileSeen) {
      fileSeen = true;
      continue;
    }
    if (quotedAtom && word.QuoteAtEnd) return true;
    if (word.WholeQuoted) quotedAtom = true;
  }
  return false;
}

// A survey reports many centres as a table; the options of a single report
// do not apply to it, nor its own options to a single run.
void CheckSurveyOptions(bool survey, const std::vector<std::string>& given) {
  static const char* const kSingleOnly[] = {"--html", "--brief", "--block", "--calc", "--mc"};
  static const char* const kSurveyOnly[] = {"--centres", "--format", "--threads", "--resume"};
  for (const std::string& option : given) {
    for (const char* single : kSingleOnly)
      if (survey && option == single) Fail(option + " cannot be used with --survey.");
    for (const char* only : kSurveyOnly)
      if (!survey && option == only) Fail(option + " is used only with --survey.");
  }
}

}  // namespace

TArguments SplitCommandLine(std::string_view raw, bool skipProgramName) {
  const std::vector<TWord> words = SplitWords(raw, skipProgramName ? SkipProgramName(raw) : 0);
  TArguments args;
  for (const TWord& word : words) args.List.push_back(word.Text);
  args.AmbiguousQuotes = LooksLikeQuotedSelection(words);
  return args;
}

TCommandLine ParseCommandLine(const TArguments& args) {
  if (args.AmbiguousQuotes)
    Fail({"the atom names came in double quotes together with labels ending in \"",
          "(Olex2 passes the selection Mg\" O1\" O3\" as \"Mg\" O1\" O3\"\"); where each",
          "label ends cannot be told. Type such labels with two apostrophes",
          "instead (Mg'' O1'' O3'') - see MANUAL, section 6."});
  TCommandLine cl;
  std::vector<std::string> given;  // the options named, without their values
  for (const std::string& arg : JoinedOptions(args.List)) {
    if (IsHelp(arg)) {
      cl.Help = true;
    } else if (IsVersion(arg)) {
      cl.Version = true;
    } else if (cl.Help || cl.Version) {
      // The file still counts: the help must not overwrite it.
      if (!ReadOutputOption(arg, cl.Options) && !StartsWith(arg, "-")) cl.Positional.push_back(arg);
    } else if (ReadOption(arg, cl.Options)) {
      given.push_back(arg.substr(0, arg.find('=')));
    } else {
      cl.Positional.push_back(arg);
    }
  }
  if (!cl.Help && !cl.Version) CheckSurveyOptions(cl.Options.Survey, given);
  return cl;
}

std::string FileOfArguments(const TArguments& args) {
  for (const std::string& arg : JoinedOptions(args.List))
    if (!IsOptionWord(arg)) return arg;
  return "";
}

std::string PageOfArguments(const TArguments& args) {
  std::string page;
  for (const std::string& arg : JoinedOptions(args.List))
    if (StartsWith(arg, "--html=")) page = arg.substr(7);
  return page;
}

}  // namespace koravel
