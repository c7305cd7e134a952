// [identity]: the version resource and icon written into the stub's rebuilt
// resource section, read back with icoutils' wrestool and icotool; the
// headers that follow from the new section; and what is refused.
#include "pack/build/builder.h"
#include "pack/common/byte_fields.h"
#include "pack/image/pe_image.h"
#include "pack/image/resource_section.h"
#include "pack_test_support.h"
#include "support/icon_bytes.h"

namespace runvo::pack::testing {
namespace {

constexpr std::string_view kIdentity =
    "[identity]\n"
    "product_name = 'Hello Product'\n"
    "company = 'Example Ltd'\n"
    "file_description = 'Hello Service — läuft'\n"
    "version = '1.2.3.4'\n"
    "copyright = '© 2026 Example'\n"
    "original_filename = 'HelloService.exe'\n"
    "icon = 'app.ico'\n";

bool icoutilsPresent() { return runCommand("command -v wrestool && command -v icotool").exitCode == 0; }

std::string utf16(std::string_view ascii) {
  std::string wide;
  for (char c : ascii) wide += {c, '\0'};
  return wide;
}

struct SectionView {
  std::string name;
  std::uint32_t virtualSize, virtualAddress, rawSize, rawOffset;
};

std::vector<SectionView> sectionsOf(const Bytes& image) {
  const auto fields = locateHeaderFields(image);
  std::vector<SectionView> sections;
  for (std::uint32_t i = 0; i < fields->sectionCount; ++i) {
    const std::uint32_t at = fields->sectionTable + 40 * i;
    std::string name(image.begin() + at, image.begin() + at + 8);
    name.erase(name.find('\0'));
    sections.push_back({name, readU32(image, at + 8), readU32(image, at + 12), readU32(image, at + 16),
                        readU32(image, at + 20)});
  }
  return sections;
}

class IdentityTest : public ScratchDirectory {
 protected:
  void SetUp() override {
    ScratchDirectory::SetUp();
    write("app.ico", runvo::testing::iconFile({16, 32, 256}));
  }

  Expected<AssembledExecutable> build(const Bytes& stub, std::string_view extra = kIdentity) {
    auto plan = load(std::string(kRequiredFields) + std::string(extra));
    if (!plan) return plan.error();
    return assembleExecutable(stub, "stub.exe", *plan, false);
  }
};

TEST_F(IdentityTest, WrestoolFindsTheVersionTheIconsAndTheStubsManifest) {
  if (!icoutilsPresent()) GTEST_SKIP() << "icoutils is needed (scripts/setup installs it)";
  auto built = build(makeFakeStubWithSections({".text", ".rsrc", ".reloc"}));
  ASSERT_TRUE(built.ok()) << built.error().message;
  write("app.exe", built->bytes);

  const CommandResult listed = runCommand("wrestool -l " + quoted(path("app.exe")));
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  for (const char* line : {"--type=3 --name=1 --language=1033", "--type=3 --name=2 --language=1033",
                           "--type=3 --name=3 --language=1033", "--type=14 --name=1 --language=1033",
                           "--type=16 --name=1 --language=1033", "--type=24 --name=1 --language=1033"}) {
    EXPECT_NE(listed.output.find(line), std::string::npos) << line << "\n" << listed.output;
  }

  const CommandResult version = runCommand("wrestool -x --raw -t16 " + quoted(path("app.exe")));
  ASSERT_EQ(version.exitCode, 0);
  for (const char* text : {"VS_VERSION_INFO", "040904B0", "ProductName", "Hello Product", "CompanyName",
                           "Example Ltd", "FileVersion", "1.2.3.4", "OriginalFilename", "HelloService.exe"}) {
    EXPECT_NE(version.output.find(utf16(text)), std::string::npos) << text;
  }

  const CommandResult manifest = runCommand("wrestool -x --raw -t24 " + quoted(path("app.exe")));
  EXPECT_EQ(manifest.output, kFakeManifest);

  // The group icon, extracted as an .ico file again, has every size with its image.
  const CommandResult icons = runCommand("wrestool -x -t14 " + quoted(path("app.exe")) + " -o " + quoted(path("out.ico")) +
                                         " && icotool -l " + quoted(path("out.ico")));
  ASSERT_EQ(icons.exitCode, 0) << icons.output;
  for (const char* size : {"--width=16 --height=16", "--width=32 --height=32", "--width=256 --height=256"}) {
    EXPECT_NE(icons.output.find(size), std::string::npos) << size << "\n" << icons.output;
  }
  // wrestool 0.32 pads what it writes with zeros, as many as the group resource has bytes.
  const Bytes original = read("app.ico");
  Bytes extracted = read("out.ico");
  ASSERT_GE(extracted.size(), original.size());
  EXPECT_TRUE(std::all_of(extracted.begin() + original.size(), extracted.end(), [](std::uint8_t b) { return b == 0; }));
  extracted.resize(original.size());
  EXPECT_EQ(extracted, original);
}

// The resource section grows; the headers must describe the new image, and a
// following .reloc moves behind it with its content and its directory entry.
TEST_F(IdentityTest, TheHeadersDescribeTheRebuiltImage) {
  const std::vector<std::vector<std::string>> layouts{{".text", ".rsrc", ".reloc"}, {".text", ".rsrc"},
                                                      {".rsrc", ".reloc"}};
  for (const auto& layout : layouts) {
    SCOPED_TRACE(layout.back() + " last of " + std::to_string(layout.size()));
    const Bytes stub = makeFakeStubWithSections(layout);
    auto built = build(stub);
    ASSERT_TRUE(built.ok()) << built.error().message;
    const Bytes& image = built->bytes;
    const auto fields = locateHeaderFields(image);
    ASSERT_TRUE(fields.ok());
    const std::vector<SectionView> before = sectionsOf(stub);
    const std::vector<SectionView> after = sectionsOf(image);
    ASSERT_EQ(after.size(), before.size());

    const auto rsrc = std::find_if(after.begin(), after.end(), [](const SectionView& s) { return s.name == ".rsrc"; });
    const DataDirectory resources = readDataDirectory(image, *fields, kResourceDirectory);
    EXPECT_EQ(resources.address, rsrc->virtualAddress);
    EXPECT_EQ(resources.size, rsrc->virtualSize);
    EXPECT_GT(rsrc->rawSize, 0x200u);
    EXPECT_EQ(rsrc->rawSize % 0x200, 0u);
    EXPECT_EQ(readU32(image, fields->optionalHeader + 8), readU32(stub, fields->optionalHeader + 8) + rsrc->rawSize - 0x200);
    for (std::size_t i = 1; i < after.size(); ++i) {
      EXPECT_EQ(after[i].rawOffset, after[i - 1].rawOffset + after[i - 1].rawSize) << after[i].name;
      EXPECT_GE(after[i].virtualAddress, after[i - 1].virtualAddress + after[i - 1].virtualSize) << after[i].name;
      EXPECT_EQ(after[i].virtualAddress % 0x1000, 0u) << after[i].name;
    }
    const SectionView& last = after.back();
    EXPECT_EQ(readU32(image, fields->optionalHeader + 56), (last.virtualAddress + last.virtualSize + 0xFFF) / 0x1000 * 0x1000);
    const auto layoutEnd = locateImageEnd(image);
    ASSERT_TRUE(layoutEnd.ok());
    EXPECT_EQ(layoutEnd->imageEnd, last.rawOffset + last.rawSize);
    EXPECT_EQ(readU32(image, fields->checksum), imageChecksum(image, *fields));

    if (last.name == ".reloc") {
      const SectionView& old = before.back();
      const DataDirectory relocations = readDataDirectory(image, *fields, kBaseRelocationDirectory);
      EXPECT_EQ(relocations.address, last.virtualAddress);
      EXPECT_EQ(relocations.size, 12u);
      EXPECT_TRUE(std::equal(stub.begin() + old.rawOffset, stub.begin() + old.rawOffset + old.rawSize,
                             image.begin() + last.rawOffset));
    }
    const UnpackedExecutable unpacked = unpackExecutable(image);
    EXPECT_EQ(unpacked.table.getString(101), "Svc");
  }
}

TEST_F(IdentityTest, TheSameInputsGiveTheSameBytes) {
  const Bytes stub = makeFakeStubWithSections({".text", ".rsrc", ".reloc"});
  auto first = build(stub);
  auto second = build(stub);
  ASSERT_TRUE(first.ok() && second.ok());
  EXPECT_EQ(first->bytes, second->bytes);
}

TEST_F(IdentityTest, AVersionAloneKeepsTheStubsIconsAndAnIconReplacesThem) {
  const Bytes stub = makeFakeStubWithSections({".text", ".rsrc"});
  auto once = build(stub);
  ASSERT_TRUE(once.ok());
  const Bytes image(once->bytes.begin(), once->bytes.begin() + locateImageEnd(once->bytes)->imageEnd);
  write("one.ico", runvo::testing::iconFile({24}));

  struct Case {
    std::string_view what;
    Identity identity;
    std::size_t icons;
  };
  auto oneIcon = readIconFile(read("one.ico"));
  ASSERT_TRUE(oneIcon.ok());
  const Case cases[] = {{"version only", {"Other", "", "", "", "", std::array<std::uint16_t, 4>{9, 0, 0, 0}, {}}, 3},
                        {"a new icon", {"Other", "", "", "", "", std::nullopt, *oneIcon}, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto rebuilt = imageWithIdentity(image, c.identity);
    ASSERT_TRUE(rebuilt.ok()) << rebuilt.error().message;
    const SectionView rsrc = sectionsOf(*rebuilt).back();
    auto resources = readResourceTree(Bytes(rebuilt->begin() + rsrc.rawOffset, rebuilt->begin() + rsrc.rawOffset + rsrc.rawSize),
                                      rsrc.virtualAddress);
    ASSERT_TRUE(resources.ok());
    const auto count = [&](std::uint16_t type) {
      return static_cast<std::size_t>(std::count_if(resources->begin(), resources->end(),
                                                    [&](const Resource& r) { return r.type == type; }));
    };
    EXPECT_EQ(count(kIconResource), c.icons);
    EXPECT_EQ(count(kIconGroupResource), 1u);
    EXPECT_EQ(count(kVersionResource), 1u);
    EXPECT_EQ(count(24), 1u);
  }
}

TEST_F(IdentityTest, ConfigRefusals) {
  Bytes damaged = runvo::testing::iconFile({16, 32});
  damaged.resize(damaged.size() - 10);
  write("damaged.ico", damaged);
  write("notanicon.ico", "GIF89a");
  struct Refusal {
    std::string_view what;
    std::string config;
    std::string message;
  };
  const Refusal refusals[] = {
      {"three numbers", "[identity]\nversion = '1.2.3'\n", "app.toml:4: identity.version \"1.2.3\" must be four numbers"},
      {"five numbers", "[identity]\nversion = '1.2.3.4.5'\n", "identity.version \"1.2.3.4.5\" must be four numbers"},
      {"too large", "[identity]\nversion = '1.2.3.65536'\n", "identity.version \"1.2.3.65536\" must be four numbers of 0 to 65535"},
      {"not numbers", "[identity]\nversion = 'a.b.c.d'\n", "identity.version \"a.b.c.d\" must be four numbers"},
      {"a signed number", "[identity]\nversion = '1.-2.3.4'\n", "identity.version \"1.-2.3.4\" must be four numbers"},
      {"not a string", "[identity]\nversion = 5\n", "app.toml:4: identity.version must be a string, not an integer"},
      {"unknown field", "[identity]\ncolour = 'red'\n",
       "app.toml:4: unknown field \"colour\" in [identity] (known: product_name, company, file_description, version, "
       "copyright, original_filename, icon)"},
      {"too long", "[identity]\ncompany = '" + std::string(1025, 'x') + "'\n", "identity.company is longer than 1024 characters"},
      {"missing icon", "[identity]\nicon = 'missing.ico'\n", "app.toml:4: identity.icon: "},
      {"damaged icon", "[identity]\nicon = 'damaged.ico'\n",
       "damaged.ico\" is a damaged icon file: image 2 (4264 bytes at offset 1166) lies outside the file of 5420 bytes"},
      {"not an icon", "[identity]\nicon = 'notanicon.ico'\n", "notanicon.ico\" is not an icon file (.ico)"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    auto plan = load(std::string(kRequiredFields) + refusal.config);
    ASSERT_FALSE(plan.ok());
    EXPECT_NE(plan.error().message.find(refusal.message), std::string::npos) << plan.error().message;
  }
}

TEST_F(IdentityTest, AStubWhoseResourceSectionCannotBeRebuiltIsRefused) {
  struct Refusal {
    std::string_view what;
    Bytes stub;
    std::string message;
  };
  const Refusal refusals[] = {
      {"data after the resources", makeFakeStubWithSections({".text", ".rsrc", ".data"}),
       "the stub \"stub.exe\" has sections after its resource section other than the base relocations"},
      {"two sections after them", makeFakeStubWithSections({".rsrc", ".data", ".reloc"}),
       "has sections after its resource section other than the base relocations"},
      {"no resource section", makeFakeStubWithSections({".text", ".reloc"}),
       "the stub \"stub.exe\" has no resource section"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    auto built = build(refusal.stub);
    ASSERT_FALSE(built.ok());
    EXPECT_NE(built.error().message.find(refusal.message), std::string::npos) << built.error().message;
  }
}

}  // namespace
}  // namespace runvo::pack::testing
