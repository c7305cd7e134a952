// What /install grants a service's account on the folders it writes, and the
// account's SID as Windows derives it.
#include <gtest/gtest.h>

#include "service/grant_rules.h"
#include "util/sha1.h"

namespace runvo {
namespace {

std::string hex(const std::array<std::uint8_t, 20>& digest) {
  std::string text;
  for (std::uint8_t byte : digest) {
    text += "0123456789abcdef"[byte >> 4];
    text += "0123456789abcdef"[byte & 15];
  }
  return text;
}

TEST(GrantRules, Sha1OfTheStandardsVectors) {
  // FIPS 180 examples, the last across two blocks; 55 and 56 bytes sit on
  // either side of the padding's block boundary.
  struct Case {
    std::string input;
    const char* digest;
  };
  const Case cases[] = {
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {std::string(55, 'a'), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
      {std::string(56, 'a'), "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
      {std::string(1000, 'a'), "291e9a6c66994949b57ba5e650361e98fc36b1ba"},
  };
  for (const Case& c : cases) EXPECT_EQ(hex(sha1(c.input)), c.digest) << c.input.size() << " bytes";
}

TEST(GrantRules, AVirtualAccountsSidComesFromItsNameInAnyCase) {
  // As Windows documents NT SERVICE\TrustedInstaller.
  const std::string trustedInstaller = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
  EXPECT_EQ(virtualAccountSid(u"TrustedInstaller"), trustedInstaller);
  EXPECT_EQ(virtualAccountSid(u"TRUSTEDINSTALLER"), trustedInstaller);
  EXPECT_EQ(virtualAccountSid(u"trustedinstaller"), trustedInstaller);
  EXPECT_NE(virtualAccountSid(u"TrustedInstaller2"), trustedInstaller);
}

TEST(GrantRules, EveryAccountButLocalSystemGetsModifyRightsInheritedByTheFolderContents) {
  struct Case {
    AccountKind kind;
    const char* user;
    std::optional<std::string> knownSid;
    std::optional<std::string> ace;  // with the SID a look-up would give a user
  };
  const std::string lookedUp = "S-1-5-21-1-2-3-1001";
  const std::string trustedInstaller = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
  const Case cases[] = {
      {AccountKind::LocalSystem, "", "S-1-5-18", std::nullopt},
      {AccountKind::LocalService, "", "S-1-5-19", "(A;OICI;0x1301bf;;;S-1-5-19)"},
      {AccountKind::NetworkService, "", "S-1-5-20", "(A;OICI;0x1301bf;;;S-1-5-20)"},
      {AccountKind::Virtual, "", trustedInstaller, "(A;OICI;0x1301bf;;;" + trustedInstaller + ")"},
      {AccountKind::User, ".\\runner", std::nullopt, "(A;OICI;0x1301bf;;;" + lookedUp + ")"},
      {AccountKind::GroupManaged, "CORP\\svc$", std::nullopt, "(A;OICI;0x1301bf;;;" + lookedUp + ")"},
  };
  for (const Case& c : cases) {
    const auto kind = static_cast<int>(c.kind);
    const std::optional<std::string> sid = knownAccountSid(ServiceAccount{c.kind, c.user}, u"TrustedInstaller");
    EXPECT_EQ(sid, c.knownSid) << "kind " << kind;
    const std::optional<FolderGrant> grant = folderGrantFor(c.kind, sid.value_or(lookedUp));
    ASSERT_EQ(grant.has_value(), c.ace.has_value()) << "kind " << kind;
    if (grant) {
      EXPECT_EQ(aceText(*grant), *c.ace) << "kind " << kind;
    }
  }
}

TEST(GrantRules, TheFoldersOfTheFilesTheServiceWritesOnceEachButNeverTheExecutablesOrARoot) {
  const std::string exe = "C:\\Program Files\\App";
  struct Case {
    const char* label;
    std::vector<std::string> files;
    std::vector<std::string> prepared;
    std::vector<std::string> passedOver;
  };
  const Case cases[] = {
      {"log and output in one folder, any case and slash",
       {"C:\\Program Files\\App\\logs\\svc.log", "c:\\program files/app\\LOGS\\out.txt"},
       {"C:\\Program Files\\App\\logs"},
       {}},
      {"a folder elsewhere, and a nested one",
       {"D:\\data\\logs\\svc.log", "D:\\data\\logs\\out\\app.out"},
       {"D:\\data\\logs", "D:\\data\\logs\\out"},
       {}},
      {"the executable's own folder", {"C:\\Program Files\\App\\svc.log", "C:\\Program Files\\App\\\\x.log"}, {},
       {"C:\\Program Files\\App\\svc.log", "C:\\Program Files\\App\\\\x.log"}},
      {"roots", {"C:\\out.txt", "\\\\server\\share\\out.txt", "\\\\server\\share\\logs\\out.txt"},
       {"\\\\server\\share\\logs"}, {"C:\\out.txt", "\\\\server\\share\\out.txt"}},
      {"not a full path, or known only at run time",
       {"out.txt", "logs\\out.txt", "\"C:\\x\\out.txt\"", "1:\\x\\out.txt", "$APPDATA/out.txt"}, {},
       {"out.txt", "logs\\out.txt", "\"C:\\x\\out.txt\"", "1:\\x\\out.txt", "$APPDATA/out.txt"}},
  };
  for (const Case& c : cases) {
    const FolderChoice choice = foldersToPrepare(c.files, exe);
    EXPECT_EQ(choice.prepared, c.prepared) << c.label;
    std::vector<std::string> passedOver;
    for (const auto& p : choice.passedOver) {
      passedOver.push_back(p.file);
      EXPECT_FALSE(p.reason.empty()) << c.label;
    }
    EXPECT_EQ(passedOver, c.passedOver) << c.label;
  }
}

}  // namespace
}  // namespace runvo
