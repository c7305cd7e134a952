#include "launch/class_path.h"

#include "diag/log.h"
#include "payload/config_keys.h"
#include "util/path_rules.h"
#include "util/text.h"

namespace runvo {

namespace {
// Whether the name ends in the extension (".jar"), in any case, as the
// file system's own "*.jar" matches.
bool hasExtension(std::string_view name, std::string_view extension) {
  return name.size() >= extension.size() &&
         equalsIgnoringAsciiCase(name.substr(name.size() - extension.size()), extension);
}

// Appends "<directory>\<name>;" for each jar in the directory, then for each
// zip; false when the directory does not exist.
bool addArchives(std::string& classPath, const std::string& directory, const ClassPathSources& sources) {
  const std::optional<std::vector<std::string>> names = sources.directoryNames(directory);
  if (!names) return false;
  for (std::string_view extension : {".jar", ".zip"}) {
    for (const std::string& name : *names) {
      if (hasExtension(name, extension)) classPath += sources.absolute(directory + "\\" + name) + ";";
    }
  }
  return true;
}

struct EntryCheck {
  bool found = false;
  std::string expanded;  // what the messages name
};

// One configured entry: type letter, '1' when required, then the path or
// variable name.
Outcome<EntryCheck> addConfiguredEntry(std::string& classPath, const std::string& entry,
                                       const ClassPathSources& sources) {
  EntryCheck check{false, sources.expanded(entry.size() > 2 ? entry.substr(2) : std::string())};
  const bool required = entry.size() > 1 && entry[1] == '1';
  switch (entry[0]) {
    case 'A':
    case 'D':
      check.expanded = absolutePathList(check.expanded, [&](std::string_view piece) { return sources.absolute(piece); });
      classPath += check.expanded + ";";
      check.found = sources.exists(check.expanded);
      return check;
    case 'E': {
      const std::optional<std::string> defined = sources.variable(check.expanded);
      std::string value = defined.value_or("");
      if (value.empty()) {
        if (required && !defined) {
          return keyedFailure(kMsgUndefinedVariable, check.expanded, "reading the class path variable");
        }
        return check;
      }
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      classPath += value;
      if (value.empty() || value.back() != ';') classPath += ';';
      check.found = true;
      return check;
    }
    case 'S': {
      const std::string directory = sources.absolute(check.expanded);
      check.found = addArchives(classPath, directory, sources);
      return check;
    }
    default: return check;
  }
}

Status addConfiguredEntries(std::string& classPath, const std::string& configured, const ClassPathSources& sources) {
  writeLog("classpath entry %s", configured.c_str());
  for (const std::string& entry : splitNonEmpty(configured, ';')) {
    auto check = addConfiguredEntry(classPath, entry, sources);
    if (!check) return check.takeError();
    // A required entry of an unknown type, or whose variable is empty, is missing too.
    if (!check->found && entry.size() > 1 && entry[1] == '1') {
      return keyedFailure(kMsgMissingClassPathEntry, check->expanded, "building the class path");
    }
  }
  return done();
}
}  // namespace

Outcome<std::string> buildClassPathOption(const ClassPathDirectives& directives, const LaunchSettings& settings,
                                          const std::string& extractionDirectory, const ClassPathSources& sources) {
  std::string classPath = "-Djava.class.path=";
  if (directives.prepend) classPath += *directives.prepend + ";";
  // Without embedded files there is no extraction directory to scan (its
  // "user" folder would otherwise be taken from the root of the drive).
  if (!extractionDirectory.empty()) {
    addArchives(classPath, extractionDirectory, sources);
    addArchives(classPath, extractionDirectory + "\\user", sources);
  }
  if (settings.installerFlavour()) {
    std::string jar = sources.applicationDirectory();
    if (jar.empty() || jar.back() != '\\') jar += '\\';
    classPath += jar + ".kestrelix\\ksxruntime.jar;";
  }
  if (directives.override) {
    classPath += *directives.override;
  } else if (auto added = addConfiguredEntries(classPath, settings.classPath, sources); !added) {
    return added.takeError();
  }
  if (directives.append) {
    if (classPath.back() != ';') classPath += ';';
    classPath += *directives.append;
  }
  return classPath;
}

}  // namespace runvo
