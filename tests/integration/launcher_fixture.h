// A work folder of its own for each test, launcher executables made from the
// stub and a payload, and ways to read what a run left behind: its log file
// and the message boxes it showed.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process_runner.h"
#include "support/payload_bytes.h"

namespace runvo::testing {

// A path that ctest hands over in an environment variable, as Wine sees it.
std::filesystem::path fromEnvironment(const char* name);
std::filesystem::path stubPath();

struct LauncherRun : ProcessResult {
  // The texts of the message boxes shown, in order (read from Wine's relay trace).
  std::vector<std::string> messageBoxes;
  std::vector<std::string> messageBoxCaptions;
};

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The stub with `payload` appended, as `name` in this test's folder.
  std::filesystem::path makeLauncher(const PayloadBytes& payload,
                                     const std::filesystem::path& name = "svc.exe");

  struct RunOptions {
    std::wstring arguments;  // what follows the quoted program path
    bool log = false;        // RUNVO_LOG=yes
    bool watchMessageBoxes = false;
    std::map<std::wstring, std::wstring> environment;
    std::filesystem::path workingDirectory;
    // TMP and TEMP of the run; the test's own folder when empty.
    std::filesystem::path temporaryDirectory;
  };
  LauncherRun run(const std::filesystem::path& launcher, const RunOptions& options);
  // Signs the executable in place with the Linux runvo-pack and a certificate
  // made for the call (tests/support/sign-for-test), then checks the signature.
  ProcessResult sign(const std::filesystem::path& executable);
  // Runs that each take long, started side by side; results in the same order.
  std::vector<LauncherRun> runTogether(const std::filesystem::path& launcher,
                                       const std::vector<RunOptions>& runs);

  // The log files in a temporary folder (this test's by default), oldest first.
  std::vector<std::filesystem::path> logFiles(const std::filesystem::path& directory = {}) const;
  std::string onlyLog() const;

  std::filesystem::path dir_;
  std::filesystem::path tmp_;
};

std::string readFile(const std::filesystem::path& path);
std::vector<std::string> splitLines(const std::string& text);

}  // namespace runvo::testing
