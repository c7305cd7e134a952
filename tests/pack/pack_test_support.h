// Fixtures for the builder's tests: a minimal Windows image to pack onto and
// a scratch directory per test.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "pack/config/pack_config.h"
#include "payload/payload_writer.h"

namespace runvo::pack::testing {

// DOS header, PE header and one section header whose raw data ends the file,
// so the image end is exactly the file size.
Bytes makeFakeStub(std::uint32_t sectionRawSize = 0x200);
inline constexpr std::uint32_t kFakeStubRawOffset = 0x200;

// A stub with a resource section (holding a manifest) among the sections
// named here, in this order: ".text", ".rsrc", ".reloc" (one block of base
// relocations) or ".data". The image end is the file's end.
Bytes makeFakeStubWithSections(const std::vector<std::string>& sectionNames);
inline constexpr std::string_view kFakeManifest = "<assembly manifestVersion=\"1.0\"/>";

// Enough of a jar for the builder, which checks only the zip signature.
Bytes makeFakeJar(std::string_view tag = "runtime");

// Zip archives made byte by byte, so that tests can also damage them.
struct ZipMember {
  std::string name;
  std::string content;
  bool deflated = false;
};
struct ZipLayout {
  std::string prefix;   // bytes in front of the archive, as an executable jar's launch script
  std::string comment;  // the archive comment after the end record
  bool zip64 = false;   // end records as a writer makes them for more than 65535 entries
};
Bytes makeZip(const std::vector<ZipMember>& members, const ZipLayout& layout = {});

// A jar of a manifest (deflated, as the jar tool writes it, or stored) and a class file.
Bytes makeJar(std::string_view manifest, bool deflated = true);

// An executable taken apart again: its tables and, as many as key 2002
// says, the contents of its file records, unscrambled.
struct UnpackedExecutable {
  ConfigTable table;
  std::vector<Bytes> files;
};
UnpackedExecutable unpackExecutable(const Bytes& executable);

// The minimal config every build needs, as dotted keys so cases can add
// fields of the same tables.
inline constexpr std::string_view kRequiredFields =
    "service.name = \"Svc\"\napp.main_class = \"com.example.Main\"\n";

// A shell command's exit code and output.
struct CommandResult {
  int exitCode = -1;
  std::string output;  // standard output and standard error together
};
CommandResult runCommand(const std::string& command);
std::string quoted(const std::filesystem::path& path);  // for the shell

class ScratchDirectory : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::filesystem::path path(std::string_view name) const;
  std::filesystem::path write(std::string_view name, std::string_view content) const;
  std::filesystem::path write(std::string_view name, const Bytes& content) const;
  Bytes read(std::string_view name) const;

  // Loads config text as if it were the file "app.toml" in the scratch directory.
  Expected<PackPlan> load(std::string_view configText) const;

  std::filesystem::path root_;
};

}  // namespace runvo::pack::testing
