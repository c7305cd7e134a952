// Judging Java runtime candidates from their facts, and choosing among them.
#include <gtest/gtest.h>

#include "jvm/candidate_rules.h"

namespace runvo {
namespace {

TEST(CandidateRules, EveryRejectionSaysWhy) {
  struct Case {
    const char* label;
    JavaExeFacts facts;
    VersionBounds bounds;
    bool allowPrerelease;
    bool allowBeta;
    std::string reason;
  };
  const Case cases[] = {
      {"no executable", {false, std::nullopt}, {}, false, false, "no such file"},
      {"no version", {true, std::nullopt}, {}, false, false, "its version could not be read"},
      {"accepted", {true, "17.0.15"}, {"17", "21"}, false, false, ""},
      {"below", {true, "17.0.15"}, {"99", ""}, false, false, "version 17.0.15 is below the minimum 99"},
      {"45 is below 200", {true, "1.8.0_45"}, {"1.8.0_200", ""}, false, false,
       "version 1.8.0_45 is below the minimum 1.8.0_200"},
      {"10 is above 2", {true, "17.0.10"}, {"17.0.2", ""}, false, false, ""},
      {"9 is below 11", {true, "9.0.4"}, {"11", ""}, false, false, "version 9.0.4 is below the minimum 11"},
      {"a maximum bounds only its own segments", {true, "1.6.0_45"}, {"", "1.6"}, false, false, ""},
      {"above", {true, "1.7.0"}, {"", "1.6"}, false, false, "version 1.7.0 is above the maximum 1.6"},
      {"pre-release refused", {true, "1.7.0-ea"}, {}, false, false,
       "version 1.7.0-ea is a pre-release, which is not allowed"},
      {"pre-release allowed by the configuration", {true, "1.7.0-ea"}, {}, true, false, ""},
      {"directories allow pre-releases", {true, "1.7.0-ea"}, {}, false, true, ""},
  };
  for (const Case& c : cases) {
    JvmSettings settings{.bounds = c.bounds, .allowPrerelease = c.allowPrerelease};
    EXPECT_EQ(rejectionReason(c.facts, settings, c.allowBeta), c.reason) << c.label;
  }
}

TEST(CandidateRules, WindowedExecutable) {
  EXPECT_EQ(windowedExecutable("c:\\jdk\\bin\\java.exe"), "c:\\jdk\\bin\\javaw.exe");
  EXPECT_EQ(windowedExecutable("x"), "x");
}

TEST(CandidateRules, HighestAcceptedTakesTheFirstOfEqualVersions) {
  const JvmCandidate a{"a", "located", "17.0.2", ""};
  const JvmCandidate b{"b", "located", "17.0.10", ""};
  const JvmCandidate c{"c", "located", "17.0.10", ""};
  const JvmCandidate refused{"r", "located", "99", "version 99 is above the maximum 21"};
  EXPECT_EQ(highestAccepted(std::vector{a, b, c})->javaExe, "b");
  EXPECT_EQ(highestAccepted(std::vector{c, b, a})->javaExe, "c");
  EXPECT_EQ(highestAccepted(std::vector{refused, a})->javaExe, "a");
  EXPECT_FALSE(highestAccepted(std::vector{refused}).has_value());
  EXPECT_FALSE(highestAccepted(std::vector<JvmCandidate>{}).has_value());
}

TEST(CandidateRules, RegistryVersionsOutsideTheRangeSayWhy) {
  struct Case {
    const char* version;
    VersionBounds bounds;
    std::string reason;
  };
  const Case cases[] = {
      {"17", {"99", ""}, "version 17 is below the minimum 99"},
      {"1.6", {"1.6.0_10", ""}, ""},  // an entry named 1.6 passes a minimum of 1.6.0_10
      {"21.0.2", {"", "17"}, "version 21.0.2 is above the maximum 17"},
      {"17.0.2", {"17", "17"}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(registryVersionRejection(c.version, c.bounds), c.reason) << c.version;
}

}  // namespace
}  // namespace runvo
