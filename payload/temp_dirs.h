// The temporary folder, unique names in it, and this run's extraction
// directory, which receives the embedded files.
#pragma once
#include <string>

#include "util/outcome.h"
#include "util/unique_handle.h"

namespace runvo {

// The temporary path, with fallbacks for one the 8-bit file functions cannot
// write. Fails with message 1015 when no candidate is usable.
Outcome<std::string> findTempPath();
// Whether a test directory can be made in `directory`.
bool isWritableDir(const std::string& directory);
// A new unique file in the temporary path (created by the system), or a
// time-seeded name when that fails.
Outcome<std::string> createTempFileName();
struct ExtractionDirectory {
  std::string path;
  // Held for the whole run: while it is open, no clean-up takes the directory.
  UniqueHandle ownerLock;
};

// Creates this run's extraction directory, fresh, under a name no one can
// guess (retried on a clash). Fails with message 1009, "7" when it cannot be created.
Outcome<ExtractionDirectory> createExtractionDirectory(const std::string& ownerId);

// Removes this executable's extraction directories whose runs have ended
// (their owner file can be deleted), at every depth; never one in use,
// never another executable's, never one that is not a plain directory of
// this account. Returns how many of this executable's are still in use.
int removeStaleExtractionDirectories(const std::string& ownerId);

// The security an extraction directory is created with: a protected DACL,
// full access for this process's account, SYSTEM and Administrators only.
// Built in place (it points into itself), so neither copied nor moved.
class PrivateFolderSecurity {
 public:
  PrivateFolderSecurity();
  PrivateFolderSecurity(const PrivateFolderSecurity&) = delete;
  PrivateFolderSecurity& operator=(const PrivateFolderSecurity&) = delete;

  // False when this process's account could not be read.
  bool valid() const { return valid_; }
  PSECURITY_DESCRIPTOR descriptor() { return &descriptor_; }

 private:
  static constexpr DWORD kAclCapacity = sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE);
  alignas(DWORD) unsigned char acl_[kAclCapacity] = {};
  SECURITY_DESCRIPTOR descriptor_{};
  bool valid_ = false;
};

// Deletes a directory with everything in it; false when something stayed.
bool removeDirectoryTree(const std::string& path);
// "<temp path>rvx_p<pid>.tmp": the name only; the file is not created here.
Outcome<std::string> processCommFileName(unsigned long processId);

}  // namespace runvo
