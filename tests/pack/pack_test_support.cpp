#include "pack_test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "payload/byte_source.h"

namespace runvo::pack::testing {

namespace {

void put(Bytes& bytes, std::size_t at, std::uint32_t value, int byteCount) {
  for (int i = 0; i < byteCount; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

Bytes makeFakeStub(std::uint32_t sectionRawSize) {
  constexpr std::uint32_t kPeHeader = 0x40;
  constexpr std::uint32_t kOptionalHeaderSize = 0xF0;
  constexpr std::uint32_t kSectionHeader = kPeHeader + 24 + kOptionalHeaderSize;

  Bytes stub(kFakeStubRawOffset + sectionRawSize, 0);
  stub[0] = 'M';
  stub[1] = 'Z';
  put(stub, 0x3C, kPeHeader, 4);
  put(stub, kPeHeader, 0x00004550, 4);  // "PE\0\0"
  put(stub, kPeHeader + 4, 0x8664, 2);  // x86-64
  put(stub, kPeHeader + 6, 1, 2);       // one section
  put(stub, kPeHeader + 20, kOptionalHeaderSize, 2);
  put(stub, kSectionHeader, 0x7865742E, 4);  // ".tex"
  put(stub, kSectionHeader + 16, sectionRawSize, 4);
  put(stub, kSectionHeader + 20, kFakeStubRawOffset, 4);
  for (std::uint32_t i = 0; i < sectionRawSize; ++i) {
    stub[kFakeStubRawOffset + i] = static_cast<std::uint8_t>(i * 7 + 1);
  }
  return stub;
}

Bytes makeFakeJar(std::string_view tag) {
  const std::string jar = std::string("PK\x03\x04", 4) + std::string(tag);
  return Bytes(jar.begin(), jar.end());
}

UnpackedExecutable unpackExecutable(const Bytes& executable) {
  UnpackedExecutable unpacked;
  MemorySource source(executable);
  const PayloadLoad load = readPayload(source, unpacked.table);
  EXPECT_FALSE(load.fatalText.has_value()) << load.fatalText.value_or("");
  if (load.fatalText) return unpacked;

  constexpr std::size_t kSizeField = 8;
  std::size_t at = load.tableEnd;
  for (int i = 0; i < unpacked.table.getInt(2002); ++i) {
    if (executable.size() - at < kSizeField) {
      ADD_FAILURE() << "record " << i + 1 << " has no size field";
      break;
    }
    std::uint64_t size = 0;
    for (std::size_t b = 0; b < kSizeField; ++b) size |= std::uint64_t{executable[at + b]} << (8 * b);
    at += kSizeField;
    if (executable.size() - at < size) {
      ADD_FAILURE() << "record " << i + 1 << " is cut short";
      break;
    }
    Bytes content(executable.begin() + at, executable.begin() + at + size);
    for (auto& byte : content) byte ^= kScrambleKey;
    unpacked.files.push_back(std::move(content));
    at += size;
  }
  EXPECT_EQ(at, executable.size()) << "bytes after the last record";
  return unpacked;
}

void ScratchDirectory::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "runvo-pack-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  root_ = pattern;
}

void ScratchDirectory::TearDown() { std::filesystem::remove_all(root_); }

std::filesystem::path ScratchDirectory::path(std::string_view name) const { return root_ / name; }

std::filesystem::path ScratchDirectory::write(std::string_view name, std::string_view content) const {
  const std::filesystem::path target = path(name);
  std::filesystem::create_directories(target.parent_path());
  std::ofstream(target, std::ios::binary) << content;
  return target;
}

std::filesystem::path ScratchDirectory::write(std::string_view name, const Bytes& content) const {
  return write(name, std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
}

Bytes ScratchDirectory::read(std::string_view name) const {
  std::ifstream in(path(name), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Expected<PackPlan> ScratchDirectory::load(std::string_view configText) const {
  return loadPackConfigText(configText, "app.toml", root_);
}

}  // namespace runvo::pack::testing
