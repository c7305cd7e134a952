#include "jvm/jvm_search.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "diag/log.h"
#include "jvm/java_check.h"
#include "jvm/packed_runtime.h"
#include "jvm/registry_search.h"
#include "jvm/search_sequence.h"
#include "payload/config.h"
#include "util/environment.h"
#include "util/expand.h"
#include "util/paths.h"

namespace runvo {

namespace {
constexpr int kLineCapacity = 8192;

// The first line of a file under the application directory, line ends removed.
std::optional<std::string> readLocationFile(const char* relativeName) {
  const std::string path = fullPath(getConfigString(kKeyApplicationDirectory), /*keepCase=*/true) + relativeName;
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return std::nullopt;
  char line[kLineCapacity];
  const bool read = std::fgets(line, sizeof line, file) != nullptr;
  std::fclose(file);
  if (!read) return std::nullopt;
  std::string text(line);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

bool testDirectoryLocation(std::string& javaExe, const std::string& location, const VersionBounds& bounds,
                           bool skipVersionCheck) {
  const std::string home = fullPath(location, /*keepCase=*/false);
  prepareJre(home);
  const bool qualifies = javaExeForHome(javaExe, home);
  if (skipVersionCheck) return true;
  std::string version;
  return qualifies && checkJavaExe(javaExe, version, bounds, /*allowBeta=*/true);
}

bool testEnvironmentLocation(std::string& javaExe, const std::string& variable, const VersionBounds& bounds) {
  std::string home = environmentVariable(variable.c_str());
  if (home.empty()) return false;
  std::replace(home.begin(), home.end(), '/', '\\');
  std::string version;
  return javaExeForHome(javaExe, home) && checkJavaExe(javaExe, version, bounds, /*allowBeta=*/false);
}

bool testSearchPath(std::string& javaExe, const VersionBounds& bounds) {
  char found[kLineCapacity];
  const DWORD length = SearchPathA(nullptr, "java.exe", nullptr, sizeof found, found, nullptr);
  if (length == 0 || length >= sizeof found) return false;
  javaExe.assign(found, length);
  std::string version;
  return checkJavaExe(javaExe, version, bounds, /*allowBeta=*/false);
}

std::optional<JvmSearchResult> tryLocationFile(const char* relativeName, const char* hasFormat,
                                               const char* usingLine, const VersionBounds& bounds) {
  auto line = readLocationFile(relativeName);
  if (!line) return std::nullopt;
  writeLog(hasFormat, line->c_str());
  std::string javaExe;
  if (!testDirectoryLocation(javaExe, *line, bounds, false)) return std::nullopt;
  writeLog("%s", usingLine);
  return JvmSearchResult{JvmSourceKind::Directory, javaExe, *line};
}

std::optional<JvmSearchResult> testEntry(const SearchEntry& entry, const VersionBounds& bounds) {
  std::string location = entry.location;
  expandVariablesInPlace(location);
  writeLog("Testing location %s (type %c)", location.c_str(), entry.type);
  std::string javaExe;
  switch (entry.type) {
    case 'A':
    case 'B':
    case 'R':
      if (testDirectoryLocation(javaExe, location, bounds, false)) {
        return JvmSearchResult{JvmSourceKind::Directory, javaExe, location};
      }
      break;
    case 'E':
      if (testEnvironmentLocation(javaExe, location, bounds)) {
        return JvmSearchResult{JvmSourceKind::EnvironmentVariable, javaExe, location};
      }
      break;
    case 'S':
      if (testSearchPath(javaExe, bounds)) return JvmSearchResult{JvmSourceKind::SearchPath, javaExe, location};
      break;
    case 'Y':
      if (searchRegistry(javaExe, bounds)) return JvmSearchResult{JvmSourceKind::Registry, javaExe, {}};
      break;
    default:
      break;
  }
  return std::nullopt;
}

// Without version checks: a relative directory that holds a Java executable
// is taken as it is.
std::optional<JvmSearchResult> fallbackEntry(const SearchEntry& entry, const VersionBounds& bounds) {
  if (!retriedInFallbackPass(entry)) return std::nullopt;
  writeLog("Testing relative location %s", entry.location.c_str());
  std::string javaExe;
  testDirectoryLocation(javaExe, entry.location, bounds, /*skipVersionCheck=*/true);
  if (!pathExists(javaExe)) return std::nullopt;
  writeLog("%s exists", javaExe.c_str());
  return JvmSearchResult{JvmSourceKind::Directory, javaExe, entry.location};
}

std::optional<JvmSearchResult> previousInstallation(HKEY hive, const char* format, const VersionBounds& bounds) {
  std::string javaExe;
  if (!findPreviousInstallation(hive, javaExe, bounds)) return std::nullopt;
  writeLog(format, javaExe.c_str());
  return JvmSearchResult{JvmSourceKind::Registry, javaExe, {}};
}

std::optional<JvmSearchResult> javaHomeVariable(const char* variable, const VersionBounds& bounds) {
  std::string javaExe;
  if (!testEnvironmentLocation(javaExe, variable, bounds)) return std::nullopt;
  return JvmSearchResult{JvmSourceKind::EnvironmentVariable, javaExe, variable};
}
}  // namespace

JvmSearchResult searchJvm() {
  writeLog("Searching for a JVM");
  const std::vector<SearchEntry> entries = parseSearchSequence(getConfigString(kKeySearchSequence));
  const VersionBounds bounds{getConfigString(kKeyMinVersion), getConfigString(kKeyMaxVersion)};

  if (auto found = tryLocationFile("\\.kestrelix\\pref_jre.cfg", "Has preferred location %s",
                                   "Using preferred location", bounds)) {
    return *found;
  }
  for (const SearchEntry& entry : entries) {
    if (auto found = testEntry(entry, bounds)) return *found;
  }
  if (auto found = tryLocationFile("\\.kestrelix\\inst_jre.cfg", "Has installer location %s",
                                   "Using installer location", bounds)) {
    return *found;
  }
  for (const SearchEntry& entry : entries) {
    if (auto found = fallbackEntry(entry, bounds)) return *found;
  }
  if (auto found = previousInstallation(HKEY_CURRENT_USER, "found JRE from previous installation (user) %s", bounds)) {
    return *found;
  }
  if (auto found =
          previousInstallation(HKEY_LOCAL_MACHINE, "found JRE from previous installation (machine) %s", bounds)) {
    return *found;
  }
  writeLog("Search sequence finished");
  for (const char* variable : {"RUNVO_JAVA_HOME", "KESTRELIX_JAVA_HOME"}) {
    if (auto found = javaHomeVariable(variable, bounds)) return *found;
  }
  return {};
}

}  // namespace runvo
