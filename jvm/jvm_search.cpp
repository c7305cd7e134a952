#include "jvm/jvm_search.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

#include "diag/log.h"
#include "jvm/java_check.h"
#include "jvm/packed_runtime.h"
#include "jvm/registry_search.h"
#include "jvm/search_sequence.h"
#include "payload/environment.h"
#include "payload/expand.h"
#include "util/filled_buffer.h"
#include "util/paths.h"

namespace runvo {

namespace {
constexpr int kLineCapacity = 8192;

using StepResult = Outcome<std::optional<JvmSearchResult>>;

class JvmSearch {
 public:
  JvmSearch(const JvmSettings& settings, const LauncherValues& values, const RegistryRoots& roots)
      : settings_(settings), values_(values), roots_(roots) {}

  Outcome<JvmSearchResult> run() {
    writeLog("Searching for a JVM");
    const std::vector<SearchEntry> entries = parseSearchSequence(settings_.searchSequence);
    std::vector<std::function<StepResult()>> steps;
    steps.push_back([&] {
      return tryLocationFile("\\.kestrelix\\pref_jre.cfg", "Has preferred location %s", "Using preferred location");
    });
    for (const SearchEntry& entry : entries) steps.push_back([&] { return testEntry(entry); });
    steps.push_back([&] {
      return tryLocationFile("\\.kestrelix\\inst_jre.cfg", "Has installer location %s", "Using installer location");
    });
    for (const SearchEntry& entry : entries) steps.push_back([&] { return fallbackEntry(entry); });
    steps.push_back([&] {
      return previousInstallation(roots_.user, "found JRE from previous installation (user) %s");
    });
    steps.push_back([&] {
      return previousInstallation(roots_.machine, "found JRE from previous installation (machine) %s");
    });
    steps.push_back([&]() -> StepResult {
      writeLog("Search sequence finished");
      return std::nullopt;
    });
    for (const char* variable : {"RUNVO_JAVA_HOME", "KESTRELIX_JAVA_HOME"}) {
      steps.push_back([this, variable] { return javaHomeVariable(variable); });
    }

    for (const auto& step : steps) {
      auto found = step();
      if (!found) return found.takeError();
      if (*found) return finished(std::move(**found));
    }
    return finished({});
  }

 private:
  JvmSearchResult finished(JvmSearchResult result) {
    result.rejected = std::move(looked_);
    std::erase_if(result.rejected, [](const JvmCandidate& candidate) { return candidate.accepted(); });
    return result;
  }

  // The judged candidate, kept for the record; none unless it was accepted.
  Outcome<std::optional<JvmCandidate>> judge(const std::string& javaExe, std::string origin, bool allowBeta) {
    auto candidate = checkJavaExe(javaExe, std::move(origin), settings_, allowBeta);
    if (!candidate) return candidate.takeError();
    looked_.push_back(*candidate);
    return candidate->accepted() ? std::optional(*candidate) : std::nullopt;
  }

  Outcome<std::optional<JvmCandidate>> judgeHome(const std::string& home, std::string origin, bool allowBeta) {
    const HomeExecutable executable = javaExeForHome(home, settings_.requireJdk);
    if (!executable.qualifies) {
      looked_.push_back({executable.javaExe, std::move(origin), std::nullopt, notAJdkReason()});
      return std::nullopt;
    }
    return judge(executable.javaExe, std::move(origin), allowBeta);
  }

  // The first line of a file under the application directory, line ends removed.
  std::optional<std::string> readLocationFile(const char* relativeName) const {
    const std::string path = fullPath(settings_.applicationDirectory, /*keepCase=*/true) + relativeName;
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

  Outcome<std::optional<JvmCandidate>> testDirectoryLocation(const std::string& location, std::string origin) {
    const std::string home = fullPath(location, /*keepCase=*/false);
    if (auto prepared = prepareJre(home); !prepared) return prepared.takeError();
    return judgeHome(home, std::move(origin), /*allowBeta=*/true);
  }

  Outcome<std::optional<JvmCandidate>> testEnvironmentLocation(const std::string& variable) {
    std::string home = environmentVariable(variable.c_str());
    if (home.empty()) return std::nullopt;
    std::replace(home.begin(), home.end(), '/', '\\');
    return judgeHome(home, "variable " + variable, /*allowBeta=*/false);
  }

  Outcome<std::optional<JvmCandidate>> testSearchPath() {
    // Only the folders PATH names: never the current directory.
    const std::string path = wholePathVariable();
    const std::string found = filledBuffer<char>(
        [&](char* b, DWORD n) { return SearchPathA(path.c_str(), "java.exe", nullptr, n, b, nullptr); });
    if (found.empty()) return std::nullopt;
    return judge(found, "PATH", /*allowBeta=*/false);
  }

  static StepResult resultOf(Outcome<std::optional<JvmCandidate>> found, JvmSourceKind kind,
                             const std::string& location) {
    if (!found) return found.takeError();
    if (!*found) return std::nullopt;
    return std::optional(JvmSearchResult{kind, (*found)->javaExe, location});
  }

  StepResult tryLocationFile(const char* relativeName, const char* hasFormat, const char* usingLine) {
    auto line = readLocationFile(relativeName);
    if (!line) return std::nullopt;
    writeLog(hasFormat, line->c_str());
    auto found = resultOf(testDirectoryLocation(*line, relativeName + 1), JvmSourceKind::Directory, *line);
    if (found && *found) writeLog("%s", usingLine);
    return found;
  }

  StepResult testEntry(const SearchEntry& entry) {
    std::string location = entry.location;
    expandVariablesInPlace(location, values_);
    writeLog("Testing location %s (type %c)", location.c_str(), entry.type);
    switch (entry.type) {
      case 'A':
      case 'B':
      case 'R':
        return resultOf(testDirectoryLocation(location, "search entry " + std::string(1, entry.type)),
                        JvmSourceKind::Directory, location);
      case 'E': return resultOf(testEnvironmentLocation(location), JvmSourceKind::EnvironmentVariable, location);
      case 'S': return resultOf(testSearchPath(), JvmSourceKind::SearchPath, location);
      case 'Y': {
        auto found = searchRegistry(roots_, settings_, looked_);
        return resultOf(std::move(found), JvmSourceKind::Registry, {});
      }
      default: return std::nullopt;
    }
  }

  // Without version checks: a relative directory that holds a Java executable
  // is taken as it is.
  StepResult fallbackEntry(const SearchEntry& entry) {
    if (!retriedInFallbackPass(entry)) return std::nullopt;
    writeLog("Testing relative location %s", entry.location.c_str());
    // Expanded as in the first pass, so that a bundled runtime (%RUNVO_TEMPDIR%\jre) is found here too.
    std::string location = entry.location;
    expandVariablesInPlace(location, values_);
    const std::string home = fullPath(location, /*keepCase=*/false);
    if (auto prepared = prepareJre(home); !prepared) return prepared.takeError();
    const std::string javaExe = javaExeForHome(home, settings_.requireJdk).javaExe;
    if (!pathExists(javaExe)) return std::nullopt;
    writeLog("%s exists", javaExe.c_str());
    return std::optional(JvmSearchResult{JvmSourceKind::Directory, javaExe, entry.location});
  }

  StepResult previousInstallation(HKEY hive, const char* format) {
    auto found = findPreviousInstallation(hive, settings_, looked_);
    if (found && *found) writeLog(format, (*found)->javaExe.c_str());
    return resultOf(std::move(found), JvmSourceKind::Registry, {});
  }

  StepResult javaHomeVariable(const char* variable) {
    return resultOf(testEnvironmentLocation(variable), JvmSourceKind::EnvironmentVariable, variable);
  }

  const JvmSettings& settings_;
  const LauncherValues& values_;
  const RegistryRoots& roots_;
  std::vector<JvmCandidate> looked_;
};
}  // namespace

Outcome<JvmSearchResult> searchJvm(const JvmSettings& settings, const LauncherValues& values,
                                   const RegistryRoots& roots) {
  return JvmSearch(settings, values, roots).run();
}

}  // namespace runvo
