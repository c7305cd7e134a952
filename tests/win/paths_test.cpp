// Paths of the launcher, in-process under Wine: the module path, the launcher
// directory and the conversions that configured paths go through.
#include <gtest/gtest.h>

#include "util/paths.h"

namespace runvo {
namespace {

TEST(Paths, ModulePathAndLauncherDirectory) {
  const std::string& module = modulePath();
  ASSERT_GE(module.size(), 4u);
  EXPECT_EQ(_stricmp(module.c_str() + module.size() - 4, ".exe"), 0) << module;
  const std::string& directory = launcherDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(directory.back(), '\\');
  EXPECT_EQ(module.rfind(directory, 0), 0u) << module << " / " << directory;
  EXPECT_TRUE(pathExists(module));
}

TEST(Paths, AbsoluteAgainstTheLauncherDirectory) {
  const std::string& dir = launcherDirectory();
  const std::pair<std::string, std::string> cases[] = {
      {"lib\\a.jar", dir + "lib\\a.jar"},
      {"C:\\x\\a.jar", "C:\\x\\a.jar"},
      {"", dir},
      {"\\\\server\\\\share\\a", "\\\\server\\share\\a"},
      {"sub\\\\\\x", dir + "sub\\x"},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(absoluteAgainstLauncher(path), expected) << path;
  EXPECT_EQ(absolutePathList("a;;b;"), dir + "a;" + dir + "b");
  EXPECT_EQ(absolutePathList(""), "");
}

TEST(Paths, FullPathNormalisesAndLowerCases) {
  EXPECT_EQ(fullPath("C:\\Program Files\\..\\App", false), "c:\\app");
  EXPECT_EQ(fullPath("C:\\Program Files\\..\\App", true), "C:\\App");
  // Forward slashes are no drive root, so the path counts as relative.
  EXPECT_EQ(fullPath("One/./Two//Three", true), launcherDirectory() + "One\\Two\\Three");
  std::string parent = launcherDirectory();
  parent.pop_back();
  parent.resize(parent.rfind('\\'));
  EXPECT_EQ(fullPath("..", true), parent);
}

TEST(Paths, Existence) {
  EXPECT_TRUE(pathExists("C:\\"));
  EXPECT_TRUE(pathExists("Q:\\."));  // a drive root is not looked at
  EXPECT_FALSE(pathExists(""));
  EXPECT_FALSE(pathExists(launcherDirectory() + "no-such-file.bin"));
  EXPECT_TRUE(pathExists(launcherDirectory() + "*.exe"));
  FILETIME written{};
  EXPECT_TRUE(pathExists(modulePath(), &written));
  EXPECT_NE(written.dwHighDateTime, 0u);
}

TEST(Paths, LowerCaseKeepsWhatItCannotRoundTrip) {
  std::string path = "C:\\MiXeD\\Case.JAR";
  lowerCaseInPlace(path);
  EXPECT_EQ(path, "c:\\mixed\\case.jar");
  EXPECT_TRUE(isNtPlatform());
}

}  // namespace
}  // namespace runvo
