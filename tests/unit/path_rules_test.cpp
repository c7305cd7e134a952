#include <gtest/gtest.h>

#include "util/path_rules.h"

namespace runvo {
namespace {

TEST(PathRules, RelativeOrAbsolute) {
  const std::pair<const char*, bool> cases[] = {
      {"lib\\a.jar", true},   {"C:\\x\\a.jar", false}, {"\\\\server\\share", false},
      {"C:", true},           {"C:x", true},           {"\\x\\y", true},
      {"\"C:\\x\"", false},   {"\"\\\\srv\"", false},  {"\"C:", true},
      {"\"lib\"", true},      {"", true},              {"..\\up", true},
  };
  for (const auto& [path, relative] : cases) EXPECT_EQ(isRelativePath(path), relative) << path;
}

TEST(PathRules, DriveRootsAreKnownWithoutALook) {
  for (const char* root : {"C:\\", "d:\\.", "E:\\.\\."}) EXPECT_TRUE(isDriveRootText(root)) << root;
  for (const char* other : {"", "C", "C:", "C:\\x", "C:\\..", "\\\\"}) EXPECT_FALSE(isDriveRootText(other)) << other;
}

TEST(PathRules, FolderWithSeparator) {
  EXPECT_EQ(folderWithSeparator("C:\\logs\\svc.log"), "C:\\logs\\");
  EXPECT_EQ(folderWithSeparator("C:/logs/a\\svc.log"), "C:/logs/a\\");
  EXPECT_EQ(folderWithSeparator("C:\\logs\\"), "C:\\logs\\");
  EXPECT_EQ(folderWithSeparator("svc.log"), "");
}

TEST(PathRules, CollapseBackslashes) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\a\\\\b", "C:\\a\\b"},
      {"\\\\server\\\\share", "\\\\server\\share"},
      {"\\\\\\x", "\\\\x"},
      {"a\\\\\\\\b\\\\", "a\\b\\"},
      {"\\\\", "\\\\"},
  };
  for (auto [path, expected] : cases) {
    collapseBackslashes(path);
    EXPECT_EQ(path, expected);
  }
  std::u16string wide = u"C:\\\\w";
  collapseBackslashes(wide);
  EXPECT_EQ(wide, u"C:\\w");
}

}  // namespace
}  // namespace runvo

#include "util/text.h"

namespace runvo {
namespace {

TEST(Text, SplitDropsEmptyPieces) {
  using Pieces = std::vector<std::string>;
  EXPECT_EQ(splitNonEmpty("a;;b;", ';'), (Pieces{"a", "b"}));
  EXPECT_EQ(splitNonEmpty(";", ';'), Pieces{});
  EXPECT_EQ(splitNonEmpty("", ';'), Pieces{});
  EXPECT_EQ(splitNonEmpty("one", ';'), Pieces{"one"});
  EXPECT_EQ(splitNonEmpty(",x,,y", ','), (Pieces{"x", "y"}));
}

}  // namespace
}  // namespace runvo
