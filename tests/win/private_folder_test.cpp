// The security an extraction directory is created with. Wine keeps no DACL
// on files here (it reads back the default), so what is asked for is checked.
#include <gtest/gtest.h>

#include "payload/temp_dirs.h"
#include "util/unique_handle.h"

#include <sddl.h>

namespace runvo {
namespace {

std::wstring currentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  UniqueHandle owned(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string buffer(size, '\0');
  if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  wchar_t* sid = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) return {};
  std::wstring text(sid);
  LocalFree(sid);
  return text;
}

TEST(PrivateFolder, OnlyTheAccountSystemAndAdministratorsNothingInherited) {
  const std::wstring sid = currentUserSid();
  ASSERT_FALSE(sid.empty());
  PrivateFolderSecurity security;
  ASSERT_TRUE(security.valid());
  wchar_t* text = nullptr;
  ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(security.descriptor(), SDDL_REVISION_1,
                                                                   DACL_SECURITY_INFORMATION, &text, nullptr));
  const std::wstring sddl(text);
  LocalFree(text);
  // P: protected, not inherited from the temporary folder; OICI: passed on to
  // everything inside; FA: full access.
  EXPECT_EQ(sddl, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + sid + L")");
}

}  // namespace
}  // namespace runvo
