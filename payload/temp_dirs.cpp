#include "payload/temp_dirs.h"

#include <direct.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "diag/log.h"
#include "payload/config_keys.h"
#include "payload/environment.h"
#include "util/base_api.h"
#include "util/filled_buffer.h"
#include "util/win_text.h"
#include "util/paths.h"
#include "util/removal_rules.h"
#include "payload/extraction_names.h"
#include "util/win.h"

namespace runvo {

namespace {
std::string windowsDirectory() {
  return filledBuffer<char>([](char* b, DWORD n) { return static_cast<DWORD>(GetWindowsDirectoryA(b, n)); });
}

// A temporary path that the ANSI file functions can write: "?" stands in for
// a character of another code page, and no Windows path holds one, so a "?"
// in the path or in its long form means the path is unusable.
bool expressibleInAnsi(const std::string& path) {
  if (path.find('?') != std::string::npos) return false;
  const std::string longForm = longPathName(path);
  // A path whose long form cannot be had (it may not exist yet) is kept.
  return longForm.find('?') == std::string::npos;
}

std::string firstWritableFallback() {
  const std::string windows = windowsDirectory();
  for (const std::string& candidate : {windows + "\\temp", std::string("c:\\temp"), std::string("c:\\tmp"), windows}) {
    if (!candidate.empty() && isWritableDir(candidate)) return candidate;
  }
  if (isWritableDir("c:\\")) {
    _mkdir("c:\\tmp");
    if (isWritableDir("c:\\tmp")) return "c:\\tmp";
  }
  return {};
}
}  // namespace

Outcome<std::string> findTempPath() {
  std::string path = filledBuffer<char>([](char* b, DWORD n) { return GetTempPathA(n, b); });
  writeLog("GetTempPath returned %d (last error %d)", static_cast<int>(path.size()), static_cast<int>(GetLastError()));
  if (path.empty()) {
    path = environmentVariable("HOMEDRIVE") + environmentVariable("HOMEPATH");
    writeLog("No temp dir defined. Using home %s", path.c_str());
  } else {
    writeLog("make dir returned %d", _mkdir(path.c_str()));
  }
  if (expressibleInAnsi(path)) return path;

  std::string fallback = firstWritableFallback();
  if (fallback.empty()) return keyedFailure(kMsgNoTempDir, std::nullopt, "finding a usable temporary folder");
  return fallback;
}

bool isWritableDir(const std::string& directory) {
  const std::string testDirectory = directory + "\\rvx_w_testdir";
  _rmdir(testDirectory.c_str());
  if (_mkdir(testDirectory.c_str()) != 0) return false;
  const bool exists = pathExists(testDirectory);
  _rmdir(testDirectory.c_str());
  return exists;
}

Outcome<std::string> createTempFileName() {
  const auto found = findTempPath();
  if (!found) return found;
  const std::string& tempPath = *found;
  writeLog("tempPath is %s", tempPath.c_str());
  char name[MAX_PATH + 1] = {};
  std::string result;
  if (GetTempFileNameA(tempPath.c_str(), "rvx", 0, name) != 0) {
    result = name;
  } else {
    writeLog("GetTempFileName failed (last error %d)", static_cast<int>(GetLastError()));
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    result = tempPath + "rvx" + std::to_string(std::rand());
  }
  writeLog("tempFile is %s", result.c_str());
  return result;
}

namespace {
constexpr int kNameAttempts = 8;

std::uint64_t randomNumber() {
  std::uint64_t value = 0;
  if (!base_api::fillRandom(&value, sizeof value)) value = (static_cast<std::uint64_t>(GetTickCount()) << 32) ^ GetCurrentProcessId();
  return value;
}

bool createPrivateDirectory(const std::string& directory) {
  PrivateFolderSecurity security;
  if (!security.valid()) {
    writeErrorLog("no private security descriptor for %s (error %d)", directory.c_str(),
                  static_cast<int>(GetLastError()));
    return CreateDirectoryA(directory.c_str(), nullptr) != FALSE;
  }
  // Given at creation, the DACL holds from the first moment the folder exists.
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security.descriptor(), FALSE};
  return CreateDirectoryA(directory.c_str(), &attributes) != FALSE;
}

UniqueHandle createOwnerLock(const std::string& directory) {
  const std::string lock = directory + "\\" + std::string(kOwnerLockName);
  // No sharing: while this handle is open, nobody can delete the file.
  return UniqueHandle(CreateFileA(lock.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_HIDDEN, nullptr));
}
}  // namespace

Outcome<ExtractionDirectory> createExtractionDirectory(const std::string& ownerId) {
  auto tempPath = findTempPath();
  if (!tempPath) return tempPath.takeError();
  std::string base = *tempPath;
  if (!base.empty() && base.back() != '\\') base += '\\';
  DWORD error = 0;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string directory = base + extractionDirectoryName(ownerId, randomNumber());
    writeLog("Temp dir: %s", directory.c_str());
    // Never an existing directory: a clash, or one planted there, is passed over.
    if (!createPrivateDirectory(directory)) {
      error = GetLastError();
      if (error == ERROR_ALREADY_EXISTS) continue;
      break;
    }
    UniqueHandle lock = createOwnerLock(directory);
    if (!lock) {
      // Taken away in between by a clean-up that did not see the lock yet.
      error = GetLastError();
      RemoveDirectoryA(directory.c_str());
      continue;
    }
    return ExtractionDirectory{directory, std::move(lock)};
  }
  // A temporary folder that is missing or closed to this account is no usable temporary folder.
  Failure failure = error == ERROR_PATH_NOT_FOUND || error == ERROR_ACCESS_DENIED
                        ? keyedFailure(kMsgNoTempDir, std::nullopt, "creating an extraction folder in " + base, error)
                        : keyedFailure(kMsgInternalError, "7", "creating an extraction folder in " + base, error);
  failure.notes.push_back("Could not create a folder in " + base + ": " + systemErrorText(error));
  return failure;
}

namespace {
// The token's user and its default owner of new objects (for an administrator
// the Administrators group): either owns what this account created.
std::vector<DWORD> tokenInformation(TOKEN_INFORMATION_CLASS kind) {
  HANDLE token = nullptr;
  if (!base_api::OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  UniqueHandle tokenHandle(token);
  DWORD size = 0;
  base_api::GetTokenInformation(token, kind, nullptr, 0, &size);
  std::vector<DWORD> information((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  if (size == 0 || !base_api::GetTokenInformation(token, kind, information.data(), size, &size)) return {};
  return information;
}

bool ownedByThisAccount(HANDLE folder) {
  DWORD size = 0;
  base_api::GetKernelObjectSecurity(folder, OWNER_SECURITY_INFORMATION, nullptr, 0, &size);
  std::vector<DWORD> descriptor((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (size == 0 || !base_api::GetKernelObjectSecurity(folder, OWNER_SECURITY_INFORMATION, descriptor.data(), size,
                                                      &size) ||
      !base_api::GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) || owner == nullptr) {
    return false;
  }
  std::vector<DWORD> user = tokenInformation(TokenUser);
  std::vector<DWORD> defaultOwner = tokenInformation(TokenOwner);
  return (!user.empty() && base_api::EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid)) ||
         (!defaultOwner.empty() &&
          base_api::EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(defaultOwner.data())->Owner));
}

// The folder itself, never what a link there points to, opened without
// sharing for deletion: while the handle lives, nobody can rename the folder
// or put a link in its place.
UniqueHandle pinFolder(const std::string& path) {
  return UniqueHandle(CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// 0 (no folder at all) when they cannot be read.
std::uint32_t attributesOf(HANDLE pinned) {
  BY_HANDLE_FILE_INFORMATION information{};
  return GetFileInformationByHandle(pinned, &information) ? information.dwFileAttributes : 0;
}

void removeEntry(const std::string& path, std::uint32_t attributes) {
  switch (removalStepFor(attributes)) {
    case RemovalStep::Descend: removeDirectoryTree(path); break;
    case RemovalStep::RemoveLinkItself:
      writeLog("removing the link %s, not what it points to", path.c_str());
      RemoveDirectoryA(path.c_str());
      break;
    case RemovalStep::DeleteFile:
      writeLog("attempting to delete %s", path.c_str());
      // A read-only file cannot be deleted; a link's attributes would be its target's.
      if ((attributes & kAttributeReparsePoint) == 0) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
      break;
  }
}

// Removes everything in the pinned folder: folders at every depth, links as
// links.
void emptyFolder(const std::string& path) {
  WIN32_FIND_DATAA entry;
  UniqueFindHandle search(FindFirstFileA((path + "\\*").c_str(), &entry));
  if (!search) return;
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != "..") removeEntry(path + "\\" + name, entry.dwFileAttributes);
  } while (FindNextFileA(search.get(), &entry));
}

enum class StaleFolder { Removed, InUse, LeftAlone };

StaleFolder removeIfStale(const std::string& directory, std::uint32_t listedAttributes) {
  UniqueHandle pinned = pinFolder(directory);
  // Pinned by a clean-up running at the same time, or gone meanwhile.
  if (!pinned) return GetLastError() == ERROR_SHARING_VIOLATION ? StaleFolder::InUse : StaleFolder::LeftAlone;
  const StaleFolderVerdict verdict =
      judgeStaleFolder(listedAttributes, attributesOf(pinned.get()), ownedByThisAccount(pinned.get()));
  if (verdict != StaleFolderVerdict::Remove) {
    writeErrorLog("leaving %s alone: %s", directory.c_str(), leftAloneReason(verdict));
    return StaleFolder::LeftAlone;
  }
  const std::string lock = directory + "\\" + std::string(kOwnerLockName);
  // A run that still owns the directory holds its lock file open.
  if (!DeleteFileA(lock.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) return StaleFolder::InUse;
  writeLog("removing %s, left by a run that ended", directory.c_str());
  emptyFolder(directory);
  pinned.reset();
  RemoveDirectoryA(directory.c_str());
  return StaleFolder::Removed;
}
}  // namespace

bool removeDirectoryTree(const std::string& path) {
  writeLog("emptying %s", path.c_str());
  {
    UniqueHandle pinned = pinFolder(path);
    if (pinned && removalStepFor(attributesOf(pinned.get())) == RemovalStep::Descend) emptyFolder(path);
  }
  // A link in the folder's place loses only itself.
  return RemoveDirectoryA(path.c_str()) != FALSE;
}

int removeStaleExtractionDirectories(const std::string& ownerId) {
  auto tempPath = findTempPath();
  if (!tempPath) return 0;
  std::string base = *tempPath;
  if (!base.empty() && base.back() != '\\') base += '\\';
  WIN32_FIND_DATAA entry;
  UniqueFindHandle search(FindFirstFileA((base + "rvx*").c_str(), &entry));
  if (!search) return 0;
  int inUse = 0;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !isExtractionDirectoryOf(entry.cFileName, ownerId)) {
      continue;
    }
    if (removeIfStale(base + entry.cFileName, entry.dwFileAttributes) == StaleFolder::InUse) ++inUse;
  } while (FindNextFileA(search.get(), &entry));
  return inUse;
}

Outcome<std::string> processCommFileName(unsigned long processId) {
  auto tempPath = findTempPath();
  if (!tempPath) return tempPath;
  return *tempPath + "rvx_p" + std::to_string(processId) + ".tmp";
}

// A DACL of its own, not inherited from the temporary folder (for a
// LocalSystem service C:\Windows\Temp, where every user may create folders).
// Made with kernelbase's functions, so that a run needs no advapi32.
PrivateFolderSecurity::PrivateFolderSecurity() {
  std::vector<DWORD> user = tokenInformation(TokenUser);
  if (user.empty()) return;
  alignas(DWORD) unsigned char system[SECURITY_MAX_SID_SIZE];
  alignas(DWORD) unsigned char administrators[SECURITY_MAX_SID_SIZE];
  DWORD systemSize = sizeof system, administratorsSize = sizeof administrators;
  auto* acl = reinterpret_cast<ACL*>(acl_);
  constexpr DWORD kInherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  valid_ = base_api::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize) &&
           base_api::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &administratorsSize) &&
           base_api::InitializeAcl(acl, kAclCapacity, ACL_REVISION) &&
           base_api::AddAccessAllowedAceEx(acl, ACL_REVISION, kInherited, FILE_ALL_ACCESS, system) &&
           base_api::AddAccessAllowedAceEx(acl, ACL_REVISION, kInherited, FILE_ALL_ACCESS, administrators) &&
           base_api::AddAccessAllowedAceEx(acl, ACL_REVISION, kInherited, FILE_ALL_ACCESS,
                                           reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid) &&
           base_api::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
           base_api::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
           base_api::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

}  // namespace runvo
