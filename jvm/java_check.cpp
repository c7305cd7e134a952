#include "jvm/java_check.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <io.h>

#include "diag/log.h"
#include "payload/temp_dirs.h"
#include "util/paths.h"
#include "util/filled_buffer.h"
#include "util/base_api.h"
#include "util/unique_handle.h"

namespace runvo {

namespace {
constexpr char kCacheRoot[] = "SOFTWARE\\tallowmere-soft\\runvo\\jvms\\";
constexpr DWORD kStillActive = 259;
constexpr int kVersionLinesRead = 5;
constexpr int kLineCapacity = 100;

std::string cacheKeyPath(const std::string& javaExe) { return kCacheRoot + versionCacheKeyName(javaExe); }

std::string shortPath(const std::string& path) {
  std::string shortForm =
      filledBuffer<char>([&](char* b, DWORD n) { return GetShortPathNameA(path.c_str(), b, n); });
  return shortForm.empty() ? path : shortForm;
}

// The probe's output file goes when its last handle closes, whoever holds it:
// a probed process may keep its copy for a moment after it ended, and a file
// removed by name after the wait would then stay behind. Opened for deletion
// on close and shared for it, it is read through this handle.
UniqueHandle createSelfDeletingOutput(const std::string& path) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  UniqueHandle inheritable;
  if (file) {
    DuplicateHandle(GetCurrentProcess(), file.get(), GetCurrentProcess(), inheritable.put(), 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
  }
  return inheritable;
}

// The first lines the probe wrote, read from the start of the file it shares
// with the probe.
std::vector<std::string> firstLines(HANDLE output) {
  std::vector<std::string> lines;
  HANDLE reader = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), output, GetCurrentProcess(), &reader, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return lines;
  }
  SetFilePointer(reader, 0, nullptr, FILE_BEGIN);
  const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(reader), _O_RDONLY);
  if (descriptor == -1) {
    CloseHandle(reader);
    return lines;
  }
  FILE* file = _fdopen(descriptor, "r");
  if (file == nullptr) {
    _close(descriptor);
    return lines;
  }
  char line[kLineCapacity];
  while (lines.size() < kVersionLinesRead && std::fgets(line, sizeof line, file)) {
    std::string text(line);
    const bool complete = !text.empty() && text.back() == '\n';
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    lines.push_back(text);
    // Drop the rest of an overlong line so that it does not count as lines of its own.
    for (int c = 0; !complete && (c = std::fgetc(file)) != EOF && c != '\n';) {
    }
  }
  std::fclose(file);
  return lines;
}

bool sameTime(const BYTE* stored, const FILETIME& time) { return std::memcmp(stored, &time, sizeof time) == 0; }
}  // namespace

HomeExecutable javaExeForHome(const std::string& home, bool requireJdk) {
  const std::string jreJava = home + "\\jre\\bin\\java.exe";
  HomeExecutable found{pathExists(jreJava) ? jreJava : home + "\\bin\\java.exe"};
  // JDK 9 and later have neither tools.jar nor a private runtime; javac marks them.
  if (requireJdk) found.qualifies = pathExists(home + "\\lib\\tools.jar") || pathExists(home + "\\bin\\javac.exe");
  return found;
}

namespace {
// The version from the cache while the file is unchanged, else from a probe.
Outcome<std::optional<std::string>> findVersion(const std::string& javaExe, const FILETIME& lastWrite) {
  if (auto cached = readVersionCache(javaExe, lastWrite)) {
    writeLog("got version from registry %s", cached->c_str());
    return cached;
  }
  auto probed = probeJavaVersion(javaExe, lastWrite);
  if (!probed) return probed;
  if (*probed) {
    writeLog("got version from execution %s", (*probed)->c_str());
    writeVersionCache(javaExe, lastWrite, **probed);
  } else {
    writeLog("couldn't get version");
  }
  return probed;
}
}  // namespace

Outcome<JvmCandidate> checkJavaExe(const std::string& javaExe, std::string origin, const JvmSettings& settings,
                                   bool allowBeta) {
  writeLog("checkJavaExe (%s, [out], %s, %s, %d)", javaExe.c_str(), settings.bounds.min.c_str(),
           settings.bounds.max.c_str(), allowBeta ? 1 : 0);
  JvmCandidate candidate{fullPath(javaExe, /*keepCase=*/false), std::move(origin)};
  JavaExeFacts facts;
  FILETIME lastWrite{};
  facts.exists = pathExists(candidate.javaExe, &lastWrite);
  writeLog(facts.exists ? "file exists" : "file doesn't exist");
  if (facts.exists) {
    auto version = findVersion(candidate.javaExe, lastWrite);
    if (!version) return version.takeError();
    facts.version = *version;
  }
  candidate.version = facts.version;
  candidate.rejection = rejectionReason(facts, settings, allowBeta);
  const bool prereleasesAllowed = allowBeta || settings.allowPrerelease;
  if (facts.version && !prereleasesAllowed && isPrereleaseVersion(*facts.version)) writeLog("beta vm not allowed");
  if (candidate.accepted() && settings.windowed) {
    candidate.javaExe = windowedExecutable(candidate.javaExe);
    if (!pathExists(candidate.javaExe)) candidate.rejection = "no javaw.exe beside it";
  }
  writeLog("checkJavaExe returning %d", candidate.accepted() ? 1 : 0);
  return candidate;
}

Outcome<std::optional<std::string>> probeJavaVersion(const std::string& javaExe, const FILETIME& lastWrite) {
  // Quoted, so that a long path with blanks stays one program.
  const std::string program = shortPath(javaExe);
  std::string commandLine = "\"" + program + "\" -version";
  const auto outputPath = createTempFileName();
  if (!outputPath) return outputPath.error();
  UniqueHandle output = createSelfDeletingOutput(*outputPath);
  // GetTempFileName made the file; without a handle of ours it is removed by name.
  if (!output) DeleteFileA(outputPath->c_str());

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdError = output.get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, &process)) {
    writeLog("Could not create process %s > %s (error %d)", commandLine.c_str(), outputPath->c_str(),
             static_cast<int>(GetLastError()));
    return std::optional<std::string>();
  }
  UniqueHandle processHandle(process.hProcess);
  UniqueHandle threadHandle(process.hThread);
  WaitForSingleObject(processHandle.get(), kProbeTimeoutMs);
  DWORD exitCode = 0;
  GetExitCodeProcess(processHandle.get(), &exitCode);
  writeLog("Exit Code %d", static_cast<int>(exitCode));
  if (exitCode == kStillActive) {
    writeLog("Terminating process");
    TerminateProcess(processHandle.get(), 1);
    WaitForSingleObject(processHandle.get(), kProbeTimeoutMs);
  } else if (exitCode != 0) {
    // Remembered, so that a broken runtime is not started again until it changes.
    writeVersionCache(javaExe, lastWrite, "1.0.0");
  }
  std::optional<std::string> version;
  if (exitCode == 0 && output) {
    version = parseVersionOutput(firstLines(output.get()));
    if (version) writeLog("Java version: %s", version->c_str());
  }
  return version;
}

std::optional<std::string> readVersionCache(const std::string& javaExe, const FILETIME& lastWrite) {
  UniqueHKey key;
  if (base_api::RegOpenKeyExA(HKEY_CURRENT_USER, cacheKeyPath(javaExe).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  BYTE stored[sizeof(FILETIME)];
  DWORD size = sizeof stored;
  if (base_api::RegQueryValueExA(key.get(), "LastWriteTime", nullptr, nullptr, stored, &size) != ERROR_SUCCESS ||
      size != sizeof stored || !sameTime(stored, lastWrite)) {
    return std::nullopt;
  }
  char text[8192];
  size = sizeof text - 1;
  if (base_api::RegQueryValueExA(key.get(), "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  // Stored without a terminating zero.
  return std::string(text, strnlen(text, size));
}

void writeVersionCache(const std::string& javaExe, const FILETIME& lastWrite, const std::string& version) {
  UniqueHKey key;
  if (base_api::RegCreateKeyExA(HKEY_CURRENT_USER, cacheKeyPath(javaExe).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    return;
  }
  base_api::RegSetValueExA(key.get(), "LastWriteTime", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&lastWrite),
                 sizeof lastWrite);
  base_api::RegSetValueExA(key.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.data()),
                 static_cast<DWORD>(version.size()));
}

}  // namespace runvo
