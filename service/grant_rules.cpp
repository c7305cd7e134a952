#include "service/grant_rules.h"

#include <algorithm>
#include <cstdio>

#include "util/path_rules.h"
#include "util/text.h"

#include "util/sha1.h"

namespace runvo {

std::string virtualAccountSid(std::u16string_view serviceName) {
  std::string utf16le;
  for (char16_t c : serviceName) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    utf16le.push_back(static_cast<char>(c & 0xFF));
    utf16le.push_back(static_cast<char>(c >> 8));
  }
  const auto digest = sha1(utf16le);
  std::string sid = "S-1-5-80";
  // Five sub-authorities, each four bytes of the digest read little-endian.
  for (int part = 0; part < 5; ++part) {
    std::uint32_t value = 0;
    for (int byte = 3; byte >= 0; --byte) value = value << 8 | digest[4 * part + byte];
    sid += "-" + std::to_string(value);
  }
  return sid;
}

std::optional<std::string> knownAccountSid(const ServiceAccount& account, std::u16string_view serviceName) {
  switch (account.kind) {
    case AccountKind::LocalSystem: return "S-1-5-18";
    case AccountKind::LocalService: return "S-1-5-19";
    case AccountKind::NetworkService: return "S-1-5-20";
    case AccountKind::Virtual: return virtualAccountSid(serviceName);
    case AccountKind::User:
    case AccountKind::GroupManaged: break;
  }
  return std::nullopt;
}

std::optional<FolderGrant> folderGrantFor(AccountKind kind, std::string sid) {
  if (kind == AccountKind::LocalSystem) return std::nullopt;
  return FolderGrant{std::move(sid)};
}

std::string aceText(const FolderGrant& grant) {
  char rights[16];
  std::snprintf(rights, sizeof rights, "0x%x", static_cast<unsigned>(grant.rights));
  return std::string("(A;") + (grant.inheritedByContents ? "OICI" : "") + ";" + rights + ";;;" + grant.sid + ")";
}

namespace {
// One form of a folder's path: backslashes, none at the end but a root's.
std::string normalFolder(std::string_view path) {
  std::string normal(path);
  for (char& c : normal) c = c == '/' ? '\\' : c;
  while (normal.size() > 3 && normal.back() == '\\') normal.pop_back();
  return normal;
}

bool sameFolder(std::string_view a, std::string_view b) {
  return equalsIgnoringAsciiCase(normalFolder(a), normalFolder(b));
}

// "X:\..." or "\\server\...": a path that names its drive or share, and
// nothing else (no quotes).
bool isFullPath(std::string_view path) {
  const bool drive = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                     path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  return drive || path.starts_with("\\\\");
}

// "C:\", "C:" or "\\server\share": where nothing below is the service's own.
bool isRoot(std::string_view folder) {
  const std::string path = normalFolder(folder);
  if (path.size() <= 3 && path.size() >= 2 && path[1] == ':') return true;
  if (path.rfind("\\\\", 0) != 0) return false;
  const std::size_t share = path.find('\\', 2);
  return share == std::string::npos || path.find('\\', share + 1) == std::string::npos;
}
}  // namespace

FolderChoice foldersToPrepare(const std::vector<std::string>& files, std::string_view executableFolder) {
  FolderChoice choice;
  for (const std::string& file : files) {
    if (file.starts_with('$')) {
      choice.passedOver.push_back({file, "its place is known only when the application runs"});
      continue;
    }
    if (!isFullPath(file)) {
      choice.passedOver.push_back({file, "it is not a full path"});
      continue;
    }
    const std::string folder = normalFolder(folderWithSeparator(file));
    if (sameFolder(folder, executableFolder)) {
      choice.passedOver.push_back({file, "it lies in the executable's own folder, which stays read-only to the account"});
    } else if (isRoot(folder)) {
      choice.passedOver.push_back({file, "it lies in the root of a drive or share"});
    } else if (std::none_of(choice.prepared.begin(), choice.prepared.end(),
                            [&](const std::string& f) { return sameFolder(f, folder); })) {
      choice.prepared.push_back(folder);
    }
  }
  return choice;
}

}  // namespace runvo
