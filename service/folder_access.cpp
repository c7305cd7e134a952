#include "service/folder_access.h"

#include <cstdint>
#include <vector>

#include "util/win.h"

#include <aclapi.h>
#include <sddl.h>

#include "util/paths.h"
#include "util/win_text.h"

namespace runvo {

namespace {
std::optional<std::string> lookedUpSid(const std::string& accountName, DWORD& error) {
  const std::wstring name = toWide(accountName.rfind(".\\", 0) == 0 ? accountName.substr(2) : accountName, CP_ACP);
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use{};
  LookupAccountNameW(nullptr, name.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
  std::vector<std::uint64_t> sid(sidSize / sizeof(std::uint64_t) + 1);
  std::wstring domain(domainSize + 1, L'\0');
  if (sidSize == 0 || !LookupAccountNameW(nullptr, name.c_str(), sid.data(), &sidSize, domain.data(), &domainSize, &use)) {
    error = GetLastError();
    return std::nullopt;
  }
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid.data(), &text)) {
    error = GetLastError();
    return std::nullopt;
  }
  const UniqueLocalMemory owned(text);
  return toNarrow(text);
}

// The name as Windows upper-cases it for a virtual account's SID.
std::u16string upperCased(const std::string& serviceName) {
  std::wstring name = fromUtf8(serviceName);
  std::wstring upper(name.size(), L'\0');
  const int length = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.c_str(), static_cast<int>(name.size()),
                                   upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
  if (length == static_cast<int>(name.size())) name = upper;
  return std::u16string(name.begin(), name.end());
}
}  // namespace

std::optional<std::string> serviceAccountSid(const ServiceAccount& account, const std::string& serviceName,
                                             DWORD& error) {
  if (auto known = knownAccountSid(account, upperCased(serviceName))) return known;
  return lookedUpSid(account.user, error);
}

UniqueLocalMemory daclWithGrant(ACL* existing, const FolderGrant& grant, DWORD& error) {
  PSID sid = nullptr;
  if (!ConvertStringSidToSidW(fromUtf8(grant.sid).c_str(), &sid)) {
    error = GetLastError();
    return {};
  }
  const UniqueLocalMemory ownedSid(sid);
  EXPLICIT_ACCESSW entry{};
  entry.grfAccessPermissions = grant.rights;
  entry.grfAccessMode = GRANT_ACCESS;
  entry.grfInheritance = grant.inheritedByContents ? SUB_CONTAINERS_AND_OBJECTS_INHERIT : NO_INHERITANCE;
  entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  entry.Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
  entry.Trustee.ptstrName = static_cast<LPWSTR>(sid);
  ACL* merged = nullptr;
  error = SetEntriesInAclW(1, &entry, existing, &merged);
  return UniqueLocalMemory(error == ERROR_SUCCESS ? merged : nullptr);
}

DWORD createFolderTree(const std::string& folder) {
  const std::wstring path = toWide(folder, fileCodePage());
  // Past the drive ("C:\") or the share ("\\server\share\"), which exist or not by themselves.
  std::size_t at = path.rfind(L"\\\\", 0) == 0 ? path.find(L'\\', path.find(L'\\', 2) + 1) : path.find(L'\\');
  while (at != std::wstring::npos) {
    at = path.find_first_of(L"\\/", at + 1);
    const std::wstring part = path.substr(0, at);
    if (CreateDirectoryW(part.c_str(), nullptr)) continue;
    // An existing folder may also answer "access denied" where the account
    // may not create; a file where a folder belongs is neither made into one
    // nor removed.
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(part.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return error;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
  }
  return 0;
}

DWORD grantOnFolder(const std::string& folder, const FolderGrant& grant) {
  const std::wstring path = toWide(folder, fileCodePage());
  ACL* existing = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      &existing, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return error;
  const UniqueLocalMemory ownedDescriptor(descriptor);
  const UniqueLocalMemory merged = daclWithGrant(existing, grant, error);
  if (!merged) return error;
  return SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, static_cast<ACL*>(merged.get()), nullptr);
}

}  // namespace runvo
