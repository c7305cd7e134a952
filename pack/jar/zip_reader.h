// Reads entries of a zip archive (a jar) held in memory. The bytes are the
// user's file, possibly damaged or hostile, so every size and offset is
// checked against the buffer before it is used: a bad archive is refused
// with a reason, never read past its end, and never inflated past a limit.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pack/common/expected.h"
#include "payload/payload_writer.h"

namespace runvo::pack {

struct ZipEntry {
  std::string name;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t crc = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t size = 0;
  std::uint64_t localHeaderOffset = 0;  // as the directory says, before any bytes put in front of the archive
};

class ZipArchive {
 public:
  // Reads the central directory. The archive keeps a view of `bytes`, which
  // must outlive it. Bytes in front of the archive (a launch script, as
  // executable jars have) are allowed, as Java allows them.
  static Expected<ZipArchive> open(std::span<const std::uint8_t> bytes);

  const std::vector<ZipEntry>& entries() const { return entries_; }

  // The first entry of that name, compared ignoring ASCII case as Java finds
  // a jar's manifest; nullptr when there is none.
  const ZipEntry* find(std::string_view name) const;

  // The entry's content, stored or deflated, checked against its size and
  // CRC. An entry that says it is larger than `largest` bytes is refused
  // before anything is inflated.
  Expected<Bytes> read(const ZipEntry& entry, std::uint32_t largest) const;

 private:
  ZipArchive(std::span<const std::uint8_t> bytes, std::uint64_t prefixSize, std::vector<ZipEntry> entries)
      : bytes_(bytes), prefixSize_(prefixSize), entries_(std::move(entries)) {}

  std::span<const std::uint8_t> bytes_;
  std::uint64_t prefixSize_ = 0;  // bytes in front of the archive
  std::vector<ZipEntry> entries_;
};

}  // namespace runvo::pack
