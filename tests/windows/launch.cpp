// Test launcher for the Windows build: starts a program through CreateProcessW
// with an exact raw command line and an exact environment, the way a caller
// such as Olex2 starts koravel.exe. The program then splits the very text it
// finds in GetCommandLineW(), without any quoting added by a shell or by wine;
// the command-line file is UTF-8, so names such as Müller arrive as UTF-16
// whatever the code page.
//
//   koravel_launch --program PATH --cmdline-file FILE
//                  [--set NAME=VALUE]... [--unset NAME]...
//
// FILE holds the command line after the program name, byte for byte (a final
// line break, if any, is not part of it). The launcher puts the quoted program
// path in front, passes its own environment with the changes asked for, lets
// the program inherit standard input, output and error, waits for it and ends
// with its exit status. Its own failures are reported on standard error with
// the status 120, which no run of koravel uses.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kLauncherFailure = 120;

struct TLaunch {
  std::string Program;
  std::string CommandLineFile;
  std::vector<std::string> Set;    // NAME=VALUE
  std::vector<std::string> Unset;  // NAME
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "koravel_launch: %s\n", message.c_str());
  return kLauncherFailure;
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

// The variable's name; entries such as "=C:=C:\dir" (the per-drive current
// directories) keep their leading "=" as part of the name.
std::string NameOf(const std::string& entry) {
  size_t eq = entry.find('=', 1);
  return entry.substr(0, eq == std::string::npos ? entry.size() : eq);
}

bool ParseArguments(int argc, char** argv, TLaunch& launch, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (i + 1 >= argc) {
      error = "missing value after " + option;
      return false;
    }
    std::string value = argv[++i];
    if (option == "--program") {
      launch.Program = value;
    } else if (option == "--cmdline-file") {
      launch.CommandLineFile = value;
    } else if (option == "--set" && value.find('=', 1) != std::string::npos) {
      launch.Set.push_back(value);
    } else if (option == "--unset") {
      launch.Unset.push_back(value);
    } else {
      error = "unknown argument " + option + " " + value;
      return false;
    }
  }
  if (launch.Program.empty() || launch.CommandLineFile.empty()) {
    error = "usage: koravel_launch --program PATH --cmdline-file FILE [--set NAME=VALUE] [--unset NAME]";
    return false;
  }
  return true;
}

bool ReadCommandLineTail(const std::string& fileName, std::string& tail) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return false;
  tail.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!tail.empty() && tail.back() == '\n') tail.pop_back();
  if (!tail.empty() && tail.back() == '\r') tail.pop_back();
  return true;
}

// The launcher's own environment with the requested changes, as the block of
// NUL-terminated "NAME=VALUE" strings that CreateProcessW takes without CREATE_UNICODE_ENVIRONMENT, sorted by
// name without regard to case as Windows keeps it.
std::vector<char> BuildEnvironment(const TLaunch& launch) {
  std::vector<std::string> entries;
  if (char* block = GetEnvironmentStringsA()) {
    for (const char* p = block; *p != '\0'; p += std::strlen(p) + 1) entries.emplace_back(p);
    FreeEnvironmentStringsA(block);
  }
  auto removeName = [&entries](const std::string& name) {
    const std::string key = Upper(name);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&key](const std::string& e) { return Upper(NameOf(e)) == key; }),
                  entries.end());
  };
  for (const std::string& name : launch.Unset) removeName(name);
  for (const std::string& assignment : launch.Set) {
    removeName(NameOf(assignment));
    entries.push_back(assignment);
  }
  std::stable_sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
    return Upper(NameOf(a)) < Upper(NameOf(b));
  });
  std::vector<char> block;
  for (const std::string& e : entries) {
    block.insert(block.end(), e.begin(), e.end());
    block.push_back('\0');
  }
  block.push_back('\0');
  if (entries.empty()) block.push_back('\0');
  return block;
}

// UTF-8 as UTF-16.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

}  // namespace

int main(int argc, char** argv) {
  TLaunch launch;
  std::string error;
  if (!ParseArguments(argc, argv, launch, error)) return Fail(error);
  std::string tail;
  if (!ReadCommandLineTail(launch.CommandLineFile, tail))
    return Fail("cannot read " + launch.CommandLineFile);

  std::string commandLine = "\"" + launch.Program + "\"";
  if (!tail.empty()) commandLine += " " + tail;
  std::wstring commandBuffer = Wide(commandLine);
  const std::wstring program = Wide(launch.Program);
  std::vector<char> environment = BuildEnvironment(launch);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  // Wine now and then fails a start with ERROR_INTERNAL_ERROR (1359) while
  // its server is busy; a later attempt succeeds. Any other failure is final.
  bool started = false;
  for (int attempt = 0; attempt < 5 && !started; ++attempt) {
    started = CreateProcessW(program.c_str(), commandBuffer.data(), nullptr, nullptr, TRUE, 0,
                             environment.data(), nullptr, &startup, &process);
    if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
    if (!started) Sleep(200);
  }
  if (!started)
    return Fail("CreateProcessW failed for " + launch.Program + " (error " +
                std::to_string(GetLastError()) + ")");
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = kLauncherFailure;
  if (!GetExitCodeProcess(process.hProcess, &status)) status = kLauncherFailure;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}
