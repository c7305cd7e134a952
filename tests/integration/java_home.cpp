#include "java_home.h"

#include <algorithm>
#include <cstdint>
#include <fstream>

#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "util/unique_handle.h"

namespace runvo::testing {

namespace fs = std::filesystem;

// Shared with launcher_fixture.cpp: a Unix path from ctest, as Wine reaches it.

namespace {

constexpr const char* kReleaseDate = "2025-04-15";

std::vector<std::string> versionText(const JavaHomeLayout& layout) {
  if (layout.errorOutput) return *layout.errorOutput;
  std::vector<std::string> lines = layout.extraLinesBefore;
  if (layout.openjdkStyle) {
    lines.push_back("openjdk version \"" + layout.version + "\" " + kReleaseDate);
  } else {
    lines.push_back("java version \"" + layout.version + "\"");
  }
  lines.push_back("Runtime Environment (build " + layout.version + ")");
  lines.push_back("64-Bit Server VM (build " + layout.version + ", mixed mode)");
  return lines;
}

// The script that java.exe and javaw.exe of the home both read.
std::optional<std::string> javaScript(const JavaHomeLayout& layout) {
  std::string script = "# java -version as this home answers it\n";
  for (const std::string& line : versionText(layout)) {
    if (line.find_first_of("\r\n") != std::string::npos) {
      ADD_FAILURE() << "an output line cannot hold a line break: " << line;
      return std::nullopt;
    }
    script += "stderr: " + line + "\n";
  }
  // A negative code stands for the same 32 bits, as Windows sees it.
  script += "exit: " + std::to_string(static_cast<std::uint32_t>(layout.exitCode)) + "\n";
  script += "delay-ms: " + std::to_string(static_cast<std::uint32_t>(std::max(layout.delayMs, 0))) + "\n";
  return script;
}

bool writeFile(const fs::path& path, const std::string& bytes) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) ADD_FAILURE() << "cannot write " << path.string();
  return static_cast<bool>(out);
}

bool copyFixture(const std::string& fixture, const fs::path& to) {
  std::error_code error;
  fs::create_directories(to.parent_path(), error);
  fs::copy_file(fixtureDirectory() / fixture, to, fs::copy_options::overwrite_existing, error);
  if (error) ADD_FAILURE() << "cannot copy " << fixture << " to " << to.string() << ": " << error.message();
  return !error;
}

bool layOutRuntime(const fs::path& bin, const JavaHomeLayout& layout) {
  const std::optional<std::string> script = javaScript(layout);
  bool ok = script && writeFile(bin / "java.script", *script) && copyFixture("java.exe", bin / "java.exe");
  if (ok && layout.javaw) ok = copyFixture("javaw.exe", bin / "javaw.exe");
  const std::string jvm = layout.jvmWithoutCreate ? "jvm_nocreate.dll" : "jvm.dll";
  for (const std::string& variant : layout.jvmVariants) {
    if (ok) ok = copyFixture(jvm, bin / variant / "jvm.dll");
  }
  return ok;
}

bool layOutJdkMarks(const fs::path& home, const JavaHomeLayout& layout) {
  bool ok = true;
  if (layout.toolsJar) ok = writeFile(home / "lib" / "tools.jar", "tools archive");
  // javac is only looked at, never run.
  if (ok && layout.javac) ok = writeFile(home / "bin" / "javac.exe", "javac");
  return ok;
}

bool layOutPackedArchives(const fs::path& home, const JavaHomeLayout& layout) {
  if (layout.packedArchives.empty()) return true;
  bool ok = copyFixture("unpack200.exe", home / "bin" / "unpack200.exe");
  for (const std::string& archive : layout.packedArchives) {
    if (ok) ok = writeFile(home / "lib" / (archive + ".pack"), "pack of " + archive);
  }
  return ok;
}

}  // namespace

fs::path fixtureDirectory() { return fromEnvironment("RUNVO_TEST_FIXTURES"); }

fs::path makeJavaHome(const fs::path& home, const JavaHomeLayout& layout) {
  const fs::path bin = layout.jreFolder ? home / "jre" / "bin" : home / "bin";
  const bool ok = layOutRuntime(bin, layout) && layOutJdkMarks(home, layout) && layOutPackedArchives(home, layout);
  return ok ? bin / "java.exe" : fs::path();
}

std::vector<std::string> recordedRuns(const fs::path& program) {
  fs::path runs = program;
  runs += ".runs";
  return splitLines(readFile(runs));
}

int probeCount(const fs::path& javaExe) { return static_cast<int>(recordedRuns(javaExe).size()); }

std::vector<std::string> unpackRuns(const fs::path& home) {
  return recordedRuns(home / "bin" / "unpack200.exe");
}

void touch(const fs::path& file) {
  UniqueHandle handle(CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  FILETIME written{};
  if (!handle || !GetFileTime(handle.get(), nullptr, nullptr, &written)) {
    ADD_FAILURE() << "cannot read the time of " << file.string() << " (error " << GetLastError() << ")";
    return;
  }
  constexpr std::uint64_t kOneHour = 3600ull * 10'000'000ull;  // in 100 ns units
  ULARGE_INTEGER time{};
  time.LowPart = written.dwLowDateTime;
  time.HighPart = written.dwHighDateTime;
  time.QuadPart += kOneHour;
  written.dwLowDateTime = time.LowPart;
  written.dwHighDateTime = time.HighPart;
  if (!SetFileTime(handle.get(), nullptr, nullptr, &written)) {
    ADD_FAILURE() << "cannot set the time of " << file.string() << " (error " << GetLastError() << ")";
  }
}

}  // namespace runvo::testing
