#include <gtest/gtest.h>

#include "util/removal_rules.h"

namespace runvo {
namespace {

constexpr std::uint32_t kReadOnly = 0x1;
constexpr std::uint32_t kHidden = 0x2;
constexpr std::uint32_t kNormal = 0x80;

TEST(RemovalRules, ARemovalNeverDescendsIntoALink) {
  struct Case {
    std::uint32_t attributes;
    RemovalStep step;
  };
  const Case cases[] = {
      {kAttributeDirectory, RemovalStep::Descend},
      {kAttributeDirectory | kHidden, RemovalStep::Descend},
      // A junction, a mount point or a symbolic link to a folder.
      {kAttributeDirectory | kAttributeReparsePoint, RemovalStep::RemoveLinkItself},
      {kAttributeDirectory | kAttributeReparsePoint | kReadOnly, RemovalStep::RemoveLinkItself},
      {kNormal, RemovalStep::DeleteFile},
      {kReadOnly | kHidden, RemovalStep::DeleteFile},
      // A symbolic link to a file: deleting it removes the link.
      {kAttributeReparsePoint, RemovalStep::DeleteFile},
  };
  for (const Case& c : cases) EXPECT_EQ(removalStepFor(c.attributes), c.step) << std::hex << c.attributes;
}

TEST(RemovalRules, OnlyAPlainFolderOfThisAccountIsTakenForAStaleOne) {
  constexpr std::uint32_t kFolder = kAttributeDirectory;
  constexpr std::uint32_t kLink = kAttributeDirectory | kAttributeReparsePoint;
  struct Case {
    std::uint32_t listed;
    std::uint32_t opened;
    bool ownedByThisAccount;
    StaleFolderVerdict verdict;
  };
  const Case cases[] = {
      {kFolder, kFolder, true, StaleFolderVerdict::Remove},
      {kFolder | kHidden, kFolder | kHidden, true, StaleFolderVerdict::Remove},
      {kFolder, kFolder, false, StaleFolderVerdict::AnotherOwner},
      {kLink, kLink, true, StaleFolderVerdict::NotAPlainFolder},
      {kLink, kLink, false, StaleFolderVerdict::NotAPlainFolder},
      // A link seen in only one of the two looks: listed as a link but opened
      // through it (Wine), or put in the folder's place after the listing.
      {kLink, kFolder, true, StaleFolderVerdict::NotAPlainFolder},
      {kFolder, kLink, true, StaleFolderVerdict::NotAPlainFolder},
      {kNormal, kNormal, true, StaleFolderVerdict::NotAPlainFolder},
      // Attributes that could not be read.
      {kFolder, 0, true, StaleFolderVerdict::NotAPlainFolder},
  };
  for (const Case& c : cases) {
    const StaleFolderVerdict verdict = judgeStaleFolder(c.listed, c.opened, c.ownedByThisAccount);
    EXPECT_EQ(verdict, c.verdict) << std::hex << c.listed << " " << c.opened << " " << c.ownedByThisAccount;
    EXPECT_EQ(std::string(leftAloneReason(verdict)).empty(), verdict == StaleFolderVerdict::Remove);
  }
}

}  // namespace
}  // namespace runvo
