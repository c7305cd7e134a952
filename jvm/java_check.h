// Judging a Java executable: its version comes from the per-user cache while
// the file is unchanged, otherwise from running it with "-version"; then the
// configured bounds and the pre-release rule decide.
#pragma once
#include <string>

#include "jvm/version_rules.h"
#include "util/win.h"

namespace runvo {

// How long a "-version" run may take before it is ended: 60 seconds. It is
// defined apart (jvm/probe_timeout.cpp) so that the tests link a stub with a
// shorter limit and see a hanging probe end quickly.
extern const DWORD kProbeTimeoutMs;

// The Java executable of a home. With a JDK required (key 131), the home must
// hold "lib\tools.jar" or "bin\javac.exe"; the JDK's own runtime under "jre"
// is used when it has one.
bool javaExeForHome(std::string& javaExe, const std::string& home);

// Leaves the full, lower-case path in javaExe (javaw.exe for a windowed
// application once accepted) and the version found in `version`.
bool checkJavaExe(std::string& javaExe, std::string& version, const VersionBounds& bounds, bool allowBeta);

bool probeJavaVersion(const std::string& javaExe, const FILETIME& lastWrite, std::string& version);
bool readVersionCache(const std::string& javaExe, const FILETIME& lastWrite, std::string& version);
void writeVersionCache(const std::string& javaExe, const FILETIME& lastWrite, const std::string& version);

}  // namespace runvo
