// What /install does to a folder for a least-privilege account. Wine keeps
// no DACL on files (it reads back the default), so the DACL that is applied
// is checked as it is built.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "service/folder_access.h"
#include "util/unique_handle.h"

#include <sddl.h>

namespace runvo {
namespace {

namespace fs = std::filesystem;

// The DACL of an SDDL text, and back.
UniqueLocalMemory descriptorOf(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr));
  return UniqueLocalMemory(descriptor);
}

ACL* daclOf(const UniqueLocalMemory& descriptor) {
  BOOL present = FALSE, defaulted = FALSE;
  ACL* dacl = nullptr;
  EXPECT_TRUE(GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
  return dacl;
}

// An allowed entry of a DACL, its SID as text.
struct Entry {
  std::string sid;
  DWORD rights;
  BYTE flags;
  bool operator==(const Entry&) const = default;
};

std::vector<Entry> entriesOf(ACL* dacl) {
  std::vector<Entry> entries;
  for (DWORD index = 0; dacl && index < dacl->AceCount; ++index) {
    void* ace = nullptr;
    if (!GetAce(dacl, index, &ace)) break;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    char* sid = nullptr;
    if (!ConvertSidToStringSidA(&allowed->SidStart, &sid)) continue;
    entries.push_back({sid, allowed->Mask, allowed->Header.AceFlags});
    LocalFree(sid);
  }
  return entries;
}

TEST(FolderAccess, TheGrantIsAddedToWhatTheFolderHasAndInheritedByItsContents) {
  const std::string virtualSid = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
  constexpr BYTE kInheritedByContents = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  struct Case {
    const wchar_t* existing;
    std::vector<Entry> kept;  // what the folder had, inherited entries as inherited
    std::string sid;
  };
  const Case cases[] = {
      {L"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)",
       {{"S-1-5-18", FILE_ALL_ACCESS, 0}, {"S-1-5-32-544", FILE_ALL_ACCESS, 0}, {"S-1-5-32-545", 0x1200a9, 0}},
       "S-1-5-19"},
      {L"D:AI(A;ID;FA;;;SY)(A;OICIID;FA;;;BA)",
       {{"S-1-5-18", FILE_ALL_ACCESS, INHERITED_ACE},
        {"S-1-5-32-544", FILE_ALL_ACCESS, kInheritedByContents | INHERITED_ACE}},
       virtualSid},
  };
  for (const Case& c : cases) {
    const UniqueLocalMemory descriptor = descriptorOf(c.existing);
    DWORD error = 0;
    const UniqueLocalMemory merged = daclWithGrant(daclOf(descriptor), FolderGrant{c.sid}, error);
    ASSERT_TRUE(merged) << error;
    std::vector<Entry> entries = entriesOf(static_cast<ACL*>(merged.get()));
    // Modify rights for the account, passed on to the files and folders inside, and only that.
    const Entry granted{c.sid, kModifyRights, kInheritedByContents};
    EXPECT_EQ(std::count(entries.begin(), entries.end(), granted), 1) << c.sid;
    entries.erase(std::remove(entries.begin(), entries.end(), granted), entries.end());
    EXPECT_EQ(entries, c.kept) << c.sid;
  }
}

TEST(FolderAccess, FoldersAreMadeAlongThePathButNeverOverAFile) {
  const fs::path root = fs::temp_directory_path() / ("runvo-folders-" + std::to_string(GetCurrentProcessId()));
  fs::remove_all(root);
  fs::create_directories(root);
  EXPECT_EQ(createFolderTree((root / "a" / "b" / "c").string()), 0u);
  EXPECT_TRUE(fs::is_directory(root / "a" / "b" / "c"));
  EXPECT_EQ(createFolderTree((root / "a" / "b" / "c").string() + "\\"), 0u) << "made already";

  std::ofstream(root / "file") << "keep";
  EXPECT_EQ(createFolderTree((root / "file" / "logs").string()), static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_EQ(createFolderTree((root / "file").string()), static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_TRUE(fs::is_regular_file(root / "file"));
  EXPECT_EQ(fs::file_size(root / "file"), 4u);

  // Applied to a real folder, the call is made and succeeds (what Windows
  // then enforces is beyond Wine).
  EXPECT_EQ(grantOnFolder((root / "a").string(), FolderGrant{"S-1-5-19"}), 0u);
  fs::remove_all(root);
}

TEST(FolderAccess, TheAccountsSidIsKnownOrLookedUp) {
  DWORD error = 0;
  EXPECT_EQ(serviceAccountSid({AccountKind::Virtual, ""}, "TrustedInstaller", error),
            "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464");
  EXPECT_EQ(serviceAccountSid({AccountKind::NetworkService, ""}, "svc", error), "S-1-5-20");
  char user[256];
  DWORD length = sizeof user;
  ASSERT_TRUE(GetUserNameA(user, &length));
  const auto own = serviceAccountSid({AccountKind::User, std::string(".\\") + user}, "svc", error);
  ASSERT_TRUE(own) << error;
  EXPECT_TRUE(own->starts_with("S-1-5-")) << *own;
  EXPECT_FALSE(serviceAccountSid({AccountKind::GroupManaged, "NOSUCHDOMAIN\\nobody$"}, "svc", error));
  EXPECT_NE(error, 0u);
}

}  // namespace
}  // namespace runvo
