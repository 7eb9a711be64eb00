#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "report/survey_table.h"

namespace koravel {

// Exit status of a survey in which some record reports an error.
constexpr int kExitSomeFailed = 3;

// The files a survey reads, in order: each file as given, and the .cif, .res,
// .ins and .xyz files below each folder (sorted). A folder's .res or .ins of
// the same stem as a .cif, and an .ins beside a .res, are the same structure
// and left out.
std::vector<std::string> SurveyInputs(const std::vector<std::string>& paths);

// What a survey found in one file: a record per centre of every data block
// with atom sites, or one that says why the file or a block cannot be
// surveyed; blocks without atom sites (a journal's data_global) are counted,
// and only a file of nothing else is an error.
struct TFileSurvey {
  std::vector<TSurveyRecord> Records;
  size_t SkippedBlocks = 0;
};
TFileSurvey SurveyFile(const std::string& fileName, const TRunOptions& options);

// The closing line of a survey on standard error:
// "1,105 files, 3,211 records: 3,190 ok, 21 errors; 12 blocks without atom sites skipped".
std::string SurveySummary(size_t files, size_t records, size_t failed, size_t skippedBlocks);

// A whole survey: the records of every file, in input order whatever the
// number of threads, written to `out`; progress on `log` when that is a
// terminal, and the summary there at the end. Returns 0 when every record is
// ok, kExitSomeFailed otherwise.
int RunSurvey(const std::vector<std::string>& files, const TRunOptions& options, std::FILE* out,
              std::FILE* log, bool header = true);

// The survey a command line asks for: its files and folders, the table to
// the console or the --out file (never one of the files read); with
// --resume, the files whose records that table already holds are left out
// and the others' records appended. Throws TError when there is nothing to
// survey or the table cannot be written or continued.
int RunSurveyCommand(const TCommandLine& cl, std::FILE* console);

}  // namespace koravel
