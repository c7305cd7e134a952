// What a removal of a folder tree may do with what it finds, decided from the
// attributes a directory listing gives (Windows' own values), so that no
// removal ever reaches through a link into a folder the launcher did not make.
#pragma once
#include <cstdint>

namespace runvo {

inline constexpr std::uint32_t kAttributeDirectory = 0x10;
// Symbolic links, junctions and mount points alike.
inline constexpr std::uint32_t kAttributeReparsePoint = 0x400;

enum class RemovalStep {
  Descend,           // a plain folder: empty it, then remove it
  RemoveLinkItself,  // a link to a folder: remove the link, never its target
  DeleteFile,        // a file, or a link to one: deleting it never touches a target
};

RemovalStep removalStepFor(std::uint32_t attributes);

// Whether a folder named like one of the executable's extraction folders may
// be removed as a stale one: only a plain folder of this account's (the
// launcher makes them so); a link, a file or another account's folder is
// left alone, whoever planted it. It must be plain both as the directory
// listing shows it and as opened (the folder itself, not a link's target):
// the two are read at different moments, and a file system may show a link
// in only one of them (Wine shows a Unix symbolic link only in the listing).
// Attributes that could not be read are 0.
enum class StaleFolderVerdict { Remove, NotAPlainFolder, AnotherOwner };

StaleFolderVerdict judgeStaleFolder(std::uint32_t listedAttributes, std::uint32_t openedAttributes,
                                    bool ownedByThisAccount);

// Why a folder is left alone, for the log; empty for Remove.
const char* leftAloneReason(StaleFolderVerdict verdict);

}  // namespace runvo
