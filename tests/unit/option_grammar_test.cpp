#include <gtest/gtest.h>

#include "launch/option_grammar.h"

namespace runvo {
namespace {

TEST(OptionGrammar, FirstMatchingRuleWins) {
  struct Case {
    const char* text;
    OptionKind kind;
    const char* value;
  };
  const Case cases[] = {
      {"-include-options extra.opts", OptionKind::IncludeFile, "extra.opts"},
      {"-include-options  spaced", OptionKind::IncludeFile, " spaced"},
      {"-include-options", OptionKind::VmOption, "-include-options"},
      {"-classpath a.jar;b.jar", OptionKind::ClassPathOverride, "a.jar;b.jar"},
      {"-classpath/p first.jar", OptionKind::ClassPathPrepend, "first.jar"},
      {"-classpath/a last.jar", OptionKind::ClassPathAppend, "last.jar"},
      {"-classpath", OptionKind::VmOption, "-classpath"},
      {"-classpath/x y", OptionKind::VmOption, "-classpath/x y"},
      {"-Dx=a b", OptionKind::VmOption, "-Dx=a b"},
      {"-Xmx512m", OptionKind::VmOption, "-Xmx512m"},
  };
  for (const Case& c : cases) {
    const ClassifiedOption option = classifyOption(c.text);
    EXPECT_EQ(option.kind, c.kind) << c.text;
    EXPECT_EQ(option.value, c.value) << c.text;
  }
}

TEST(OptionGrammar, OptionFileLines) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"# comment\n", std::nullopt},
      {"\r\n", std::nullopt},
      {"     \n", std::nullopt},
      {"   -Xmx512m   \r\n", "-Xmx512m"},
      {"-Dx=a b\n", "-Dx=a b"},
      {"\t-Xss1m\n", "\t-Xss1m"},
      {"  # indented comment", std::nullopt},
      {"-Dlast", "-Dlast"},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(optionFileLine(line), expected) << line;
}

TEST(OptionGrammar, IncludeJoinsTheNextWord) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(joinIncludeWords({"-include-options", "extra.opts", "-Xms64m"}),
            (Words{"-include-options extra.opts", "-Xms64m"}));
  EXPECT_EQ(joinIncludeWords({"-Xms64m", "-include-options"}), (Words{"-Xms64m", "-include-options"}));
  EXPECT_EQ(joinIncludeWords({}), Words{});
}

}  // namespace
}  // namespace runvo
