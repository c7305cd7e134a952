#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "jvm/version_rules.h"

namespace runvo {
namespace {

int sign(int value) { return (value > 0) - (value < 0); }

TEST(VersionRules, CompareVersionsBySegments) {
  struct Case {
    const char* a;
    const char* b;
    int order;
  };
  const Case cases[] = {
      {"1.8.0_45", "1.8.0_200", -1},  // numbers, not bytes
      {"17.0.10", "17.0.2", 1},
      {"9.0.4", "11", -1},
      {"1.6", "1.6.0", -1},           // running out first is lower
      {"1.6.0_21", "1.6.0_21", 0},
      {"", "", 0},
      {"", "1", -1},
      {"007", "7", 0},                // equal value, equal segment
      {"1.a", "1.5", 1},              // letter against digit run: by first code
      {"1.8.0-ea", "1.8.0_45", -1},   // '-' below '_'
      {"1.0\xE9", "1.0a", 1},         // codes compared unsigned
      {"1.99999999999999999999999", "1.100000000000000000000000", -1},  // no overflow
      {"1.000000000000000000000000005", "1.5", 0},
  };
  for (const auto& [a, b, order] : cases) {
    EXPECT_EQ(sign(compareVersions(a, b)), order) << a << " vs " << b;
    EXPECT_EQ(sign(compareVersions(b, a)), -order) << b << " vs " << a;
  }
}

TEST(VersionRules, BoundConstrainsOnlyItsOwnSegments) {
  struct Case {
    const char* version;
    const char* bound;
    int order;
  };
  const Case cases[] = {
      {"1.6.0_45", "1.6", 0}, {"1.7.0", "1.6", 1}, {"1.5.9", "1.6", -1}, {"1.6", "1.6.0_10", -1},
      {"1.8.0", "1.8.0_45", -1}, {"anything", "", 0}, {"", "", 0}, {"", "1", -1},
  };
  for (const auto& [version, bound, order] : cases) {
    EXPECT_EQ(sign(compareWithBound(version, bound)), order) << version << " against " << bound;
  }
}

TEST(VersionRules, JudgeVersion) {
  struct Case {
    const char* version;
    VersionBounds bounds;
    bool allowPrerelease;
    VersionVerdict verdict;
  };
  using enum VersionVerdict;
  const Case cases[] = {
      {"1.6.0_21", {"1.6", ""}, false, Accepted},
      {"1.7.0", {"1.6", ""}, false, Accepted},
      {"11.0.2", {"1.6", ""}, false, Accepted},
      {"1.5.0_22", {"1.6", ""}, false, BelowMinimum},
      {"1.10", {"1.6", ""}, false, Accepted},  // ten is above six
      {"1.6.0_45", {"", "1.6"}, false, Accepted},
      {"1.7.0", {"", "1.6"}, false, AboveMaximum},
      {"1.0.0", {"", ""}, false, Accepted},
      {"1.8.0_45", {"1.8.0_200", ""}, false, BelowMinimum},
      {"17.0.10", {"17.0.2", ""}, false, Accepted},
      {"9.0.4", {"11", ""}, false, BelowMinimum},
      {"1.8.0_200", {"", "1.8.0_45"}, false, AboveMaximum},
      {"17.0.15", {"11", "17"}, false, Accepted},
      {"21", {"11", "17"}, false, AboveMaximum},
      {"1.7.0-ea", {"", ""}, false, Prerelease},
      {"1.7.0-ea", {"", ""}, true, Accepted},
      {"1.5.0-rc", {"1.6", ""}, false, Prerelease},  // the pre-release rule comes first
      {"1.5.0-rc", {"1.6", ""}, true, BelowMinimum},
      {"", {"1.6", ""}, false, BelowMinimum},
  };
  for (const auto& [version, bounds, allowPrerelease, verdict] : cases) {
    EXPECT_EQ(judgeVersion(version, bounds, allowPrerelease), verdict)
        << version << " in [" << bounds.min << ", " << bounds.max << "] pre-release allowed: " << allowPrerelease;
  }
}

TEST(VersionRules, PrefixRangeComparesSharedSegmentsOnly) {
  struct Case {
    const char* version;
    VersionBounds bounds;
    bool inRange;
  };
  const Case cases[] = {
      {"1.6", {"1.6.0_10", ""}, true},  // the exact version is judged later
      {"1.5", {"1.6.0_10", ""}, false},
      {"1.6.0_05", {"1.6.0_10", ""}, false},
      {"1.6", {"", "1.6.0_45"}, true},
      {"1.7", {"", "1.6.0_45"}, false},
      {"1.6.0_50", {"", "1.6"}, true},
      {"1.10", {"1.6", ""}, true},
      {"9", {"11", ""}, false},
      {"1.8.0_45", {"1.8.0_200", ""}, false},
      {"", {"1.6", "1.7"}, true},
      {"anything", {"", ""}, true},
  };
  for (const auto& [version, bounds, inRange] : cases) {
    EXPECT_EQ(versionPrefixInRange(version, bounds), inRange)
        << version << " in [" << bounds.min << ", " << bounds.max << "]";
  }
}

TEST(VersionRules, PrereleaseMarkersAnywhereCaseSensitive) {
  for (const char* version : {"1.7.0-ea", "9-beta", "1.8.0-rc1", "release", "1.8.0_source", "ea", "rc"}) {
    EXPECT_TRUE(isPrereleaseVersion(version)) << version;
  }
  for (const char* version : {"1.8.0_45", "17.0.15", "1.7.0-EA", "1.6.0-Beta", "1.9-RC", "b-e-t-a", "", "e a"}) {
    EXPECT_FALSE(isPrereleaseVersion(version)) << version;
  }
}

TEST(VersionRules, VersionLineParsing) {
  struct Case {
    std::vector<std::string> lines;
    std::optional<std::string> version;
  };
  const Case cases[] = {
      {{"java version \"1.6.0_21\"", "Java(TM) SE Runtime Environment (build 1.6.0_21-b07)"}, "1.6.0_21"},
      {{"java version \"1.8.0_202\"\r\n", "Java(TM) SE Runtime Environment"}, "1.8.0_202"},
      {{"openjdk version \"17.0.15\" 2025-04-15", "OpenJDK Runtime Environment"}, "17.0.15"},
      {{"openjdk version \"1.7.0-ea\""}, "1.7.0-ea"},
      {{"Picked up JAVA_TOOL_OPTIONS: -Xmx1g", "openjdk version \"11.0.2\" 2019-01-15"}, "11.0.2"},
      {{"java version \"1.6.0_21", "openjdk version \"17\" 2021-09-14"}, "17"},  // unclosed line passed over
      {{"java version \"1.8.0\"", "openjdk version \"17\""}, "1.8.0"},
      {{"java version 1.6.0_21"}, std::nullopt},
      {{"java version \"1.6.0_21"}, std::nullopt},
      {{"java version \"\""}, std::nullopt},
      {{"java version \"\"", "openjdk version \"17\""}, std::nullopt},  // the first line of the form decides
      {{" java version \"1.8.0\""}, std::nullopt},
      {{"Java version \"1.8.0\""}, std::nullopt},
      {{"Error: could not open `C:\\jre\\lib\\amd64\\jvm.cfg'", "\x01\x02\"\""}, std::nullopt},
      {{""}, std::nullopt},
      {{}, std::nullopt},
  };
  for (const auto& [lines, version] : cases) {
    EXPECT_EQ(parseVersionOutput(lines), version) << (lines.empty() ? "(no lines)" : lines.front());
  }
}

TEST(VersionRules, LongVersionIsCutToWhatTheProbeReads) {
  const std::string longVersion = "1." + std::string(150, '9');
  const auto parsed = parseVersionOutput({"openjdk version \"" + longVersion + "\" 2025-04-15"});
  ASSERT_TRUE(parsed);
  EXPECT_EQ(*parsed, longVersion.substr(0, 99));
}

TEST(VersionRules, CacheKeyNameUsesForwardSlashes) {
  const std::pair<const char*, const char*> cases[] = {
      {"c:\\java\\bin\\java.exe", "c:/java/bin/java.exe"},
      {"\\\\server\\share\\jre\\bin\\javaw.exe", "//server/share/jre/bin/javaw.exe"},
      {"c:/mixed\\x", "c:/mixed/x"},
      {"", ""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(versionCacheKeyName(path), name) << path;
}

}  // namespace
}  // namespace runvo
