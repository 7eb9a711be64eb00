#include "app/survey.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "base/file.h"
#include "base/numbers.h"
#include "base/text.h"
#include "crystal/elements.h"
#include "geometry/analysis.h"
#include "io/bond_valence_file.h"
#include "io/input.h"
#include "ligands/ligands.h"
#include "report/survey_page.h"

namespace koravel {

namespace {

// A folder's structure files without the SHELX twins of its CIFs and the
// .ins beside a .res, compressed or not: the SHELX files that a run on their
// stem would pass over for one it looks for first. The files are grouped by a
// hash of their lower-case stem, kept beside their position, not by a copy
// of their names: a database of half a million files holds one list of names
// only.
std::vector<std::string> WithoutTwins(std::vector<std::string> files) {
  auto stem = [&files](size_t i) { return LowerAscii(FileStem(WithoutGzip(files[i]))); };
  auto extension = [&files](size_t i) { return StructureExtension(files[i]); };
  std::vector<std::pair<std::size_t, size_t>> order;  // (hash of the stem, position)
  order.reserve(files.size());
  for (size_t i = 0; i < files.size(); ++i) order.push_back({std::hash<std::string>{}(stem(i)), i});
  std::sort(order.begin(), order.end());
  std::vector<char> twin(files.size(), 0);
  for (size_t from = 0; from < order.size();) {
    size_t to = from + 1;
    while (to < order.size() && order[to].first == order[from].first) ++to;
    // The files of one hash, compared by their stems (a collision is harmless).
    for (size_t k = from; k < to; ++k) {
      const TStructureExtension* e = extension(order[k].second);
      if (!e || e->Kind != TInputKind::Shelx) continue;  // (a folder that could not be read has none)
      const std::string s = stem(order[k].second);
      for (size_t j = from; j < to; ++j) {
        const TStructureExtension* other = extension(order[j].second);
        // An extension earlier in kStructureExtensions: looked for first.
        if (other && other < e && stem(order[j].second) == s) twin[order[k].second] = 1;
      }
    }
    from = to;
  }
  std::vector<std::string> kept;
  for (size_t i = 0; i < files.size(); ++i)
    if (!twin[i]) kept.push_back(std::move(files[i]));
  return kept;
}

// Which atoms are centres: "metals", "all", or a list of element symbols.
bool IsChosenCentre(const TAtom& atom, const std::string& centres) {
  if (centres == "all") return true;
  if (centres == "metals") return IsMetal(atom.Element);
  for (std::string_view symbol : SplitFields(centres, [](char c) { return c == ',' || c == ' '; }))
    if (SameText(symbol, atom.Element)) return true;
  return false;
}

// One centre, as a single run with automatic ligands analyses it: the same
// neighbour search, the same analysis, one record.
TSurveyRecord SurveyCentre(const TModel& model, int atom, const TRunOptions& o) {
  const TAtom& a = model.Structure.Atoms[static_cast<size_t>(atom)];
  const TCentre centre{AtomSite(model.Structure, atom), a.Label, a.Element, false};
  TLigandRequest request;
  request.Tolerance = o.Tolerance;
  request.MinOccupancy = o.MinOccupancy;
  request.MaxRadius = o.MaxRadius;
  request.Sphere = o.Sphere;
  const TAnalysis analysis = AnalyseCentre(model, centre, request,
                                           SearchNeighbours(model.Structure, centre, request),
                                           {.BondValences = o.BondValences});
  if (!analysis.Complete()) FailCoordination(analysis);
  return SurveyRecord(model, analysis);
}

// The label of an atom site, with "@k" when it is the k-th of several sites
// that carry it.
std::string NumberedName(const TStructure& s, int atom) {
  const std::string& label = s.Atoms[static_cast<size_t>(atom)].Label;
  int k = 0, sites = 0;
  for (size_t i = 0; i < s.Atoms.size(); ++i)
    if (SameText(s.Atoms[i].Label, label)) {
      ++sites;
      if (static_cast<int>(i) <= atom) ++k;
    }
  return sites > 1 ? label + "@" + std::to_string(k) : label;
}

std::string Duration(double seconds) {
  const long long s = static_cast<long long>(seconds + 0.5);
  return std::to_string(s / 60) + ":" + (s % 60 < 10 ? "0" : "") + std::to_string(s % 60);
}

}  // namespace

std::vector<std::string> SurveyInputs(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    if (!IsDirectory(path)) {
      files.push_back(path);
      continue;
    }
    std::vector<std::string> below = FilesBelow(path);
    std::erase_if(below, [](const std::string& f) { return !StructureExtension(f) && !IsDirectory(f); });  // a folder: unreadable
    for (std::string& f : WithoutTwins(std::move(below))) files.push_back(std::move(f));
  }
  return files;
}

TFileSurvey SurveyFile(const std::string& fileName, const TRunOptions& options) {
  // A folder among the files is one that could not be listed.
  if (IsDirectory(fileName)) return {{ErrorRecord(fileName, "", {"cannot read the folder " + fileName + "."})}};
  if (!FileExists(fileName)) return {{ErrorRecord(fileName, "", {"file not found: " + fileName})}};
  std::optional<TStructureFile> file;
  try {
    file.emplace(fileName, options.XyzNaming);
  } catch (const TError& error) {
    return {{ErrorRecord(fileName, "", error.Lines())}};
  }
  std::vector<TSurveyRecord> records;
  size_t skipped = 0;
  for (size_t b = 0; b < file->BlockCount(); ++b) {
    const std::string block = file->BlockName(b);
    if (!file->HasAtomSites(b)) {
      ++skipped;
      continue;
    }
    std::optional<TInput> input;
    try {
      input.emplace(file->Load(b));
    } catch (const TError& error) {
      records.push_back(ErrorRecord(fileName, block, error.Lines()));
      continue;
    }
    const TModel& model = input->Model;
    for (size_t atom = 0; atom < model.Structure.Atoms.size(); ++atom) {
      const TAtom& a = model.Structure.Atoms[atom];
      if (a.Dummy || !IsChosenCentre(a, options.Centres)) continue;
      TSurveyRecord r;
      try {
        r = SurveyCentre(model, static_cast<int>(atom), options);
      } catch (const TError& error) {
        r = ErrorRecord(fileName, block, error.Lines());
        r.Centre = a.Label;
        r.Element = a.Element;
      }
      r.File = fileName;
      r.Block = block;
      r.Site = static_cast<int>(atom) + 1;
      r.Fract = a.Frac;
      // A label that several sites carry is told apart by its number, the
      // name a single run takes: Ni@2.
      r.Centre = NumberedName(model.Structure, static_cast<int>(atom));
      records.push_back(std::move(r));
    }
  }
  if (skipped == file->BlockCount())
    return {{ErrorRecord(fileName, "", {"no data block of " + fileName + " lists atom sites."})}};
  return {std::move(records), skipped};
}

namespace {

// "1 file", "1,105 files".
std::string CountOf(size_t n, const char* one, const char* many) {
  return GroupedDigits(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string SurveySummary(size_t files, size_t records, size_t failed, size_t skippedBlocks) {
  const auto count = CountOf;
  std::string line = count(files, "file", "files") + ", " + count(records, "record", "records") + ": " +
                     GroupedDigits(records - failed) + " ok, " + count(failed, "error", "errors");
  if (skippedBlocks > 0) line += "; " + count(skippedBlocks, "block", "blocks") + " without atom sites skipped";
  return line;
}

int RunSurvey(const std::vector<std::string>& files, const TRunOptions& options, std::FILE* out,
              std::FILE* log, bool header) {
  const size_t count = files.size();
  const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
  const size_t threads =
      std::min<size_t>(std::max<size_t>(count, 1), options.Threads > 0 ? options.Threads : hardware);

  // Workers take files in order and leave each file's lines in its slot; the
  // writer empties the slots in order, so the output does not depend on the
  // number of threads, and memory holds no more than the lines of the last
  // round and those that wait for an earlier file.
  std::vector<std::string> lines(count);
  // The page is drawn from all records at the end; the tables stream.
  const bool page = options.Format == TSurveyFormat::Html;
  const bool leftOut = options.Sphere == TSphereKind::Chemical;
  std::vector<std::vector<TSurveyRecord>> kept(page ? count : 0);
  std::vector<char> done(count, 0);
  std::atomic<size_t> next{0};
  std::mutex mutex;
  std::condition_variable ready;
  size_t failedRecords = 0, recordCount = 0, skippedBlocks = 0;
  size_t finished = 0;
  // A worker stays within kAhead files of the writer, so that one slow file
  // holds back the lines of a bounded number of others.
  constexpr size_t kAhead = 1024;
  size_t writtenSoFar = 0;
  std::condition_variable progressed;
  auto work = [&] {
    for (size_t i; (i = next++) < count;) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        progressed.wait(lock, [&] { return i < writtenSoFar + kAhead; });
      }
      std::string text;
      size_t failed = 0, written = 0;
      TFileSurvey found;
      try {
        found = SurveyFile(files[i], options);
      } catch (const std::exception& error) {  // what no check reports: say so, go on
        found = {{ErrorRecord(files[i], "", {std::string("unexpected failure: ") + error.what()})}};
      }
      std::vector<TSurveyRecord>& records = found.Records;
      for (const TSurveyRecord& r : records) {
        if (!page) text += SurveyLines(options.Format, r, leftOut);
        failed += r.Ok ? 0 : 1;
        ++written;
      }
      std::lock_guard<std::mutex> lock(mutex);
      lines[i] = std::move(text);
      if (page) kept[i] = std::move(records);
      done[i] = 1;
      failedRecords += failed;
      recordCount += written;
      skippedBlocks += found.SkippedBlocks;
      if (++finished == count) ready.notify_one();
    }
  };
  std::vector<std::thread> pool;
  for (size_t t = 0; t < threads; ++t) pool.emplace_back(work);

  const bool showProgress = log != nullptr && IsTerminal(log);
  const auto start = std::chrono::steady_clock::now();
  if (header) std::fputs(SurveyHeader(options.Format, leftOut).c_str(), out);
  for (size_t written = 0; written < count;) {
    std::string text;
    size_t records;
    {
      std::unique_lock<std::mutex> lock(mutex);
      // Files finish many times a second: the writer collects them in
      // rounds instead of waking for each.
      ready.wait_for(lock, std::chrono::milliseconds(50), [&] { return finished == count; });
      for (; written < count && done[written]; ++written) {
        text += lines[written];
        std::string().swap(lines[written]);
      }
      records = recordCount;
      writtenSoFar = written;
    }
    progressed.notify_all();
    // Each round goes out whole: a survey killed at any moment leaves the
    // records of whole files and at most a partial last line (--resume).
    std::fputs(text.c_str(), out);
    std::fflush(out);
    if (showProgress) {
      const double elapsed =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const double rate = elapsed > 0 ? static_cast<double>(written) / elapsed : 0;
      const std::string left = rate > 0 ? Duration(static_cast<double>(count - written) / rate) : "?";
      std::fprintf(log, "\r%zu/%zu files, %zu records, %s files/s, %s left   ", written, count,
                   records, FormatFixed(rate, 1).c_str(), left.c_str());
      std::fflush(log);
    }
  }
  for (std::thread& t : pool) t.join();
  if (showProgress) std::fputc('\n', log);
  const std::string summary = SurveySummary(count, recordCount, failedRecords, skippedBlocks);
  if (page) {
    std::vector<TSurveyRecord> all;
    for (std::vector<TSurveyRecord>& records : kept)
      for (TSurveyRecord& r : records) all.push_back(std::move(r));
    std::fputs(SurveyPage(all, summary).c_str(), out);
  }
  if (log != nullptr) std::fprintf(log, "%s\n", summary.c_str());
  return failedRecords > 0 ? kExitSomeFailed : 0;
}

int RunSurveyCommand(const TCommandLine& cl, std::FILE* console) {
  if (cl.Positional.empty()) Fail("a survey needs at least one file or folder.");
  const std::vector<std::string> files = SurveyInputs(cl.Positional);
  const std::string& outName = cl.Options.Output.OutFile;
  TRunOptions options = cl.Options;
  const std::optional<TBondValenceTable> table =
      options.BondValenceFile.empty() ? std::nullopt : std::optional(ReadBondValenceTable(options.BondValenceFile));
  options.BondValences = table ? &*table : nullptr;
  if (options.Resume && outName.empty()) Fail("--resume needs --out=<file>: the table of the survey to continue.");
  if (options.Resume && options.Format == TSurveyFormat::Html)
    Fail("--resume continues a table (--format=csv, csv-wide or json), not an html page, which is drawn at the end.");
  if (outName.empty()) return RunSurvey(files, options, console, stderr);
  for (const std::string& f : files)
    for (const std::string& input : InputFilesOfRun(f))
      if (SameFile(outName, input))
        Fail("cannot write output file: " + outName + " (it is an input file of this run)");
  std::vector<std::string> left = files;
  bool header = true;
  if (options.Resume && FileExists(outName)) {
    const bool leftOut = options.Sphere == TSphereKind::Chemical;
    const TSurveyTableEnd end = SurveyTableEnd(ReadFile(outName), options.Format, leftOut, outName);
    std::set<std::string> kept(end.Files.begin(), end.Files.end());
    // The last file's records may stop short: they are dropped and surveyed
    // again when the file is among this survey's inputs, else kept (nothing
    // would make them again).
    std::size_t keep = end.WholeLines;
    if (!end.Files.empty() &&
        std::any_of(files.begin(), files.end(),
                    [&](const std::string& f) { return SurveyFileKey(options.Format, f, leftOut) == end.Files.back(); })) {
      kept.erase(end.Files.back());
      keep = end.LastFileStart;
    }
    if (!TruncateFile(outName, keep)) Fail("cannot write output file: " + outName);
    std::erase_if(left, [&](const std::string& f) { return kept.contains(SurveyFileKey(options.Format, f, leftOut)); });
    header = keep == 0;
    std::fprintf(stderr, "Resuming %s: %s already in it, %s to survey.\n", outName.c_str(),
                 CountOf(files.size() - left.size(), "file", "files").c_str(),
                 CountOf(left.size(), "file", "files").c_str());
  }
  TFilePtr out = OpenFile(outName, header ? "w" : "a");
  if (!out) Fail("cannot write output file: " + outName);
  const int status = RunSurvey(left, options, out.get(), stderr, header);
  if (std::fclose(out.release()) != 0) Fail("cannot write output file: " + outName);
  return status;
}

}  // namespace koravel
