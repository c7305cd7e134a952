#include <gtest/gtest.h>

#include "diag/message_text.h"

namespace runvo {
namespace {

TEST(MessageText, OnlyTheFirstMarkerIsReplacedAndOnlyWithAnArgument) {
  struct Case {
    const char* text;
    std::optional<std::string> argument;
    const char* expected;
  };
  const Case cases[] = {
      {"An internal error occurred (error code: {0})", "16", "An internal error occurred (error code: 16)"},
      {"{0} and {0}", "x", "x and {0}"},
      {"no marker", "ignored", "no marker"},
      {"kept {0}", std::nullopt, "kept {0}"},
      {"", "x", ""},
      {"{0}", "{0}", "{0}"},
  };
  for (const Case& c : cases) EXPECT_EQ(substituteFirst(c.text, c.argument), c.expected) << c.text;
}

TEST(MessageText, TheLogPathFollowsAfterAnEmptyLine) {
  EXPECT_EQ(withLogPath("Failed", std::nullopt), "Failed");
  EXPECT_EQ(withLogPath("Failed", std::string("C:\\t\\ksx1.tmp")), "Failed\n\nLog: C:\\t\\ksx1.tmp");
}

}  // namespace
}  // namespace runvo
