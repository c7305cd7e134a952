// The few facts about the running process that differ between Windows and
// the build machine.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack/common/expected.h"

namespace runvo::pack {

// The builder's own file, and the launcher stub that ships beside it.
#ifdef _WIN32
inline constexpr std::string_view kBuilderFileName = "runvo-pack.exe";
#else
inline constexpr std::string_view kBuilderFileName = "runvo-pack";
#endif
inline constexpr std::string_view kStubFileName = "runvo.exe";

Expected<std::filesystem::path> runningExecutablePath();
unsigned long currentProcessId();

// A program of that name in a folder of PATH, if there is one.
std::optional<std::filesystem::path> findOnPath(std::string_view name);

struct ProgramRun {
  int exitCode = -1;
  std::string output;  // standard output and standard error together
};
// Runs a program to its end with `input` on its standard input, which keeps
// secrets off its command line. Linux only: runvo-pack.exe refuses.
Expected<ProgramRun> runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                                const std::string& input);

}  // namespace runvo::pack
