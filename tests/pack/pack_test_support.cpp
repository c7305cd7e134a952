#include "pack_test_support.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <zlib.h>

#include "pack/image/resource_section.h"
#include "payload/byte_source.h"

namespace runvo::pack::testing {

namespace {

void put(Bytes& bytes, std::size_t at, std::uint32_t value, int byteCount) {
  for (int i = 0; i < byteCount; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void append(Bytes& bytes, std::uint64_t value, int byteCount) {
  for (int i = 0; i < byteCount; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void append(Bytes& bytes, std::string_view text) { bytes.insert(bytes.end(), text.begin(), text.end()); }

std::string rawDeflated(std::string_view content) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, content.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  stream.avail_in = static_cast<uInt>(content.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

}  // namespace

Bytes makeZip(const std::vector<ZipMember>& members, const ZipLayout& layout) {
  Bytes archive;
  Bytes directory;
  for (const ZipMember& member : members) {
    const std::string data = member.deflated ? rawDeflated(member.content) : member.content;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(member.content.data()),
                            static_cast<uInt>(member.content.size()));
    const std::uint64_t localOffset = archive.size();
    auto common = [&](Bytes& header) {
      append(header, 20, 2);  // version needed
      append(header, 0, 2);   // flags
      append(header, member.deflated ? 8 : 0, 2);
      append(header, 0, 4);   // time and date
      append(header, crc, 4);
      append(header, data.size(), 4);
      append(header, member.content.size(), 4);
      append(header, member.name.size(), 2);
      append(header, 0, 2);   // extra length
    };
    append(archive, 0x04034b50, 4);
    common(archive);
    append(archive, member.name);
    append(archive, data);

    append(directory, 0x02014b50, 4);
    append(directory, 20, 2);  // version made by
    common(directory);
    append(directory, 0, 2);   // comment length
    append(directory, 0, 4);   // disk number and internal attributes
    append(directory, 0, 4);   // external attributes
    append(directory, localOffset, 4);
    append(directory, member.name);
  }
  const std::uint64_t directoryOffset = archive.size();
  archive.insert(archive.end(), directory.begin(), directory.end());
  if (layout.zip64) {
    const std::uint64_t zip64End = archive.size();
    append(archive, 0x06064b50, 4);
    append(archive, 44, 8);  // size of the rest of the record
    append(archive, 45, 2);
    append(archive, 45, 2);
    append(archive, 0, 8);   // disk numbers
    append(archive, members.size(), 8);
    append(archive, members.size(), 8);
    append(archive, directory.size(), 8);
    append(archive, directoryOffset, 8);
    append(archive, 0x07064b50, 4);
    append(archive, 0, 4);
    append(archive, zip64End, 8);
    append(archive, 1, 4);
  }
  append(archive, 0x06054b50, 4);
  append(archive, 0, 4);  // disk numbers
  append(archive, layout.zip64 ? 0xFFFF : members.size(), 2);
  append(archive, layout.zip64 ? 0xFFFF : members.size(), 2);
  append(archive, layout.zip64 ? 0xFFFFFFFF : directory.size(), 4);
  append(archive, layout.zip64 ? 0xFFFFFFFF : directoryOffset, 4);
  append(archive, layout.comment.size(), 2);
  append(archive, layout.comment);

  Bytes withPrefix(layout.prefix.begin(), layout.prefix.end());
  withPrefix.insert(withPrefix.end(), archive.begin(), archive.end());
  return withPrefix;
}

Bytes makeJar(std::string_view manifest, bool deflated) {
  return makeZip({{"META-INF/", "", false},
                  {"META-INF/MANIFEST.MF", std::string(manifest), deflated},
                  {"com/example/Main.class", std::string("\xCA\xFE\xBA\xBE class", 10), true}});
}

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
  // A PE32+ optional header with its 16 data directories, enough for signing tools.
  constexpr std::uint32_t kOptionalHeader = kPeHeader + 24;
  put(stub, kOptionalHeader, 0x20B, 2);
  put(stub, kOptionalHeader + 32, 0x1000, 4);  // section alignment
  put(stub, kOptionalHeader + 36, 0x200, 4);   // file alignment
  put(stub, kOptionalHeader + 56, 0x1000 + sectionRawSize, 4);  // image size
  put(stub, kOptionalHeader + 60, kFakeStubRawOffset, 4);       // header size
  put(stub, kOptionalHeader + 68, 3, 2);                       // console subsystem
  put(stub, kOptionalHeader + 108, 16, 4);
  put(stub, kSectionHeader + 8, sectionRawSize, 4);   // virtual size
  put(stub, kSectionHeader + 12, 0x1000, 4);          // virtual address
  put(stub, kSectionHeader, 0x7865742E, 4);  // ".tex"
  put(stub, kSectionHeader + 16, sectionRawSize, 4);
  put(stub, kSectionHeader + 20, kFakeStubRawOffset, 4);
  for (std::uint32_t i = 0; i < sectionRawSize; ++i) {
    stub[kFakeStubRawOffset + i] = static_cast<std::uint8_t>(i * 7 + 1);
  }
  return stub;
}

Bytes makeFakeStubWithSections(const std::vector<std::string>& sectionNames) {
  constexpr std::uint32_t kPeHeader = 0x40;
  constexpr std::uint32_t kOptionalHeader = kPeHeader + 24;
  constexpr std::uint32_t kOptionalHeaderSize = 0xF0;
  constexpr std::uint32_t kSectionTable = kOptionalHeader + kOptionalHeaderSize;
  constexpr std::uint32_t kHeaderSize = 0x400;
  constexpr std::uint32_t kRawSize = 0x200;
  const auto count = static_cast<std::uint32_t>(sectionNames.size());

  Bytes stub(kHeaderSize + kRawSize * count, 0);
  stub[0] = 'M';
  stub[1] = 'Z';
  put(stub, 0x3C, kPeHeader, 4);
  put(stub, kPeHeader, 0x00004550, 4);
  put(stub, kPeHeader + 4, 0x8664, 2);
  put(stub, kPeHeader + 6, count, 2);
  put(stub, kPeHeader + 20, kOptionalHeaderSize, 2);
  put(stub, kOptionalHeader, 0x20B, 2);
  put(stub, kOptionalHeader + 8, kRawSize * count, 4);  // initialized data
  put(stub, kOptionalHeader + 32, 0x1000, 4);
  put(stub, kOptionalHeader + 36, 0x200, 4);
  put(stub, kOptionalHeader + 56, 0x1000 * (count + 1), 4);
  put(stub, kOptionalHeader + 60, kHeaderSize, 4);
  put(stub, kOptionalHeader + 68, 3, 2);
  put(stub, kOptionalHeader + 108, 16, 4);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::string& name = sectionNames[i];
    const std::uint32_t header = kSectionTable + 40 * i;
    const std::uint32_t address = 0x1000 * (i + 1);
    const std::uint32_t raw = kHeaderSize + kRawSize * i;
    std::copy(name.begin(), name.end(), stub.begin() + header);
    put(stub, header + 8, kRawSize, 4);
    put(stub, header + 12, address, 4);
    put(stub, header + 16, kRawSize, 4);
    put(stub, header + 20, raw, 4);
    Bytes content;
    if (name == ".rsrc") {
      content = writeResourceTree({{24, 1, 0x409, 0, Bytes(kFakeManifest.begin(), kFakeManifest.end())}}, address);
      put(stub, kOptionalHeader + 112 + 8 * 2, address, 4);
      put(stub, kOptionalHeader + 112 + 8 * 2 + 4, static_cast<std::uint32_t>(content.size()), 4);
    } else if (name == ".reloc") {
      // One block: page 0x1000, two entries of type DIR64.
      content = {0x00, 0x10, 0, 0, 12, 0, 0, 0, 0x10, 0xA0, 0x18, 0xA0};
      put(stub, kOptionalHeader + 112 + 8 * 5, address, 4);
      put(stub, kOptionalHeader + 112 + 8 * 5 + 4, static_cast<std::uint32_t>(content.size()), 4);
    } else {
      content.assign(kRawSize, static_cast<std::uint8_t>(0x40 + i));
    }
    std::copy(content.begin(), content.end(), stub.begin() + raw);
  }
  return stub;
}

CommandResult runCommand(const std::string& command) {
  CommandResult run;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> chunk;
  while (std::size_t got = std::fread(chunk.data(), 1, chunk.size(), pipe)) run.output.append(chunk.data(), got);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

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
