// Java runtimes named in the registry: the keys Java installers write under
// "SOFTWARE\JavaSoft", the launcher's own list of located runtimes, and the
// record of earlier installations of the application. Every walker takes its
// root keys as parameters, so that tests can point it at keys of their own.
#pragma once
#include <string>
#include <vector>

#include "jvm/candidate_rules.h"
#include "util/outcome.h"
#include "util/win.h"

namespace runvo {

struct RegistryRoots {
  HKEY machine = HKEY_LOCAL_MACHINE;
  HKEY user = HKEY_CURRENT_USER;
};

// The accepted runtime, if any; fails only when a version probe fails. Every
// candidate judged is appended to `looked`.
using CandidateSearch = Outcome<std::optional<JvmCandidate>>;

// The highest of the JavaSoft runtime, the located one and the vendors' one;
// on equal versions the located one, then JavaSoft's.
CandidateSearch searchRegistry(const RegistryRoots& roots, const JvmSettings& settings,
                               std::vector<JvmCandidate>& looked);
// A runtime under "<installation>\jre" of an earlier installation, named by
// the configured installation value, in one hive.
CandidateSearch findPreviousInstallation(HKEY hive, const JvmSettings& settings, std::vector<JvmCandidate>& looked);

CandidateSearch findJavaSoftJvm(HKEY machine, const JvmSettings& settings, std::vector<JvmCandidate>& looked);
CandidateSearch findLocatedJvm(const RegistryRoots& roots, const JvmSettings& settings,
                               std::vector<JvmCandidate>& looked);
CandidateSearch findLocatedJvmInHive(HKEY hive, const JvmSettings& settings, std::vector<JvmCandidate>& looked);
// The runtimes other JDK builds' installers register (64-bit view), the highest accepted.
CandidateSearch findVendorJvm(HKEY machine, const JvmSettings& settings, std::vector<JvmCandidate>& looked);

}  // namespace runvo
