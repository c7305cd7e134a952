#include <gtest/gtest.h>

#include "util/command_line.h"

namespace runvo {
namespace {

TEST(CommandLineSplitting, QuotingRules) {
  struct Case {
    std::u16string text;
    ArgumentVector expected;
  };
  const Case cases[] = {
      {u"", {}},
      {u"   ", {}},
      {u"  a   b  ", {u"a", u"b"}},
      {u"\"\"", {u""}},
      {u"''", {u""}},
      {u"ab\"c d\"e", {u"abc d", u"e"}},
      {u"\"quoted\"letters", {u"quoted", u"letters"}},
      {u"'it \"is\"' \"it's\"", {u"it \"is\"", u"it's"}},
      {u"\"C:\\dir\\\" x", {u"C:\\dir\\", u"x"}},
      {u"\\\"a b\"", {u"\\a b"}},
      {u"a\tb c", {u"a\tb", u"c"}},
      {u"x \"y\" z", {u"x", u"y", u"z"}},
      {u"pre'mid dle'post end", {u"premid dle", u"post", u"end"}},
      {u"a \"b\"  c", {u"a", u"b", u"c"}},
      {u"__ksx_restart", {u"__ksx_restart"}},
  };
  for (const Case& c : cases) {
    ArgumentVector args;
    EXPECT_TRUE(trySplitCommandLine(c.text, args));
    EXPECT_EQ(args, c.expected) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(CommandLineSplitting, AppendsToWhatTheVectorHolds) {
  ArgumentVector args{u"first"};
  ASSERT_TRUE(trySplitCommandLine(u"second third", args));
  EXPECT_EQ(args, (ArgumentVector{u"first", u"second", u"third"}));
}

TEST(CommandLineSplitting, AnUnmatchedQuoteIsRefused) {
  for (const std::u16string text : {u"C:\\Bob's folder\\app.exe", u"\"open", u"a 'b", u"x\"y\"z\""}) {
    ArgumentVector args;
    EXPECT_FALSE(trySplitCommandLine(text, args)) << std::string(text.begin(), text.end());
  }
}

}  // namespace
}  // namespace runvo
