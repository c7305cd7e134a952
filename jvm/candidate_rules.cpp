#include "jvm/candidate_rules.h"

namespace runvo {

std::string rejectionReason(const JavaExeFacts& facts, const JvmSettings& settings, bool allowBeta) {
  if (!facts.exists) return "no such file";
  if (!facts.version) return "its version could not be read";
  const std::string& version = *facts.version;
  switch (judgeVersion(version, settings.bounds, allowBeta || settings.allowPrerelease)) {
    case VersionVerdict::Accepted: return {};
    case VersionVerdict::Prerelease: return "version " + version + " is a pre-release, which is not allowed";
    case VersionVerdict::BelowMinimum: return "version " + version + " is below the minimum " + settings.bounds.min;
    case VersionVerdict::AboveMaximum: return "version " + version + " is above the maximum " + settings.bounds.max;
  }
  return "version " + version + " is not accepted";
}

std::string registryVersionRejection(std::string_view version, const VersionBounds& bounds) {
  if (versionPrefixInRange(version, bounds)) return {};
  const std::string text(version);
  if (!versionPrefixInRange(version, {bounds.min, {}})) return "version " + text + " is below the minimum " + bounds.min;
  return "version " + text + " is above the maximum " + bounds.max;
}

std::string notAJdkReason() { return "not a JDK (neither lib\\tools.jar nor bin\\javac.exe), and a JDK is required"; }

std::string windowedExecutable(std::string_view javaExe) {
  std::string windowed(javaExe);
  if (windowed.size() >= 4) windowed.replace(windowed.size() - 4, 4, "w.exe");
  return windowed;
}

std::optional<JvmCandidate> highestAccepted(std::span<const JvmCandidate> candidates) {
  const JvmCandidate* best = nullptr;
  for (const JvmCandidate& candidate : candidates) {
    if (!candidate.accepted()) continue;
    if (best == nullptr || compareVersions(candidate.version.value_or(""), best->version.value_or("")) > 0) {
      best = &candidate;
    }
  }
  return best ? std::optional(*best) : std::nullopt;
}

}  // namespace runvo
