// The folders a least-privilege service writes, made by /install and
// opened to the service's account: one entry added to what the folder has.
#pragma once
#include <optional>
#include <string>

#include "service/grant_rules.h"
#include "util/unique_handle.h"

namespace runvo {

// The account's SID as text: known from its kind and the service name (UTF-8),
// else looked up by the account's name; none with the system's error.
std::optional<std::string> serviceAccountSid(const ServiceAccount& account, const std::string& serviceName,
                                             DWORD& error);

// A copy of the DACL (none: empty) with the grant added; the system merges
// it with an entry the account has already. Empty with the error on failure.
UniqueLocalMemory daclWithGrant(ACL* existing, const FolderGrant& grant, DWORD& error);

// Creates each missing folder of the path (in the file functions' code
// page); 0, or the error of the first folder that could not be made.
DWORD createFolderTree(const std::string& folder);

// Adds the grant to the folder's DACL, and so to everything inside that
// inherits; 0 or the system's error.
DWORD grantOnFolder(const std::string& folder, const FolderGrant& grant);

}  // namespace runvo
