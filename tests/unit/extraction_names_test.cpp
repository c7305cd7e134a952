#include <gtest/gtest.h>

#include "payload/extraction_names.h"

namespace runvo {
namespace {

using Names = std::vector<std::string>;

// What a folder of the extraction directory lists, from what the extraction
// made: the folders of a name come before it, an empty file makes none, and
// Windows takes names in any case as the same.
TEST(ExtractedFolderListing, ListsWhatAFolderHoldsInNtfsOrder) {
  const Names made{"b.zip", "lib", "lib\\x.jar", "User", "User\\u.zip", "user\\a.jar", "a.jar", "User\\deep",
                   "User\\deep\\d.jar", "A_b.jar", "aB.jar", "userx.jar"};
  struct Case {
    const char* folder;
    std::optional<Names> expected;
  };
  const Case cases[] = {
      // Upper-cased, "_" (0x5F) sorts after letters.
      {"", Names{"a.jar", "aB.jar", "A_b.jar", "b.zip", "lib", "User", "userx.jar"}},
      {"user", Names{"a.jar", "deep", "u.zip"}},
      {"USER", Names{"a.jar", "deep", "u.zip"}},
      {"lib", Names{"x.jar"}},
      {"none", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(extractedFolderListing(made, c.folder), c.expected) << c.folder;
  EXPECT_EQ(extractedFolderListing({}, ""), Names{});
  EXPECT_EQ(extractedFolderListing({}, "user"), std::nullopt);
}

}  // namespace
}  // namespace runvo
