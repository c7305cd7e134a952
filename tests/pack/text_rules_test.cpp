#include <gtest/gtest.h>

#include "pack/config/embedded_names.h"
#include "pack/common/text_encoding.h"
#include "pack/config/word_quoting.h"

namespace runvo::pack::testing {
namespace {

// The launcher's splitter for configured argument texts: only the space
// separates, both quotes group, and a closing quote may be followed by one
// space. Written from its rules, to check that joined words come back whole.
std::vector<std::string> splitLikeTheLauncher(const std::string& text) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < text.size()) {
    if (text[at] == ' ') {
      ++at;
      continue;
    }
    const std::size_t stop = text.find_first_of(" \"'", at);
    if (stop == std::string::npos || text[stop] == ' ') {
      const std::size_t end = stop == std::string::npos ? text.size() : stop;
      words.push_back(text.substr(at, end - at));
      at = end;
      continue;
    }
    const std::size_t close = text.find(text[stop], stop + 1);
    if (close == std::string::npos) return {"<unmatched quote>"};
    words.push_back(text.substr(at, stop - at) + text.substr(stop + 1, close - stop - 1));
    at = close + 1;
    if (at < text.size() && text[at] == ' ') ++at;
  }
  return words;
}

TEST(WordQuoting, JoinedWordsSplitBackIntoTheSameWords) {
  const std::vector<std::vector<std::string>> cases = {
      {"-Xmx1g", "-Dx=1"},
      {"-Dname=hello world", "plain"},
      {"", "after empty"},
      {"say \"hi\"", "it's"},
      {"-Dq=\"quoted\"", "C:\\path with space\\"},
      {"tab\there", "  spaces  "},
      {},
  };
  for (const auto& words : cases) {
    auto joined = joinWordsForSplitter(words);
    ASSERT_TRUE(joined.ok()) << joined.error().message;
    EXPECT_EQ(splitLikeTheLauncher(*joined), words) << *joined;
  }
}

TEST(WordQuoting, AWordWithBothQuotesIsRefused) {
  auto joined = joinWordsForSplitter({"fine", "a\"b'c"});
  ASSERT_FALSE(joined.ok());
  EXPECT_NE(joined.error().message.find("a\"b'c"), std::string::npos);
}

TEST(TextEncoding, Utf8BecomesWindows1252) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"ASCII ~", "ASCII ~"},
      {"é ÿ ü", "\xE9 \xFF \xFC"},
      {"€ – ™ Ÿ", "\x80 \x96 \x99 \x9F"},
      {"\t\n", "\t\n"},
  };
  for (const auto& [utf8, narrow] : cases) {
    auto converted = utf8ToWindows1252(utf8);
    ASSERT_TRUE(converted.ok()) << utf8;
    EXPECT_EQ(*converted, narrow);
  }
}

TEST(TextEncoding, CharactersOutsideWindows1252AreNamed) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"Łódź", "U+0141 'Ł'"},
      {"x😀", "U+1F600"},
      {"\xC2\x81", "U+0081"},  // a C1 control: no Windows-1252 character
  };
  for (const auto& [utf8, named] : cases) {
    auto converted = utf8ToWindows1252(utf8);
    ASSERT_FALSE(converted.ok()) << utf8;
    EXPECT_NE(converted.error().message.find(named), std::string::npos) << converted.error().message;
  }
}

TEST(TextEncoding, EveryDefinedWindows1252ByteRoundTrips) {
  for (int byte = 0; byte < 256; ++byte) {
    const auto character = windows1252ToUnicode(static_cast<std::uint8_t>(byte));
    if (!character) continue;
    std::string utf8;
    appendUtf8(utf8, *character);
    auto back = utf8ToWindows1252(utf8);
    ASSERT_TRUE(back.ok()) << byte;
    EXPECT_EQ(*back, std::string(1, static_cast<char>(byte)));
  }
}

// The launcher creates every folder of a name, so folders may nest.
TEST(EmbeddedNames, PlainNamesAndFoldersAtAnyDepthAreAccepted) {
  for (std::string_view name : {"app.jar", "lib\\app.jar", "Ärger.txt", "lib\\x y.jar", ".hidden", "conf.d\\a",
                                "a..b.jar", "a\\b\\c.jar", "jre\\conf\\security\\policy\\README.txt"}) {
    EXPECT_EQ(embeddedNameProblem(name), std::nullopt) << name;
  }
  EXPECT_EQ(storedEmbeddedName("lib/app.jar"), "lib\\app.jar");
}

// The launcher's safety rule comes first; the builder's own format rules after it.
TEST(EmbeddedNames, EachRefusalSaysWhy) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", "the name is empty"},
      {"\\x.jar", "the name is absolute (it starts with a slash)"},
      {"C:x.jar", "the name is absolute (it has a drive)"},
      {"lib\\..\\x.jar", "the name contains \"..\""},
      {"a\tb.jar", "the name contains a control character"},
      {"lib\\con.txt", "\"con.txt\" is a reserved Windows device name"},
      {"ab:c.jar", "the name contains ':', which Windows file names (or the name list) cannot hold"},
      {"a;b.jar", "the name contains ';', which Windows file names (or the name list) cannot hold"},
      {"lib\\", "it has an empty part"},
      {"a\\\\b.jar", "it has an empty part"},
      {"lib.\\a.jar", "a part ends with a space or a dot, which Windows drops"},
      {"a\\b \\c.jar", "a part ends with a space or a dot, which Windows drops"},
      {"a.jar ", "a part ends with a space or a dot, which Windows drops"},
  };
  for (const auto& [name, message] : cases) EXPECT_EQ(embeddedNameProblem(name), std::string(message)) << name;
}

TEST(EmbeddedNames, ComparisonIgnoresTheCaseOfWindows1252Letters) {
  EXPECT_EQ(foldedForComparison("LIB\\\xC4\x8A.JAR"), foldedForComparison("lib\\\xE4\x9A.jar"));
  EXPECT_NE(foldedForComparison("a\xD7"), foldedForComparison("a\xF7"));  // × and ÷ are not letters
}

}  // namespace
}  // namespace runvo::pack::testing
