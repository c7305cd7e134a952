#include "util/removal_rules.h"

namespace runvo {

RemovalStep removalStepFor(std::uint32_t attributes) {
  if ((attributes & kAttributeDirectory) == 0) return RemovalStep::DeleteFile;
  return (attributes & kAttributeReparsePoint) != 0 ? RemovalStep::RemoveLinkItself : RemovalStep::Descend;
}

StaleFolderVerdict judgeStaleFolder(std::uint32_t listedAttributes, std::uint32_t openedAttributes,
                                    bool ownedByThisAccount) {
  if (removalStepFor(listedAttributes) != RemovalStep::Descend ||
      removalStepFor(openedAttributes) != RemovalStep::Descend) {
    return StaleFolderVerdict::NotAPlainFolder;
  }
  return ownedByThisAccount ? StaleFolderVerdict::Remove : StaleFolderVerdict::AnotherOwner;
}

const char* leftAloneReason(StaleFolderVerdict verdict) {
  switch (verdict) {
    case StaleFolderVerdict::Remove: return "";
    case StaleFolderVerdict::NotAPlainFolder: return "it is a link or not a plain folder";
    case StaleFolderVerdict::AnotherOwner: return "another account owns it";
  }
  return "";
}

}  // namespace runvo
