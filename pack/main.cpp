// runvo-pack: builds a service executable from a TOML config, lists what
// an executable carries, and smoke-tests one under Wine. Exit codes:
// 0 success, 1 bad input or failure, 2 wrong command line.
#include <CLI/CLI.hpp>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "pack/builder.h"
#include "pack/file_io.h"
#include "pack/inspector.h"
#include "pack/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace {

using namespace runvo::pack;

constexpr int kFailure = 1;
constexpr int kUsageError = 2;
constexpr const char* kVersion = "runvo-pack 0.1.0";

// Every line runvo-pack says on standard error starts with its name, so a
// script's log shows whose message it is.
std::string prefixedLines(const std::string& message) {
  std::istringstream lines(message);
  std::string prefixed;
  for (std::string line; std::getline(lines, line);) prefixed += "runvo-pack: " + line + "\n";
  return prefixed;
}

int reportFailure(const std::string& message) {
  std::cerr << prefixedLines(message);
  return kFailure;
}

int runBuild(const BuildRequest& request) {
  auto summary = buildExecutable(request);
  if (!summary) return reportFailure(summary.error().message);
  std::cout << "runvo-pack: wrote \"" << displayPath(request.output) << "\" (" << summary->outputSize
            << " bytes, " << summary->fileCount << " embedded file" << (summary->fileCount == 1 ? "" : "s");
  if (summary->embedsRuntimeJar) std::cout << " including " << kRuntimeJarName;
  if (summary->replacedPayloadSize > 0) {
    std::cout << "; replaced a payload of " << summary->replacedPayloadSize << " bytes";
  }
  std::cout << ")\n";
  return 0;
}

int runInspect(const std::filesystem::path& executablePath) {
  auto bytes = readWholeFile(executablePath);
  if (!bytes) return reportFailure(bytes.error().message);
  auto inspection = inspectExecutable(*bytes);
  if (!inspection) {
    return reportFailure("\"" + displayPath(executablePath) + "\" " + inspection.error().message);
  }
  std::cout << inspection->listing;
  return inspection->damaged ? kFailure : 0;
}

// The smoke test lives in a script beside the jvm.dll bridge (bridge/runvo-smoke),
// which parses its own arguments.
int runSmoke(const std::vector<std::string>& arguments) {
#ifdef _WIN32
  (void)arguments;
  return reportFailure("smoke runs an executable under Wine: use runvo-pack for Linux");
#else
  auto self = runningExecutablePath();
  if (!self) return reportFailure(self.error().message);
  const std::string script = (self->parent_path() / "bridge" / "runvo-smoke").string();
  std::vector<char*> argv{const_cast<char*>(script.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(script.c_str(), argv.data());
  return reportFailure("cannot run " + script + ": " + std::strerror(errno));
#endif
}

int runPack(int argc, const char* const* argv) {
  CLI::App app{"Builds runvo service executables and lists their payloads.", "runvo-pack"};
  app.set_version_flag("--version", kVersion);
  app.require_subcommand(1);
  app.failure_message([](const CLI::App*, const CLI::Error& error) {
    return prefixedLines(std::string(error.what()) + "\nrun with --help for more information");
  });

  std::string config, output, stub, runtimeJar, inspected;
  bool replace = false;
  CLI::App* build = app.add_subcommand("build", "Build a service executable from a TOML config");
  build->add_option("CONFIG", config, "The TOML config")->required();
  build->add_option("-o,--output", output, "The executable to write")->required();
  build->add_option("--stub", stub, "The launcher stub (default: runvo.exe beside runvo-pack)");
  build->add_option("--runtime-jar", runtimeJar,
                    "The runtime jar to embed (default: runvo-runtime.jar beside runvo-pack)");
  build->add_flag("--replace", replace, "Replace a payload the stub already carries");
  CLI::App* inspect = app.add_subcommand("inspect", "List the payload of an executable");
  inspect->add_option("EXE", inspected, "The executable to list")->required();
  CLI::App* smoke = app.add_subcommand(
      "smoke", "Run a packed executable as a service under Wine with this machine's JVM (smoke EXE --help)");
  // Everything after "smoke", --help included, is the script's.
  smoke->prefix_command();
  smoke->set_help_flag();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : kUsageError;
  }

  if (build->parsed()) {
    BuildRequest request{pathFromUtf8(config), pathFromUtf8(output), std::nullopt, replace};
    if (!stub.empty()) request.stub = pathFromUtf8(stub);
    if (!runtimeJar.empty()) request.runtimeJar = pathFromUtf8(runtimeJar);
    return runBuild(request);
  }
  if (smoke->parsed()) return runSmoke(smoke->remaining());
  return runInspect(pathFromUtf8(inspected));
}

}  // namespace

#ifdef _WIN32

// Arguments arrive as UTF-16 and travel on as UTF-8, so that paths outside
// the ANSI code page survive; the console is switched to UTF-8 to match.
int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, utf8.data(), size, nullptr, nullptr);
    arguments.push_back(std::move(utf8));
  }
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  return runPack(argc, pointers.data());
}

#else

int main(int argc, char** argv) { return runPack(argc, argv); }

#endif
