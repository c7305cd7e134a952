#include "jvm/registry_search.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "diag/log.h"
#include "jvm/java_check.h"
#include "util/text.h"
#include "util/base_api.h"
#include "util/unique_handle.h"

namespace runvo {

namespace {
constexpr char kJreKey[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
constexpr char kJdkKey[] = "SOFTWARE\\JavaSoft\\Java Development Kit";
// Java 9 and later installers register here, in the same layout.
constexpr char kModernJdkKey[] = "SOFTWARE\\JavaSoft\\JDK";
constexpr char kModernJreKey[] = "SOFTWARE\\JavaSoft\\JRE";
constexpr char kLocatedKey[] = "SOFTWARE\\tallowmere-soft\\runvo\\locatedjvms\\";
constexpr char kInstallationsKey[] = "SOFTWARE\\tallowmere-soft\\kestrelix\\installations";

// Where the installers of other JDK builds register their homes, each in a
// layout of its own: "JDK\<version>\hotspot\MSI" with a value "Path"
// (Eclipse Adoptium, Microsoft; "openj9" for IBM Semeru), or one key a
// runtime with "InstallationPath" (Azul Zulu, BellSoft Liberica, Amazon Corretto).
constexpr const char* kVendorRoots[] = {
    "SOFTWARE\\Eclipse Adoptium", "SOFTWARE\\Microsoft\\JDK",    "SOFTWARE\\Azul Systems\\Zulu",
    "SOFTWARE\\Semeru",           "SOFTWARE\\BellSoft\\Liberica", "SOFTWARE\\Amazon Corretto",
};
constexpr const char* kVendorHomeValues[] = {"Path", "InstallationPath"};
// Deep enough for "JDK\<version>\hotspot\MSI" below a root.
constexpr int kVendorDepth = 4;

std::optional<std::string> readString(HKEY root, const std::string& keyPath, const char* valueName,
                                      DWORD capacity) {
  UniqueHKey key;
  if (base_api::RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
  std::string value(capacity, '\0');
  DWORD size = capacity;
  if (base_api::RegQueryValueExA(key.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.resize(strnlen(value.data(), size));
  return value;
}

std::vector<std::string> subkeyNames(HKEY key) {
  std::vector<std::string> names;
  char name[8192];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    const LONG result = base_api::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_SUCCESS) names.emplace_back(name, length);
  }
  return names;
}

// A home found in the registry, checked as the registry sources check it.
CandidateSearch acceptHome(const std::string& home, const char* origin, const JvmSettings& settings,
                           std::vector<JvmCandidate>& looked) {
  const HomeExecutable executable = javaExeForHome(home, settings.requireJdk);
  if (!executable.qualifies) {
    looked.push_back({executable.javaExe, origin, std::nullopt, notAJdkReason()});
    return std::nullopt;
  }
  auto candidate = checkJavaExe(executable.javaExe, origin, settings, /*allowBeta=*/false);
  if (!candidate) return candidate.takeError();
  looked.push_back(*candidate);
  return candidate->accepted() ? std::optional(*candidate) : std::nullopt;
}

std::string currentVersionInRange(HKEY machine, const char* keyPath, const VersionBounds& bounds) {
  auto version = readString(machine, keyPath, "CurrentVersion", 100);
  return version && versionPrefixInRange(*version, bounds) ? *version : std::string();
}

// The current versions of a JDK key and a JRE key, the higher of the two.
CandidateSearch findCurrentVersion(HKEY machine, const char* jdkKey, const char* jreKey, const JvmSettings& settings,
                                   std::vector<JvmCandidate>& looked) {
  const std::string jdkVersion = currentVersionInRange(machine, jdkKey, settings.bounds);
  const std::string jreVersion =
      settings.requireJdk ? std::string() : currentVersionInRange(machine, jreKey, settings.bounds);
  const std::string keyPath = compareVersions(jdkVersion, jreVersion) > 0
                                  ? std::string(jdkKey) + "\\" + jdkVersion
                                  : std::string(jreKey) + "\\" + jreVersion;
  auto home = readString(machine, keyPath, "JavaHome", 8192);
  if (!home) return std::nullopt;
  return acceptHome(*home, "registry (current version)", settings, looked);
}

// The versioned subkeys in range, tried from the highest down.
CandidateSearch findInSubkeys(HKEY machine, const char* keyPath, const JvmSettings& settings,
                              std::vector<JvmCandidate>& looked) {
  UniqueHKey key;
  if (base_api::RegOpenKeyExA(machine, keyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
  std::vector<std::string> names = subkeyNames(key.get());
  std::erase_if(names, [&](const std::string& name) {
    std::string rejection = registryVersionRejection(name, settings.bounds);
    if (rejection.empty()) return false;
    looked.push_back({"HKLM\\" + std::string(keyPath) + "\\" + name, "registry", name, std::move(rejection)});
    return true;
  });
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return compareVersions(a, b) < 0; });
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    auto home = readString(key.get(), *name, "JavaHome", 8192);
    if (!home) continue;
    auto found = acceptHome(*home, "registry", settings, looked);
    if (!found || *found) return found;
  }
  return std::nullopt;
}

CandidateSearch findJavaSoftIn(HKEY machine, const char* jdkKey, const char* jreKey, const JvmSettings& settings,
                               std::vector<JvmCandidate>& looked) {
  auto found = findCurrentVersion(machine, jdkKey, jreKey, settings, looked);
  if (!found || *found) return found;
  if (!settings.requireJdk) {
    found = findInSubkeys(machine, jreKey, settings, looked);
    if (!found || *found) return found;
  }
  return findInSubkeys(machine, jdkKey, settings, looked);
}

// The highest of the searches' results; the first of equal versions wins.
CandidateSearch highestOf(std::initializer_list<const CandidateSearch*> searches) {
  std::vector<JvmCandidate> found;
  for (const CandidateSearch* search : searches) {
    if (!*search) return *search;
    if (**search) found.push_back(***search);
  }
  return highestAccepted(found);
}

// The homes a vendor's keys name, at any depth up to the limit.
void collectVendorHomes(HKEY key, int depth, std::vector<std::string>& homes) {
  for (const char* valueName : kVendorHomeValues) {
    if (auto home = readString(key, "", valueName, 8192); home && !home->empty()) homes.push_back(*home);
  }
  if (depth == 0) return;
  for (const std::string& name : subkeyNames(key)) {
    UniqueHKey subkey;
    if (base_api::RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, subkey.put()) == ERROR_SUCCESS) {
      collectVendorHomes(subkey.get(), depth - 1, homes);
    }
  }
}
}  // namespace

CandidateSearch findJavaSoftJvm(HKEY machine, const JvmSettings& settings, std::vector<JvmCandidate>& looked) {
  auto found = findJavaSoftIn(machine, kJdkKey, kJreKey, settings, looked);
  if (!found || *found) return found;
  return findJavaSoftIn(machine, kModernJdkKey, kModernJreKey, settings, looked);
}

CandidateSearch findLocatedJvmInHive(HKEY hive, const JvmSettings& settings, std::vector<JvmCandidate>& looked) {
  UniqueHKey key;
  if (base_api::RegOpenKeyExA(hive, kLocatedKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
  std::vector<JvmCandidate> judged;
  for (std::string name : subkeyNames(key.get())) {
    std::replace(name.begin(), name.end(), '/', '\\');
    auto candidate = checkJavaExe(name, "located runtimes", settings, /*allowBeta=*/true);
    if (!candidate) return candidate.takeError();
    judged.push_back(*candidate);
  }
  looked.insert(looked.end(), judged.begin(), judged.end());
  return highestAccepted(judged);
}

CandidateSearch findLocatedJvm(const RegistryRoots& roots, const JvmSettings& settings,
                               std::vector<JvmCandidate>& looked) {
  auto user = findLocatedJvmInHive(roots.user, settings, looked);
  auto machine = findLocatedJvmInHive(roots.machine, settings, looked);
  return highestOf({&machine, &user});
}

CandidateSearch findVendorJvm(HKEY machine, const JvmSettings& settings, std::vector<JvmCandidate>& looked) {
  std::vector<JvmCandidate> judged;
  for (const char* root : kVendorRoots) {
    UniqueHKey key;
    // The 64-bit view, where 64-bit runtimes register.
    if (base_api::RegOpenKeyExA(machine, root, 0, KEY_READ | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS) continue;
    std::vector<std::string> homes;
    collectVendorHomes(key.get(), kVendorDepth, homes);
    for (const std::string& home : homes) {
      std::vector<JvmCandidate> one;
      auto found = acceptHome(home, root, settings, one);
      if (!found) return found;
      judged.insert(judged.end(), one.begin(), one.end());
    }
  }
  looked.insert(looked.end(), judged.begin(), judged.end());
  return highestAccepted(judged);
}

CandidateSearch searchRegistry(const RegistryRoots& roots, const JvmSettings& settings,
                               std::vector<JvmCandidate>& looked) {
  auto javaSoft = findJavaSoftJvm(roots.machine, settings, looked);
  if (!javaSoft) return javaSoft;
  auto located = findLocatedJvm(roots, settings, looked);
  if (!located) return located;
  auto vendor = findVendorJvm(roots.machine, settings, looked);
  if (!vendor) return vendor;
  if (*javaSoft) writeLog("found sun %s %s", (*javaSoft)->javaExe.c_str(), (*javaSoft)->version->c_str());
  if (*located) writeLog("found located %s %s", (*located)->javaExe.c_str(), (*located)->version->c_str());
  if (*vendor) writeLog("found vendor %s %s", (*vendor)->javaExe.c_str(), (*vendor)->version->c_str());
  return highestOf({&located, &javaSoft, &vendor});
}

CandidateSearch findPreviousInstallation(HKEY hive, const JvmSettings& settings, std::vector<JvmCandidate>& looked) {
  if (settings.installationValue.empty()) return std::nullopt;
  auto installations = readString(hive, kInstallationsKey, settings.installationValue.c_str(), 8192);
  if (!installations || installations->empty()) return std::nullopt;
  writeLog("found installations: %s", installations->c_str());
  for (const std::string& installation : splitNonEmpty(*installations, ';')) {
    auto found = acceptHome(installation + "\\jre", "an earlier installation", settings, looked);
    if (!found || *found) return found;
  }
  return std::nullopt;
}

}  // namespace runvo
