#include "jvm/java_check.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "diag/log.h"
#include "payload/config.h"
#include "payload/temp_dirs.h"
#include "util/paths.h"
#include "util/unique_handle.h"

namespace runvo {

namespace {
constexpr char kCacheRoot[] = "SOFTWARE\\tallowmere-soft\\runvo\\jvms\\";
constexpr DWORD kStillActive = 259;
constexpr int kVersionLinesRead = 5;
constexpr int kLineCapacity = 100;

std::string cacheKeyPath(const std::string& javaExe) { return kCacheRoot + versionCacheKeyName(javaExe); }

std::string shortPath(const std::string& path) {
  char buffer[8192];
  const DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : path;
}

UniqueHandle createInheritableOutput(const std::string& path) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  UniqueHandle inheritable;
  if (file) {
    DuplicateHandle(GetCurrentProcess(), file.get(), GetCurrentProcess(), inheritable.put(), 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
  }
  return inheritable;
}

std::vector<std::string> firstLines(const std::string& path) {
  std::vector<std::string> lines;
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return lines;
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

bool javaExeForHome(std::string& javaExe, const std::string& home) {
  const std::string jreJava = home + "\\jre\\bin\\java.exe";
  if (getConfigInt(kKeyRequireJdk) != 0) {
    // JDK 9 and later have neither tools.jar nor a private runtime; javac marks them.
    const bool isJdk = pathExists(home + "\\lib\\tools.jar") || pathExists(home + "\\bin\\javac.exe");
    javaExe = pathExists(jreJava) ? jreJava : home + "\\bin\\java.exe";
    return isJdk;
  }
  javaExe = pathExists(jreJava) ? jreJava : home + "\\bin\\java.exe";
  return true;
}

bool checkJavaExe(std::string& javaExe, std::string& version, const VersionBounds& bounds, bool allowBeta) {
  writeLog("checkJavaExe (%s, [out], %s, %s, %d)", javaExe.c_str(), bounds.min.c_str(), bounds.max.c_str(),
           allowBeta ? 1 : 0);
  javaExe = fullPath(javaExe, /*keepCase=*/false);
  version.clear();
  bool accepted = false;
  FILETIME lastWrite{};
  if (!pathExists(javaExe, &lastWrite)) {
    writeLog("file doesn't exist");
  } else {
    writeLog("file exists");
    bool known = false;
    if (readVersionCache(javaExe, lastWrite, version)) {
      writeLog("got version from registry %s", version.c_str());
      known = true;
    } else if (probeJavaVersion(javaExe, lastWrite, version)) {
      writeLog("got version from execution %s", version.c_str());
      writeVersionCache(javaExe, lastWrite, version);
      known = true;
    } else {
      writeLog("couldn't get version");
    }
    if (known) {
      const bool allowPrerelease = allowBeta || getConfigInt(kKeyAllowPrerelease) != 0;
      const VersionVerdict verdict = judgeVersion(version, bounds, allowPrerelease);
      if (verdict == VersionVerdict::Prerelease) writeLog("beta vm not allowed");
      accepted = verdict == VersionVerdict::Accepted;
      if (accepted && getConfigInt(kKeyApplicationType) == kAppTypeWindowed) {
        javaExe.replace(javaExe.size() - 4, 4, "w.exe");
        accepted = pathExists(javaExe);
      }
    }
  }
  writeLog("checkJavaExe returning %d", accepted ? 1 : 0);
  return accepted;
}

bool probeJavaVersion(const std::string& javaExe, const FILETIME& lastWrite, std::string& version) {
  std::string commandLine = shortPath(javaExe) + " -version";
  const std::string outputPath = createTempFileName();
  UniqueHandle output = createInheritableOutput(outputPath);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdError = output.get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, &process)) {
    writeLog("Could not create process %s > %s (error %d)", commandLine.c_str(), outputPath.c_str(),
             static_cast<int>(GetLastError()));
    output.reset();
    DeleteFileA(outputPath.c_str());
    return false;
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
    // Let it go before its output file is deleted.
    WaitForSingleObject(processHandle.get(), kProbeTimeoutMs);
  } else if (exitCode != 0) {
    // Remembered, so that a broken runtime is not started again until it changes.
    writeVersionCache(javaExe, lastWrite, "1.0.0");
  }
  output.reset();

  bool found = false;
  if (exitCode == 0) {
    if (auto parsed = parseVersionOutput(firstLines(outputPath))) {
      version = *parsed;
      writeLog("Java version: %s", version.c_str());
      found = true;
    }
  }
  DeleteFileA(outputPath.c_str());
  return found;
}

bool readVersionCache(const std::string& javaExe, const FILETIME& lastWrite, std::string& version) {
  UniqueHKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, cacheKeyPath(javaExe).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return false;
  }
  BYTE stored[sizeof(FILETIME)];
  DWORD size = sizeof stored;
  if (RegQueryValueExA(key.get(), "LastWriteTime", nullptr, nullptr, stored, &size) != ERROR_SUCCESS ||
      size != sizeof stored || !sameTime(stored, lastWrite)) {
    return false;
  }
  char text[8192];
  size = sizeof text - 1;
  if (RegQueryValueExA(key.get(), "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  // Stored without a terminating zero.
  version.assign(text, strnlen(text, size));
  return true;
}

void writeVersionCache(const std::string& javaExe, const FILETIME& lastWrite, const std::string& version) {
  UniqueHKey key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, cacheKeyPath(javaExe).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key.get(), "LastWriteTime", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&lastWrite),
                 sizeof lastWrite);
  RegSetValueExA(key.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.data()),
                 static_cast<DWORD>(version.size()));
}

}  // namespace runvo
