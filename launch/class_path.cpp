#include "launch/class_path.h"

#include "diag/log.h"
#include "diag/messages.h"
#include "diag/startup.h"
#include "payload/config.h"
#include "payload/temp_dirs.h"
#include "util/environment.h"
#include "util/expand.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/unique_handle.h"

namespace runvo {

namespace {
void addArchives(std::string& classPath, const std::string& directory) {
  addArchivesOfDirectory(classPath, directory, "jar");
  addArchivesOfDirectory(classPath, directory, "zip");
}

void addRuntimeJar(std::string& classPath) {
  if (!isInstallerFlavour()) return;
  std::string jar = fullPath(getConfigString(kKeyApplicationDirectory), /*keepCase=*/true);
  if (jar.empty() || jar.back() != '\\') jar += '\\';
  classPath += jar + ".kestrelix\\ksxruntime.jar;";
}

// One configured entry: type letter, '1' when required, then the path or
// variable name. Returns whether it was found.
bool addConfiguredEntry(std::string& classPath, const std::string& entry, std::string& expanded) {
  expanded = entry.size() > 2 ? entry.substr(2) : std::string();
  expandVariablesInPlace(expanded);
  const bool required = entry.size() > 1 && entry[1] == '1';
  switch (entry[0]) {
    case 'A':
    case 'D': {
      expanded = absolutePathList(expanded);
      classPath += expanded + ";";
      return pathExists(expanded);
    }
    case 'E': {
      std::string value = environmentVariable(expanded.c_str());
      if (value.empty()) {
        if (required && GetEnvironmentVariableA(expanded.c_str(), nullptr, 0) == 0 &&
            GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
          fatalErrorByKey(kMsgUndefinedVariable, expanded);
        }
        return false;
      }
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      classPath += value;
      if (value.empty() || value.back() != ';') classPath += ';';
      return true;
    }
    case 'S': return addArchivesOfDirectory(classPath, absoluteAgainstLauncher(expanded), "jar") &&
                     addArchivesOfDirectory(classPath, absoluteAgainstLauncher(expanded), "zip");
    default: return false;
  }
}

void addConfiguredEntries(std::string& classPath) {
  const std::string configured = getConfigString(kKeyClassPath);
  writeLog("classpath entry %s", configured.c_str());
  for (const std::string& entry : splitNonEmpty(configured, ';')) {
    std::string expanded;
    const bool found = addConfiguredEntry(classPath, entry, expanded);
    // A required entry of an unknown type, or whose variable is empty, is missing too.
    if (!found && entry.size() > 1 && entry[1] == '1') fatalErrorByKey(kMsgMissingClassPathEntry, expanded);
  }
}
}  // namespace

bool addArchivesOfDirectory(std::string& classPath, const std::string& directory, const std::string& extension) {
  if (!pathExists(directory)) return false;
  const std::string pattern = directory + "\\*" + (extension.starts_with('.') ? "" : ".") + extension;
  WIN32_FIND_DATAA entry;
  UniqueFindHandle search(FindFirstFileA(pattern.c_str(), &entry));
  if (!search) return true;
  do {
    classPath += absoluteAgainstLauncher(directory + "\\" + entry.cFileName) + ";";
  } while (FindNextFileA(search.get(), &entry));
  return true;
}

std::string buildClassPathOption(const ClassPathDirectives& directives) {
  std::string classPath = "-Djava.class.path=";
  if (directives.prepend) classPath += *directives.prepend + ";";
  // Without embedded files there is no extraction directory to scan (its
  // "user" folder would otherwise be taken from the root of the drive).
  if (const std::string& extracted = extractionDirectory(); !extracted.empty()) {
    addArchives(classPath, extracted);
    addArchives(classPath, extracted + "\\user");
  }
  addRuntimeJar(classPath);
  if (directives.override) {
    classPath += *directives.override;
  } else {
    addConfiguredEntries(classPath);
  }
  if (directives.append) {
    if (classPath.back() != ';') classPath += ';';
    classPath += *directives.append;
  }
  return classPath;
}

}  // namespace runvo
