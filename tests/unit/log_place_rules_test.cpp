// Where the service log goes when its folder cannot take it, and which file
// the verbs read.
#include <gtest/gtest.h>

#include "service/log_place_rules.h"

namespace runvo {
namespace {

TEST(LogPlaceRules, TheFallbackLiesUnderProgramDataNamedAfterTheService) {
  struct Case {
    const char* programData;
    const char* name;
    const char* path;
  };
  const Case cases[] = {
      {"C:\\ProgramData", "My Service", "C:\\ProgramData\\runvo\\My Service\\logs\\My Service.log"},
      {"C:\\ProgramData\\", "svc", "C:\\ProgramData\\runvo\\svc\\logs\\svc.log"},
      {"C:\\ProgramData", "a/b:c", "C:\\ProgramData\\runvo\\a_b_c\\logs\\a_b_c.log"},
      {"C:\\ProgramData", "..\\up", "C:\\ProgramData\\runvo\\.._up\\logs\\.._up.log"},
      {"C:\\ProgramData", "..", "C:\\ProgramData\\runvo\\__\\logs\\...log"},
      {"C:\\ProgramData", ". .", "C:\\ProgramData\\runvo\\___\\logs\\. ..log"},
      {"", "svc", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(fallbackServiceLogPath(c.programData, c.name), c.path) << c.name;
}

TEST(LogPlaceRules, TheVerbsReadTheFileWrittenLast) {
  struct Case {
    std::optional<std::uint64_t> configured;
    std::optional<std::uint64_t> fallback;
    LogPlace read;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, LogPlace::Configured},
      {100, std::nullopt, LogPlace::Configured},
      {std::nullopt, 100, LogPlace::Fallback},
      {100, 200, LogPlace::Fallback},
      {200, 100, LogPlace::Configured},
      {100, 100, LogPlace::Configured},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(placeToRead(c.configured, c.fallback), c.read)
        << c.configured.value_or(0) << " / " << c.fallback.value_or(0);
  }
}

}  // namespace
}  // namespace runvo
