// Which installed Java runtime to use: the configured search sequence and the
// fixed sources around it, tried in order until one passes.
#pragma once
#include <string>
#include <vector>

#include "jvm/candidate_rules.h"
#include "jvm/registry_search.h"
#include "payload/expansion.h"
#include "util/outcome.h"

namespace runvo {

enum class JvmSourceKind { None = 0, SearchPath = 1, Directory = 2, EnvironmentVariable = 3, Registry = 4 };

struct JvmSearchResult {
  JvmSourceKind kind = JvmSourceKind::None;
  std::string javaExe;       // the accepted Java executable
  std::string locationText;  // what the failure messages quote
  // Every candidate that was looked at and not taken, with its reason.
  std::vector<JvmCandidate> rejected;
};

// Fails only when a version probe has no usable temporary folder; finding
// nothing is a result of kind None.
Outcome<JvmSearchResult> searchJvm(const JvmSettings& settings, const LauncherValues& values,
                                   const RegistryRoots& roots = {});

}  // namespace runvo
