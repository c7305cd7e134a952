#include "jvm/registry_search.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "diag/log.h"
#include "jvm/java_check.h"
#include "payload/config.h"
#include "util/text.h"
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

bool jdkRequired() { return getConfigInt(kKeyRequireJdk) != 0; }

std::optional<std::string> readString(HKEY root, const std::string& keyPath, const char* valueName,
                                      DWORD capacity) {
  UniqueHKey key;
  if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
  std::string value(capacity, '\0');
  DWORD size = capacity;
  if (RegQueryValueExA(key.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) !=
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
    const LONG result = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_SUCCESS) names.emplace_back(name, length);
  }
  return names;
}

// A home found in the registry, checked as the registry sources check it.
bool acceptHome(const std::string& home, JvmCandidate& found, const VersionBounds& bounds) {
  std::string javaExe;
  if (!javaExeForHome(javaExe, home)) return false;
  std::string version;
  if (!checkJavaExe(javaExe, version, bounds, /*allowBeta=*/false)) return false;
  found = {javaExe, version};
  return true;
}

std::string currentVersionInRange(const char* keyPath, const VersionBounds& bounds) {
  auto version = readString(HKEY_LOCAL_MACHINE, keyPath, "CurrentVersion", 100);
  return version && versionPrefixInRange(*version, bounds) ? *version : std::string();
}

// The current versions of a JDK key and a JRE key, the higher of the two.
bool findCurrentVersion(const char* jdkKey, const char* jreKey, JvmCandidate& found, const VersionBounds& bounds) {
  const std::string jdkVersion = currentVersionInRange(jdkKey, bounds);
  const std::string jreVersion = jdkRequired() ? std::string() : currentVersionInRange(jreKey, bounds);
  const std::string keyPath = compareVersions(jdkVersion, jreVersion) > 0
                                  ? std::string(jdkKey) + "\\" + jdkVersion
                                  : std::string(jreKey) + "\\" + jreVersion;
  auto home = readString(HKEY_LOCAL_MACHINE, keyPath, "JavaHome", 8192);
  return home && acceptHome(*home, found, bounds);
}

// The versioned subkeys in range, tried from the highest down.
bool findInSubkeys(const char* keyPath, JvmCandidate& found, const VersionBounds& bounds) {
  UniqueHKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
  std::vector<std::string> names = subkeyNames(key.get());
  std::erase_if(names, [&](const std::string& name) { return !versionPrefixInRange(name, bounds); });
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return compareVersions(a, b) < 0; });
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    auto home = readString(key.get(), *name, "JavaHome", 8192);
    if (home && acceptHome(*home, found, bounds)) return true;
  }
  return false;
}

bool findJavaSoftIn(const char* jdkKey, const char* jreKey, JvmCandidate& found, const VersionBounds& bounds) {
  if (findCurrentVersion(jdkKey, jreKey, found, bounds)) return true;
  if (!jdkRequired() && findInSubkeys(jreKey, found, bounds)) return true;
  return findInSubkeys(jdkKey, found, bounds);
}

bool isHigher(const JvmCandidate& a, const JvmCandidate& b) { return compareVersions(a.version, b.version) > 0; }
}  // namespace

bool findJavaSoftJvm(JvmCandidate& found, const VersionBounds& bounds) {
  return findJavaSoftIn(kJdkKey, kJreKey, found, bounds) ||
         findJavaSoftIn(kModernJdkKey, kModernJreKey, found, bounds);
}

bool findLocatedJvmInHive(HKEY hive, JvmCandidate& found, const VersionBounds& bounds) {
  UniqueHKey key;
  if (RegOpenKeyExA(hive, kLocatedKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
  std::optional<JvmCandidate> best;
  for (std::string name : subkeyNames(key.get())) {
    std::replace(name.begin(), name.end(), '/', '\\');
    JvmCandidate candidate{name, {}};
    if (checkJavaExe(candidate.javaExe, candidate.version, bounds, /*allowBeta=*/true) &&
        (!best || isHigher(candidate, *best))) {
      best = candidate;
    }
  }
  if (best) found = *best;
  return best.has_value();
}

bool findLocatedJvm(JvmCandidate& found, const VersionBounds& bounds) {
  JvmCandidate user, machine;
  const bool inUser = findLocatedJvmInHive(HKEY_CURRENT_USER, user, bounds);
  const bool inMachine = findLocatedJvmInHive(HKEY_LOCAL_MACHINE, machine, bounds);
  if (inUser && (!inMachine || isHigher(user, machine))) {
    found = user;
  } else if (inMachine) {
    found = machine;
  }
  return inUser || inMachine;
}

bool searchRegistry(std::string& javaExe, const VersionBounds& bounds) {
  JvmCandidate javaSoft, located;
  const bool haveJavaSoft = findJavaSoftJvm(javaSoft, bounds);
  const bool haveLocated = findLocatedJvm(located, bounds);
  if (haveJavaSoft) writeLog("found sun %s %s", javaSoft.javaExe.c_str(), javaSoft.version.c_str());
  if (haveLocated) writeLog("found located %s %s", located.javaExe.c_str(), located.version.c_str());
  if (!haveJavaSoft && !haveLocated) return false;
  const bool takeJavaSoft = haveJavaSoft && (!haveLocated || isHigher(javaSoft, located));
  javaExe = takeJavaSoft ? javaSoft.javaExe : located.javaExe;
  return true;
}

bool findPreviousInstallation(HKEY hive, std::string& javaExe, const VersionBounds& bounds) {
  const std::string valueName = getConfigString(kKeyInstallationValue);
  if (valueName.empty()) return false;
  auto installations = readString(hive, kInstallationsKey, valueName.c_str(), 8192);
  if (!installations || installations->empty()) return false;
  writeLog("found installations: %s", installations->c_str());
  for (const std::string& installation : splitNonEmpty(*installations, ';')) {
    JvmCandidate found;
    if (acceptHome(installation + "\\jre", found, bounds)) {
      javaExe = found.javaExe;
      return true;
    }
  }
  return false;
}

}  // namespace runvo
