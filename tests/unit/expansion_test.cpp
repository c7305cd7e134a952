#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/recording_log.h"
#include "payload/expansion.h"

namespace runvo {
namespace {

using testing::recordedLogLines;

constexpr std::size_t kCapacity = 8192;

class Expansion : public ::testing::Test {
 protected:
  void SetUp() override { recordedLogLines().clear(); }

  std::string expanded(std::string text, const Environment& environment = {}) const {
    expandVariables(text, values_, environment, kCapacity);
    return text;
  }

  LauncherValues values_{
      .launcherDirectory = "C:\\app\\",
      .extractionDirectory = "C:\\tmp\\x1\\",
      .jvmHome = "C:\\jdk",
  };
};

TEST_F(Expansion, EveryLauncherVariable) {
  const std::pair<const char*, const char*> cases[] = {
      {"%RUNVO_EXEDIR%", "C:\\app\\"},
      {"%KESTRELIX_EXEDIR%", "C:\\app\\"},
      {"%RUNVO_TEMPDIR%", "C:\\tmp\\x1\\"},
      {"%KESTRELIX_TEMPDIR%", "C:\\tmp\\x1\\"},
      {"%RUNVO_PATHLIST_SEPARATOR%", ";"},
      {"%KESTRELIX_PATHLIST_SEPARATOR%", ";"},
      {"%RUNVO_JVM_HOME%", "C:\\jdk"},
      {"%KESTRELIX_JVM_HOME%", "C:\\jdk"},
      {"${RUNVO_EXEDIR}", "C:\\app\\"},
      {"${KESTRELIX_EXEDIR}", "C:\\app\\"},
      {"${RUNVO_TEMPDIR}", "C:\\tmp\\x1\\"},
      {"${KESTRELIX_TEMPDIR}", "C:\\tmp\\x1\\"},
      {"${RUNVO_PATHLIST_SEPARATOR}", ";"},
      {"${KESTRELIX_PATHLIST_SEPARATOR}", ";"},
      {"${RUNVO_JVM_HOME}", "C:\\jdk"},
      {"${KESTRELIX_JVM_HOME}", "C:\\jdk"},
      {"${launcher:sys.launcherDirectory}", "C:\\app\\"},
      {"${launcher:sys.launcherTempDirectory}", "C:\\tmp\\x1\\"},
      {"${launcher:sys.pathlistSeparator}", ";"},
      {"${launcher:sys.jvmHome}", "C:\\jdk"},
  };
  for (const auto& [reference, value] : cases) {
    EXPECT_EQ(expanded(std::string("<") + reference + ">"), std::string("<") + value + ">") << reference;
  }
}

TEST_F(Expansion, TextCases) {
  const Environment environment = {{"Path", "C:\\bin"}, {"X", "a${X}"}, {"HOME", "C:\\u"}};
  const std::pair<const char*, const char*> cases[] = {
      {"%RUNVO_EXEDIR%lib", "C:\\app\\lib"},
      {"${RUNVO_EXEDIR}a.jar;${RUNVO_EXEDIR}b.jar", "C:\\app\\a.jar;C:\\app\\b.jar"},
      {"a${launcher:sys.pathlistSeparator}b%KESTRELIX_PATHLIST_SEPARATOR%c", "a;b;c"},
      {"${NOT_DEFINED}\\x", "${NOT_DEFINED}\\x"},
      {"${X}", "a${X}"},  // a value is not searched for its own reference
      {"${Path}|${PATH}|${path}", "C:\\bin|C:\\bin|${path}"},
      {"${home}|${HOME}", "${home}|C:\\u"},
      {"%runvo_exedir%|${Runvo_ExeDir}", "%runvo_exedir%|${Runvo_ExeDir}"},
      {"no references", "no references"},
      {"", ""},
  };
  for (const auto& [text, result] : cases) EXPECT_EQ(expanded(text, environment), result) << text;
}

TEST_F(Expansion, JvmHomeIsEmptyBeforeARuntimeIsChosen) {
  values_.jvmHome.clear();
  EXPECT_EQ(expanded("%RUNVO_JVM_HOME%\\bin;${launcher:sys.jvmHome}"), "\\bin;");
}

TEST_F(Expansion, LaterStepsSearchEarlierValues) {
  values_.launcherDirectory = "C:\\${TEMP}\\";
  EXPECT_EQ(expanded("%RUNVO_EXEDIR%a", {{"TEMP", "t"}}), "C:\\t\\a");
  // Block order decides whether a reference inside a value is expanded.
  EXPECT_EQ(expanded("${A}", {{"A", "${B}"}, {"B", "b"}}), "b");
  EXPECT_EQ(expanded("${A}", {{"B", "b"}, {"A", "${B}"}}), "${B}");
}

TEST_F(Expansion, DriveDirectoryEntriesAndEmptyNamesAreNoVariables) {
  const Environment environment = {{"=C:", "C:\\dir"}, {"", "C:\\dir"}, {"=", "x"}};
  EXPECT_EQ(expanded("${=C:}${}${=}", environment), "${=C:}${}${=}");
  EXPECT_TRUE(recordedLogLines().empty());
}

TEST_F(Expansion, EachReplacementIsLoggedWithTheTextAsItNowReads) {
  std::string text = "x${A}y${A}";
  replaceAll(text, "${A}", "1", kCapacity);
  EXPECT_EQ(text, "x1y1");
  EXPECT_EQ(recordedLogLines(),
            (std::vector<std::string>{"expanding ${A} to 1 in x1y${A}.", "expanding ${A} to 1 in x1y1."}));
}

TEST_F(Expansion, SearchGoesOnBehindTheInsertedValue) {
  std::string text = "${A}-${A}";
  replaceAll(text, "${A}", "${A}${A}", kCapacity);
  EXPECT_EQ(text, "${A}${A}-${A}${A}");
  EXPECT_EQ(recordedLogLines().size(), 2u);
}

TEST_F(Expansion, EmptyPatternChangesNothing) {
  std::string text = "abc";
  replaceAll(text, "", "x", kCapacity);
  EXPECT_EQ(text, "abc");
  EXPECT_TRUE(recordedLogLines().empty());
}

TEST_F(Expansion, TextIsCutAtTheCapacity) {
  struct Case {
    std::string text;
    const char* value;
    std::size_t capacity;
    std::string result;
    bool cut;
  };
  const Case cases[] = {
      {"ab${X}cd${X}", "0123456789", 8, "ab01234", true},
      {"${X}", "abc", 4, "abc", false},  // exactly fits beside the terminator
      {"${X}", "abcd", 4, "abc", true},
      {"${X}", "abc", 1, "", true},
      {"${X}", "abc", 0, "", true},
      {"0123456789${X}", "", 4, "012", true},  // too long already: cut all the same
      {"${X}-${X}", "abcdef", 14, "abcdef-abcdef", false},
      {"${X}-${X}", "abcdef", 13, "abcdef-abcde", true},  // the first fits, the second is cut
      {"${X}${X}", "", 9, "", false},
  };
  for (const auto& [original, value, capacity, result, cut] : cases) {
    recordedLogLines().clear();
    std::string text = original;
    replaceAll(text, "${X}", value, capacity);
    EXPECT_EQ(text, result) << original << " capacity " << capacity;
    EXPECT_LE(text.size(), capacity > 0 ? capacity - 1 : 0);
    ASSERT_FALSE(recordedLogLines().empty());
    const std::string cutLine = "expansion of ${X} cut at " + std::to_string(result.size()) + " characters";
    EXPECT_EQ(recordedLogLines().back() == cutLine, cut) << original << " capacity " << capacity;
  }
}

TEST_F(Expansion, CutStopsOnlyThePatternThatOverflowed) {
  values_.launcherDirectory = std::string(40, 'd');
  std::string text = "${launcher:sys.pathlistSeparator}${RUNVO_EXEDIR}${RUNVO_EXEDIR}";
  expandVariables(text, values_, {}, 64);
  // The directory is cut after 30 of its characters; the separator, replaced
  // later, still shrinks the text.
  EXPECT_EQ(text, ";" + std::string(30, 'd'));
  EXPECT_EQ(std::count(recordedLogLines().begin(), recordedLogLines().end(),
                       "expansion of ${RUNVO_EXEDIR} cut at 63 characters"),
            1);
}

}  // namespace
}  // namespace runvo
