// Executables as administrators meet them: the version information and the
// icon runvo-pack writes, read back through the Windows API, and signed
// executables, which must run like unsigned ones.
#include <fstream>

#include "jvm_double_fixture.h"
#include "launcher_fixture.h"
#include "pack/image/pe_image.h"
#include "pack/image/resource_section.h"
#include "support/icon_bytes.h"
#include "util/unique_handle.h"

namespace runvo::testing {
namespace {

namespace fs = std::filesystem;
using Payload = PayloadBytes;

std::vector<std::uint8_t> readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One version string as VerQueryValue gives it, in UTF-8.
std::string versionString(const std::vector<std::uint8_t>& block, const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || length == 0) return "(missing)";
  const std::wstring text(static_cast<const wchar_t*>(value), length - 1);
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

class PackedIdentity : public JvmDoubleTest {
 protected:
  Payload config() { return Payload::tables({{101, "IdentityTest"}, {107, "0"}, {122, "com.example.App"}, {128, searchEntry()}}); }

  // The stub with the identity's resource section, then the payload, as the builder writes them.
  fs::path launcherWithIdentity(const pack::Identity& identity) {
    const auto stub = readBytes(stubPath());
    auto image = pack::imageWithIdentity(stub, identity);
    EXPECT_TRUE(image.ok()) << (image.ok() ? "" : image.error().message);
    if (!image.ok()) return {};
    const Payload payload = config();
    image->insert(image->end(), payload.bytes().begin(), payload.bytes().end());
    pack::updateChecksum(*image, *pack::locateHeaderFields(*image));
    const fs::path path = dir_ / "identity.exe";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image->data()),
                                                static_cast<std::streamsize>(image->size()));
    return path;
  }

  // The child run of the service, with the jvm.dll double.
  LauncherRun child(const fs::path& launcher) {
    return run(launcher, {.arguments = L"__ksx_restart", .environment = {{L"MANPATH", L""}}});
  }
};

TEST_F(PackedIdentity, WindowsReadsTheVersionInformationAndEveryIconSize) {
  pack::Identity identity{"Hello Product", "Example Ltd", "Hello Service — läuft", "© 2026 Example",
                          "HelloService.exe", std::array<std::uint16_t, 4>{1, 2, 300, 65535}, {}};
  const std::vector<std::uint32_t> sizes{16, 32, 48};
  auto icon = pack::readIconFile(iconFile(sizes));
  ASSERT_TRUE(icon.ok());
  identity.icon = *icon;
  const fs::path launcher = launcherWithIdentity(identity);
  ASSERT_FALSE(launcher.empty());

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(launcher.c_str(), &ignored);
  ASSERT_GT(size, 0u) << GetLastError();
  std::vector<std::uint8_t> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(launcher.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLength = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
  EXPECT_EQ(fixed->dwFileVersionLS, (300u << 16) | 65535u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);

  const std::pair<const wchar_t*, std::string> strings[] = {
      {L"ProductName", "Hello Product"},         {L"CompanyName", "Example Ltd"},
      {L"FileDescription", "Hello Service — läuft"}, {L"LegalCopyright", "© 2026 Example"},
      {L"OriginalFilename", "HelloService.exe"}, {L"FileVersion", "1.2.300.65535"},
      {L"ProductVersion", "1.2.300.65535"},
  };
  for (const auto& [name, expected] : strings) EXPECT_EQ(versionString(block, name), expected) << name;

  // The group names one icon per size; Windows picks the matching one.
  UniqueModule module(LoadLibraryExW(launcher.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module) << GetLastError();
  HRSRC group = FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));
  ASSERT_NE(group, nullptr);
  auto* directory = static_cast<BYTE*>(LockResource(LoadResource(module.get(), group)));
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const int sizePx = static_cast<int>(sizes[i]);
    const int id = LookupIconIdFromDirectoryEx(directory, TRUE, sizePx, sizePx, LR_DEFAULTCOLOR);
    EXPECT_EQ(id, static_cast<int>(i + 1)) << sizePx;
    HRSRC image = FindResourceW(module.get(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));
    ASSERT_NE(image, nullptr) << sizePx;
    EXPECT_EQ(SizeofResource(module.get(), image), icon->at(i).data.size());
  }
  // The manifest the stub carries stays.
  EXPECT_NE(FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)), nullptr);
}

TEST_F(PackedIdentity, TheRebuiltImageStillRunsItsApplication) {
  const fs::path launcher = launcherWithIdentity({"Product", "", "", "", "", std::nullopt, {}});
  ASSERT_FALSE(launcher.empty());
  const LauncherRun r = child(launcher);
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_TRUE(has(trace(), "DestroyJavaVM")) << joined(trace());
}

TEST_F(PackedIdentity, ASignedExecutableRunsItsApplication) {
  const fs::path launcher = makeLauncher(config());
  const ProcessResult signing = sign(launcher);
  ASSERT_EQ(signing.exitCode, 0u) << signing.out << signing.err;
  const LauncherRun r = child(launcher);
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_TRUE(has(trace(), "DestroyJavaVM")) << joined(trace());
}

}  // namespace
}  // namespace runvo::testing
