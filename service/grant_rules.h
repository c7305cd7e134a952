// What /install prepares for a service that does not run as LocalSystem:
// which folders it makes, who the account is as a security identifier, and
// the one entry it adds for it to each folder.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/service_settings.h"

namespace runvo {

// Read, write, execute and delete: what a log writer needs, short of
// changing the folder's permissions or owner (FILE_GENERIC_READ | WRITE |
// EXECUTE | DELETE).
inline constexpr std::uint32_t kModifyRights = 0x001301BF;

// "S-1-5-80-..." of the virtual account NT SERVICE\<name>: Windows derives
// it from the SHA-1 of the upper-cased name in UTF-16LE. Only ASCII letters
// are upper-cased here; a name with other letters comes upper-cased.
std::string virtualAccountSid(std::u16string_view serviceName);

// The account's SID when it follows from its kind and the service name
// alone; none for a user or a managed account, which Windows has to look up.
std::optional<std::string> knownAccountSid(const ServiceAccount& account, std::u16string_view serviceName);

struct FolderGrant {
  std::string sid;
  std::uint32_t rights = kModifyRights;
  bool inheritedByContents = true;  // by the files and folders inside (OI|CI)
};

// What a folder the service writes gets for its account; none for
// LocalSystem, which may write anywhere already.
std::optional<FolderGrant> folderGrantFor(AccountKind kind, std::string sid);

// The grant as a DACL entry in SDDL: "(A;OICI;0x1301bf;;;S-1-5-19)".
std::string aceText(const FolderGrant& grant);

// The folders of the files the service writes, each once, in order; files
// whose folder cannot be prepared are passed over with the reason.
struct FolderChoice {
  std::vector<std::string> prepared;
  struct PassedOver {
    std::string file;
    std::string reason;
  };
  std::vector<PassedOver> passedOver;
};
// Files are full paths ("X:\..." or "\\server\share\..."); one that starts
// with "$" is placed only at run time. The executable's own folder and a
// drive's root are never opened to the account.
FolderChoice foldersToPrepare(const std::vector<std::string>& files, std::string_view executableFolder);

}  // namespace runvo
