// Java runtimes named in the registry: the keys Java installers write under
// "SOFTWARE\JavaSoft", the launcher's own list of located runtimes, and the
// record of earlier installations of the application.
#pragma once
#include <string>

#include "jvm/version_rules.h"
#include "util/win.h"

namespace runvo {

struct JvmCandidate {
  std::string javaExe;
  std::string version;
};

// The better of the JavaSoft runtime and the located one.
bool searchRegistry(std::string& javaExe, const VersionBounds& bounds);
// A runtime under "<installation>\jre" of an earlier installation, named by
// the value that key 160 gives, in one hive.
bool findPreviousInstallation(HKEY hive, std::string& javaExe, const VersionBounds& bounds);

bool findJavaSoftJvm(JvmCandidate& found, const VersionBounds& bounds);
bool findLocatedJvm(JvmCandidate& found, const VersionBounds& bounds);
bool findLocatedJvmInHive(HKEY hive, JvmCandidate& found, const VersionBounds& bounds);

}  // namespace runvo
