// Judging Java runtimes found on the machine, apart from how they were found:
// the Windows side gathers the facts of each candidate, these rules decide.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "jvm/jvm_settings.h"

namespace runvo {

// What the Windows side found out about one Java executable.
struct JavaExeFacts {
  bool exists = false;
  // None when neither the version cache nor running it gave one.
  std::optional<std::string> version;
};

// One Java executable that was looked at, and the verdict.
struct JvmCandidate {
  std::string javaExe;
  std::string origin;  // where it was found, in a few words
  std::optional<std::string> version;
  std::string rejection;  // why it was not taken; empty when it was

  bool accepted() const { return rejection.empty(); }
};

// Why the executable does not qualify, or empty when it does. Directory
// entries of the search allow pre-releases whatever the configuration says.
std::string rejectionReason(const JavaExeFacts& facts, const JvmSettings& settings, bool allowBeta);

// Why a registry entry named by a version is passed over, or empty when the
// version is in range by the registry's looser test (each bound constrains
// only the segments both texts have).
std::string registryVersionRejection(std::string_view version, const VersionBounds& bounds);

// The rejection of a home that is not a JDK when one is required.
std::string notAJdkReason();

// "...\java.exe" as "...\javaw.exe".
std::string windowedExecutable(std::string_view javaExe);

// The accepted candidate with the highest version; among equal versions the
// one that comes first. None when no candidate was accepted.
std::optional<JvmCandidate> highestAccepted(std::span<const JvmCandidate> candidates);

}  // namespace runvo
