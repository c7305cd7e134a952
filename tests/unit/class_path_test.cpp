// The class path rules over a small in-memory machine: which entries join,
// in which order, and which missing ones end the run with which message.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "launch/class_path.h"
#include "payload/config_keys.h"
#include "util/path_rules.h"

namespace runvo {
namespace {

class FakeMachine final : public ClassPathSources {
 public:
  std::set<std::string> paths;
  std::map<std::string, std::vector<std::string>> listings;  // directory -> names in it
  std::map<std::string, std::string> variables;

  bool exists(const std::string& path) const override { return paths.contains(path); }
  // A directory with a listing, or an empty one among the paths.
  std::optional<std::vector<std::string>> directoryNames(const std::string& directory) const override {
    if (auto found = listings.find(directory); found != listings.end()) return found->second;
    return paths.contains(directory) ? std::optional(std::vector<std::string>{}) : std::nullopt;
  }
  std::string absolute(std::string_view path) const override {
    return isRelativePath(path) ? "C:\\app\\" + std::string(path) : std::string(path);
  }
  std::optional<std::string> variable(const std::string& name) const override {
    auto found = variables.find(name);
    return found == variables.end() ? std::nullopt : std::optional(found->second);
  }
  std::string expanded(std::string text) const override {
    if (const auto at = text.find("${DIR}"); at != std::string::npos) text.replace(at, 6, "C:\\expanded");
    return text;
  }
  std::string applicationDirectory() const override { return "C:\\app\\appdir"; }
};

std::string classPath(const FakeMachine& machine, const std::string& entries, const ClassPathDirectives& directives = {},
                      const std::string& extraction = "", char flavour = '\0') {
  LaunchSettings settings{.flavour = flavour, .classPath = entries};
  auto option = buildClassPathOption(directives, settings, extraction, machine);
  EXPECT_TRUE(option.ok()) << entries;
  return option.ok() ? *option : std::string();
}

TEST(ClassPath, EntriesJoinInTheirOrder) {
  FakeMachine machine;
  machine.paths = {"C:\\app\\a.jar", "C:\\app\\scan", "C:\\t", "C:\\t\\user"};
  machine.listings = {{"C:\\app\\scan", {"s.jar"}},
                      {"C:\\t", {"app.jar"}},
                      {"C:\\t\\user", {"u.zip"}}};
  machine.variables = {{"QUOTED", "\"C:\\quoted path\\q.jar\""}, {"already", "C:\\b.jar;"}};
  EXPECT_EQ(classPath(machine, "A1a.jar;A0optional-missing.jar;E0QUOTED;E-already;S1scan", {}, "C:\\t"),
            "-Djava.class.path=C:\\t\\app.jar;C:\\t\\user\\u.zip;C:\\app\\a.jar;"
            "C:\\app\\optional-missing.jar;C:\\quoted path\\q.jar;C:\\b.jar;C:\\app\\scan\\s.jar;");
}

// One listing of a folder gives its jars first, then its zips, each kind in
// listing order and in any case; nothing else in the folder joins.
TEST(ClassPath, AFoldersJarsComeBeforeItsZips) {
  FakeMachine machine;
  machine.listings = {{"C:\\t", {"b.zip", "A.JAR", "notes.txt", "jar", "c.jar", "d.Zip", "e.jar.bak"}}};
  EXPECT_EQ(classPath(machine, "", {}, "C:\\t"), "-Djava.class.path=C:\\t\\A.JAR;C:\\t\\c.jar;C:\\t\\b.zip;C:\\t\\d.Zip;");
}

TEST(ClassPath, DirectivesAndTheInstallerJar) {
  FakeMachine machine;
  machine.paths = {"C:\\app\\a.jar"};
  struct Case {
    const char* label;
    ClassPathDirectives directives;
    char flavour;
    std::string expected;
  };
  const Case cases[] = {
      {"override replaces the entries", {.override = "C:\\o.jar"}, '\0', "-Djava.class.path=C:\\o.jar"},
      {"prepend and append", {.prepend = "P", .append = "Q"}, '\0', "-Djava.class.path=P;C:\\app\\a.jar;Q"},
      {"the installer's runtime jar before the entries", {}, 'i',
       "-Djava.class.path=C:\\app\\appdir\\.kestrelix\\ksxruntime.jar;C:\\app\\a.jar;"},
  };
  for (const Case& c : cases) EXPECT_EQ(classPath(machine, "A1a.jar", c.directives, "", c.flavour), c.expected) << c.label;
}

TEST(ClassPath, EntriesAreExpandedAndWithoutExtractionNoFolderIsScanned) {
  FakeMachine machine;
  machine.paths = {"C:\\expanded\\x.jar", "\\user"};
  machine.listings = {{"\\user", {"wrong.jar"}}};
  EXPECT_EQ(classPath(machine, "A1${DIR}\\x.jar"), "-Djava.class.path=C:\\expanded\\x.jar;");
}

TEST(ClassPath, RequiredEntriesThatAreMissing) {
  struct Case {
    const char* entries;
    std::int32_t messageKey;
    std::optional<std::string> detail;
  };
  FakeMachine machine;
  machine.variables = {{"EMPTY", ""}};
  const Case cases[] = {
      {"A1missing.jar", kMsgMissingClassPathEntry, "C:\\app\\missing.jar"},
      {"S1nowhere", kMsgMissingClassPathEntry, "nowhere"},
      {"E1UNDEFINED_CP", kMsgUndefinedVariable, "UNDEFINED_CP"},
      {"E1EMPTY", kMsgMissingClassPathEntry, "EMPTY"},
      {"X1unknown-type", kMsgMissingClassPathEntry, "unknown-type"},
  };
  for (const Case& c : cases) {
    auto option = buildClassPathOption({}, LaunchSettings{.classPath = c.entries}, "", machine);
    ASSERT_FALSE(option.ok()) << c.entries;
    EXPECT_EQ(option.error().messageKey, c.messageKey) << c.entries;
    EXPECT_EQ(option.error().detail, c.detail) << c.entries;
  }
  EXPECT_TRUE(buildClassPathOption({}, LaunchSettings{.classPath = "A0missing.jar;E0UNDEFINED"}, "", machine).ok());
}

}  // namespace
}  // namespace runvo
