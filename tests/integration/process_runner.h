// Runs a program as a real process, with its own environment and working
// directory, and collects what it printed and how it ended.
#pragma once
#include <map>
#include <string>

namespace runvo::testing {

struct ProcessResult {
  unsigned long exitCode = 0;
  std::string out;
  std::string err;
};

struct ProcessOptions {
  // Variables to set (or, with an empty value, to remove) in a copy of this
  // process's environment.
  std::map<std::wstring, std::wstring> environment;
  std::wstring workingDirectory;
};

// `commandLine` is passed as it stands, program path included.
ProcessResult runProcess(const std::wstring& commandLine, const ProcessOptions& options = {});

}  // namespace runvo::testing
