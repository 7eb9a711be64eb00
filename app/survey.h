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

// The records of one file: one per centre of every data block with a
// structure, or one that says why the file or a block cannot be surveyed.
std::vector<TSurveyRecord> SurveyFile(const std::string& fileName, const TRunOptions& options);

// A whole survey: the records of every file, in input order whatever the
// number of threads, written to `out`; progress on `progress` when that is a
// terminal. Returns 0 when every record is ok, kExitSomeFailed otherwise.
int RunSurvey(const std::vector<std::string>& files, const TRunOptions& options, std::FILE* out,
              std::FILE* progress);

// The survey a command line asks for: its files and folders, the table to
// the console or the --out file (never one of the files read). Throws TError
// when there is nothing to survey or the table cannot be written.
int RunSurveyCommand(const TCommandLine& cl, std::FILE* console);

}  // namespace koravel
