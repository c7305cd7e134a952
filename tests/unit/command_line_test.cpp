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

TEST(CommandLineSplitting, ConfiguredWordsSplitByTheSameRuleInUtf8) {
  std::vector<std::string> words;
  ASSERT_TRUE(trySplitWords("cmd.exe /c \"C:\\Pr\xC3\xBC fung\\check.cmd\" 'it \"is\"'", words));
  EXPECT_EQ(words, (std::vector<std::string>{"cmd.exe", "/c", "C:\\Pr\xC3\xBC fung\\check.cmd", "it \"is\""}));
  words.clear();
  EXPECT_FALSE(trySplitWords("check.cmd \"open", words));
}

// Each expected line is what the Microsoft C runtime splits back into the argument.
TEST(ProgramCommandLine, ArgumentsComeBackUnchanged) {
  struct Case {
    std::u16string argument;
    std::u16string quoted;
  };
  const Case cases[] = {
      {u"plain", u"plain"},
      {u"C:\\dir\\file", u"C:\\dir\\file"},
      {u"", u"\"\""},
      {u"two words", u"\"two words\""},
      {u"tab\there", u"\"tab\there\""},
      {u"say \"hi\"", u"\"say \\\"hi\\\"\""},
      {u"C:\\with space\\", u"\"C:\\with space\\\\\""},
      {u"a\\\"b", u"\"a\\\\\\\"b\""},
      {u"back\\slash\\", u"back\\slash\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(quotedForProgram(c.argument), c.quoted) << std::string(c.argument.begin(), c.argument.end());
  }
  EXPECT_EQ(programCommandLine({u"C:\\Program Files\\tool.exe", u"--name", u"my service", u""}),
            u"\"C:\\Program Files\\tool.exe\" --name \"my service\" \"\"");
}

}  // namespace
}  // namespace runvo
