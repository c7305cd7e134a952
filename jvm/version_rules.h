// Java version texts and how they compare: runs of digits as numbers, every
// other character by its code, so that 1.8.0_200 is above 1.8.0_45 and
// 17.0.10 above 17.0.2.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace runvo {

// Negative, zero or positive as a is below, equal to or above b. A text that
// is a proper prefix of the other (in segments) is below it.
int compareVersions(std::string_view a, std::string_view b);

// How `version` compares with `bound` over the segments the bound has: a bound
// of 1.6 puts every 1.6.x level with it. An empty bound compares equal.
int compareWithBound(std::string_view version, std::string_view bound);

// True when the text holds "beta", "ea" or "rc" anywhere.
bool isPrereleaseVersion(std::string_view version);

struct VersionBounds {
  std::string min;  // empty: no lower bound
  std::string max;  // empty: no upper bound
};

enum class VersionVerdict { Accepted, Prerelease, BelowMinimum, AboveMaximum };

// The acceptance test of a found version: pre-releases only when allowed,
// then both bounds.
VersionVerdict judgeVersion(std::string_view version, const VersionBounds& bounds, bool allowPrerelease);

// The looser test for registry entries named by a version: each bound
// constrains only as many segments as the shorter of the two has, so an entry
// named 1.6 passes a minimum of 1.6.0_10.
bool versionPrefixInRange(std::string_view version, const VersionBounds& bounds);

// The version in the output of "java -version": the text between the quotes
// of the first of the given lines that reads `java version "..."` or
// `openjdk version "..."`. Lines before it (such as "Picked up
// JAVA_TOOL_OPTIONS: ...") are passed over.
std::optional<std::string> parseVersionOutput(const std::vector<std::string>& firstLines);

// The name of a Java executable's entry in the version cache: its full,
// lower-case path with every backslash turned into "/".
std::string versionCacheKeyName(std::string_view lowerCaseFullPath);

}  // namespace runvo
