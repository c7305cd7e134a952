#include "payload/temp_dirs.h"

#include <direct.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "diag/log.h"
#include "payload/config_keys.h"
#include "payload/environment.h"
#include "util/filled_buffer.h"
#include "util/paths.h"
#include "util/win.h"

namespace runvo {

namespace {
std::string windowsDirectory() {
  return filledBuffer<char>([](char* b, DWORD n) { return static_cast<DWORD>(GetWindowsDirectoryA(b, n)); });
}

// A temporary path that the ANSI file functions can write: "?" stands in for
// a character of another code page, and no Windows path holds one, so a "?"
// in the path or in its long form means the path is unusable.
bool expressibleInAnsi(const std::string& path) {
  if (path.find('?') != std::string::npos) return false;
  const std::string longForm =
      filledBuffer<char>([&](char* b, DWORD n) { return GetLongPathNameA(path.c_str(), b, n); });
  // A path whose long form cannot be had (it may not exist yet) is kept.
  return longForm.find('?') == std::string::npos;
}

std::string firstWritableFallback() {
  const std::string windows = windowsDirectory();
  for (const std::string& candidate : {windows + "\\temp", std::string("c:\\temp"), std::string("c:\\tmp"), windows}) {
    if (!candidate.empty() && isWritableDir(candidate)) return candidate;
  }
  if (isWritableDir("c:\\")) {
    _mkdir("c:\\tmp");
    if (isWritableDir("c:\\tmp")) return "c:\\tmp";
  }
  return {};
}
}  // namespace

Outcome<std::string> findTempPath() {
  std::string path = filledBuffer<char>([](char* b, DWORD n) { return GetTempPathA(n, b); });
  writeLog("GetTempPath returned %d (last error %d)", static_cast<int>(path.size()), static_cast<int>(GetLastError()));
  if (path.empty()) {
    path = environmentVariable("HOMEDRIVE") + environmentVariable("HOMEPATH");
    writeLog("No temp dir defined. Using home %s", path.c_str());
  } else {
    writeLog("make dir returned %d", _mkdir(path.c_str()));
  }
  if (expressibleInAnsi(path)) return path;

  std::string fallback = firstWritableFallback();
  if (fallback.empty()) return keyedFailure(kMsgNoTempDir, std::nullopt, "finding a usable temporary folder");
  return fallback;
}

bool isWritableDir(const std::string& directory) {
  const std::string testDirectory = directory + "\\rvx_w_testdir";
  _rmdir(testDirectory.c_str());
  if (_mkdir(testDirectory.c_str()) != 0) return false;
  const bool exists = pathExists(testDirectory);
  _rmdir(testDirectory.c_str());
  return exists;
}

Outcome<std::string> createTempFileName() {
  const auto found = findTempPath();
  if (!found) return found;
  const std::string& tempPath = *found;
  writeLog("tempPath is %s", tempPath.c_str());
  char name[MAX_PATH + 1] = {};
  std::string result;
  if (GetTempFileNameA(tempPath.c_str(), "rvx", 0, name) != 0) {
    result = name;
  } else {
    writeLog("GetTempFileName failed (last error %d)", static_cast<int>(GetLastError()));
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    result = tempPath + "rvx" + std::to_string(std::rand());
  }
  writeLog("tempFile is %s", result.c_str());
  return result;
}

Outcome<std::string> createExtractionDirectory() {
  auto tempFile = createTempFileName();
  if (!tempFile) return tempFile;
  const std::string directory = *tempFile + "_dir";
  writeLog("Temp dir: %s", directory.c_str());
  if (!CreateDirectoryA(directory.c_str(), nullptr)) {
    return keyedFailure(kMsgInternalError, "7", "creating the extraction folder " + directory, GetLastError());
  }
  return directory;
}

Outcome<std::string> processCommFileName(unsigned long processId) {
  auto tempPath = findTempPath();
  if (!tempPath) return tempPath;
  return *tempPath + "rvx_p" + std::to_string(processId) + ".tmp";
}

}  // namespace runvo
