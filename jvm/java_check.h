// Judging a Java executable: its version comes from the per-user cache while
// the file is unchanged, otherwise from running it with "-version"; then the
// configured bounds and the pre-release rule decide.
#pragma once
#include <optional>
#include <string>

#include "jvm/candidate_rules.h"
#include "util/outcome.h"
#include "util/win.h"

namespace runvo {

// How long a "-version" run may take before it is ended: 60 seconds. It is
// defined apart (jvm/probe_timeout.cpp) so that the tests link a stub with a
// shorter limit and see a hanging probe end quickly.
extern const DWORD kProbeTimeoutMs;

struct HomeExecutable {
  std::string javaExe;
  bool qualifies = true;  // false: a JDK is required and the home is none
};

// The Java executable of a home: the JDK's own runtime under "jre" when it
// has one. A JDK holds "lib\tools.jar" or "bin\javac.exe".
HomeExecutable javaExeForHome(const std::string& home, bool requireJdk);

// Judges a Java executable: the full, lower-case path (javaw.exe for a
// windowed application), the version found, and the verdict. Fails only when
// a version probe has no usable temporary folder.
Outcome<JvmCandidate> checkJavaExe(const std::string& javaExe, std::string origin, const JvmSettings& settings,
                                   bool allowBeta);

// Empty when the probe did not give a version; fails without a temporary folder.
Outcome<std::optional<std::string>> probeJavaVersion(const std::string& javaExe, const FILETIME& lastWrite);
std::optional<std::string> readVersionCache(const std::string& javaExe, const FILETIME& lastWrite);
void writeVersionCache(const std::string& javaExe, const FILETIME& lastWrite, const std::string& version);

}  // namespace runvo
