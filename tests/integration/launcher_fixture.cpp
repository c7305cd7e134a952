#include "launcher_fixture.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sstream>

#include "util/win.h"

namespace runvo::testing {

namespace fs = std::filesystem;

// ctest hands Unix paths; under Wine they are reachable through drive Z:.
fs::path fromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    ADD_FAILURE() << name << " is not set";
    return {};
  }
  std::string path = value;
  if (!path.empty() && path[0] == '/') {
    std::replace(path.begin(), path.end(), '/', '\\');
    path = "Z:" + path;
  }
  return fs::path(path);
}

namespace {
std::string unescapeRelayString(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'n') out += '\n';
    else if (c == 'r') out += '\r';
    else if (c == 't') out += '\t';
    else if (c == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else out += c;
  }
  return out;
}

// Reads a quoted string of the relay trace starting at `from`; returns the
// position after its closing quote.
std::size_t readQuoted(const std::string& line, std::size_t from, std::string& text) {
  const std::size_t open = line.find('"', from);
  if (open == std::string::npos) return std::string::npos;
  std::size_t i = open + 1;
  std::string raw;
  while (i < line.size() && line[i] != '"') {
    if (line[i] == '\\' && i + 1 < line.size()) raw += line[i++];
    raw += line[i++];
  }
  text = unescapeRelayString(raw);
  return i + 1;
}

void enableMessageBoxTrace() {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Debug", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) == ERROR_SUCCESS) {
    const char value[] = "user32.MessageBoxA;user32.MessageBoxW";
    RegSetValueExA(key, "RelayInclude", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    RegCloseKey(key);
  }
}
}  // namespace

fs::path stubPath() { return fromEnvironment("RUNVO_TEST_STUB"); }

void LauncherTest::SetUp() {
  static std::atomic<int> counter{0};
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir_ = fromEnvironment("RUNVO_TEST_WORK") /
         (std::string(info->test_suite_name()) + "." + info->name() + "." + std::to_string(counter++));
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
  tmp_ = dir_ / "tmp";
  fs::create_directories(tmp_);
}

void LauncherTest::TearDown() {
  if (!HasFailure()) {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
}

fs::path LauncherTest::makeLauncher(const PayloadBytes& payload, const fs::path& name) {
  const fs::path path = dir_ / name;
  fs::create_directories(path.parent_path());
  std::error_code ignored;
  fs::remove(path, ignored);
  fs::copy_file(stubPath(), path);
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(reinterpret_cast<const char*>(payload.bytes().data()),
            static_cast<std::streamsize>(payload.size()));
  return path;
}

ProcessResult LauncherTest::sign(const fs::path& executable) {
  return runProcess(L"\"" + fromEnvironment("RUNVO_TEST_SIGNER").wstring() + L"\" \"" + executable.wstring() + L"\"");
}

LauncherRun LauncherTest::run(const fs::path& launcher, const RunOptions& options) {
  ProcessOptions process;
  process.environment = options.environment;
  const fs::path temporary = options.temporaryDirectory.empty() ? tmp_ : options.temporaryDirectory;
  // A test may hand a file here, as a temporary folder that cannot be used.
  if (!fs::exists(temporary)) fs::create_directories(temporary);
  process.environment[L"TMP"] = temporary.wstring();
  process.environment[L"TEMP"] = temporary.wstring();
  if (options.log) process.environment[L"RUNVO_LOG"] = L"yes";
  if (options.watchMessageBoxes) {
    static const bool traced = (enableMessageBoxTrace(), true);
    (void)traced;
    process.environment[L"WINEDEBUG"] = L"-all,+relay";
  }
  process.workingDirectory = options.workingDirectory.empty() ? dir_.wstring()
                                                              : options.workingDirectory.wstring();
  std::wstring commandLine = L"\"" + launcher.wstring() + L"\"";
  if (!options.arguments.empty()) commandLine += L" " + options.arguments;

  const fs::path trace = fromEnvironment("RUNVO_TRACE_FILE");
  std::error_code noTraceYet;
  const auto traceStart = options.watchMessageBoxes ? fs::file_size(trace, noTraceYet) : 0;

  LauncherRun result;
  static_cast<ProcessResult&>(result) = runProcess(commandLine, process);
  if (options.watchMessageBoxes) {
    std::string traced = readFile(trace);
    traced.erase(0, noTraceYet ? 0 : traceStart);
    for (const std::string& line : splitLines(traced)) {
      const std::size_t call = line.find("Call user32.MessageBoxA(");
      if (call == std::string::npos) continue;
      std::string text, caption;
      const std::size_t next = readQuoted(line, call, text);
      if (next != std::string::npos) readQuoted(line, next, caption);
      result.messageBoxes.push_back(text);
      result.messageBoxCaptions.push_back(caption);
    }
  }
  return result;
}

std::vector<LauncherRun> LauncherTest::runTogether(const fs::path& launcher,
                                                  const std::vector<RunOptions>& runs) {
  std::vector<std::future<LauncherRun>> pending;
  for (const RunOptions& options : runs) {
    pending.push_back(std::async(std::launch::async, [&, options] { return run(launcher, options); }));
  }
  std::vector<LauncherRun> results;
  for (auto& result : pending) results.push_back(result.get());
  return results;
}

std::vector<fs::path> LauncherTest::logFiles(const fs::path& directory) const {
  std::vector<fs::path> logs;
  for (const auto& entry : fs::directory_iterator(directory.empty() ? tmp_ : directory)) {
    if (entry.path().filename().string().rfind("ksx", 0) == 0) logs.push_back(entry.path());
  }
  std::sort(logs.begin(), logs.end(), [](const fs::path& a, const fs::path& b) {
    return fs::last_write_time(a) < fs::last_write_time(b);
  });
  return logs;
}

std::string LauncherTest::onlyLog() const {
  const auto logs = logFiles();
  EXPECT_EQ(logs.size(), 1u);
  return logs.empty() ? std::string() : readFile(logs.front());
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace runvo::testing
