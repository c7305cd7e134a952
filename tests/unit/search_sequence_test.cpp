#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jvm/search_sequence.h"

namespace runvo {
namespace {

std::vector<std::pair<char, std::string>> typesAndLocations(const std::vector<SearchEntry>& entries) {
  std::vector<std::pair<char, std::string>> pairs;
  for (const SearchEntry& entry : entries) pairs.emplace_back(entry.type, entry.location);
  return pairs;
}

TEST(SearchSequence, ParseDropsEmptyEntries) {
  using Entries = std::vector<std::pair<char, std::string>>;
  const std::pair<const char*, Entries> cases[] = {
      {"", {}},
      {";", {}},
      {";;;", {}},
      {"Rjre;Y;EJAVA_HOME;EJDK_HOME", {{'R', "jre"}, {'Y', ""}, {'E', "JAVA_HOME"}, {'E', "JDK_HOME"}}},
      {";;Bc:\\java;;", {{'B', "c:\\java"}}},
      {"S", {{'S', ""}}},
      {"A%RUNVO_EXEDIR%jre;Q;7x", {{'A', "%RUNVO_EXEDIR%jre"}, {'Q', ""}, {'7', "x"}}},
      {"R a b ;R", {{'R', " a b "}, {'R', ""}}},
  };
  for (const auto& [sequence, entries] : cases) {
    EXPECT_EQ(typesAndLocations(parseSearchSequence(sequence)), entries) << '"' << sequence << '"';
  }
}

TEST(SearchSequence, FallbackRetriesBAlwaysAndAOrROnlyWhenRelative) {
  struct Case {
    char type;
    const char* location;
    bool retried;
  };
  const Case cases[] = {
      {'B', "c:\\java", true}, {'B', "\\\\srv\\java", true}, {'B', "jre", true}, {'B', "", true},
      {'R', "jre", true},      {'A', "..\\jre", true},       {'R', "", true},    {'R', "C", true},
      {'R', "\\java", true},   {'R', "c:\\java", false},     {'A', "C:", false}, {'A', "d:jre", false},
      {'R', "\\\\srv\\java", false}, {'A', "\\\\", false},
      {'E', "jre", false},     {'S', "", false},             {'Y', "", false},   {'Q', "jre", false},
      {'r', "jre", false},     {'b', "jre", false},
  };
  for (const auto& [type, location, retried] : cases) {
    EXPECT_EQ(retriedInFallbackPass({.type = type, .location = location}), retried) << type << location;
  }
}

TEST(SearchSequence, FallbackOverAParsedSequence) {
  std::vector<std::string> retried;
  for (const SearchEntry& entry : parseSearchSequence("Rjre;Y;EJAVA_HOME;Rc:\\jdk;B\\\\srv\\jre;EJDK_HOME")) {
    if (retriedInFallbackPass(entry)) retried.push_back(entry.location);
  }
  EXPECT_EQ(retried, (std::vector<std::string>{"jre", "\\\\srv\\jre"}));
}

}  // namespace
}  // namespace runvo
