#include "pack/image/pe_image.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "pack/common/byte_fields.h"
#include "payload/byte_source.h"
#include "payload/image_locator.h"
#include "payload/readers.h"

namespace runvo::pack {

namespace {

constexpr std::uint32_t kPeHeaderOffsetField = 60;
constexpr std::uint32_t kSectionTableOffset = 24;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;

PackError notAnExecutable(const std::string& why) {
  return failure("is not a Windows executable: " + why);
}

// Validates what seekImageEnd will read, so its result can be trusted.
Expected<std::uint64_t> sectionTableEnd(ByteView bytes) {
  if (bytes.size() < kPeHeaderOffsetField + 4 || bytes[0] != 'M' || bytes[1] != 'Z') {
    return notAnExecutable("it does not start with \"MZ\"");
  }
  const std::uint64_t peHeader = readU32(bytes, kPeHeaderOffsetField);
  if (peHeader + kSectionTableOffset > bytes.size() || readU32(bytes, peHeader) != 0x00004550) {
    return notAnExecutable("no \"PE\" header where the DOS header points");
  }
  const std::uint32_t sections = readU16(bytes, peHeader + 6);
  const std::uint32_t optionalHeaderSize = readU16(bytes, peHeader + 20);
  if (sections == 0 || sections > 0x7FFF || optionalHeaderSize > 0x7FFF) {
    return notAnExecutable("implausible section count or optional header size");
  }
  const std::uint64_t tableEnd =
      peHeader + kSectionTableOffset + optionalHeaderSize + std::uint64_t{kSectionHeaderSize} * sections;
  if (tableEnd > bytes.size()) return notAnExecutable("the section table is cut off");
  return tableEnd;
}

}  // namespace

Expected<ImageLayout> locateImageEnd(ByteView executable) {
  if (executable.size() > kLargestExecutable) {
    return failure("is larger than 2 GiB, which the launcher cannot read");
  }
  const auto tableEnd = sectionTableEnd(executable);
  if (!tableEnd) return tableEnd.error();

  // Summed in 64 bits here, because the launcher's 32-bit sum would wrap.
  const std::uint64_t lastHeader = *tableEnd - kSectionHeaderSize;
  const std::uint64_t rawEnd = std::uint64_t{readU32(executable, lastHeader + 16)} + readU32(executable, lastHeader + 20);
  if (rawEnd < *tableEnd || rawEnd > executable.size()) {
    return notAnExecutable("its last section's raw data (ending at " + std::to_string(rawEnd) +
                           ") lies outside the file of " + std::to_string(executable.size()) +
                           " bytes");
  }

  MemorySource source(executable.data(), executable.size());
  PayloadReader reader(source);
  if (!seekImageEnd(reader)) return notAnExecutable("its headers cannot be read");
  return ImageLayout{source.position(), executable.size()};
}

Expected<HeaderFields> locateHeaderFields(ByteView executable) {
  const auto tableEnd = sectionTableEnd(executable);
  if (!tableEnd) return tableEnd.error();
  HeaderFields fields;
  const std::uint32_t peHeader = readU32(executable, kPeHeaderOffsetField);
  fields.optionalHeader = peHeader + kSectionTableOffset;
  fields.sectionCount = readU16(executable, peHeader + 6);
  fields.sectionTable = fields.optionalHeader + readU16(executable, peHeader + 20);
  const std::uint16_t magic = readU16(executable, fields.optionalHeader);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) {
    return notAnExecutable("its optional header is neither PE32 nor PE32+");
  }
  fields.pe32Plus = magic == kPe32PlusMagic;
  fields.checksum = fields.optionalHeader + 64;
  const std::uint32_t countField = fields.optionalHeader + (fields.pe32Plus ? 108 : 92);
  fields.dataDirectories = countField + 4;
  if (fields.dataDirectories > fields.sectionTable) return notAnExecutable("its optional header is cut short");
  // Only the directories that fit in the optional header exist, whatever the count says.
  const std::uint32_t fitting = (fields.sectionTable - fields.dataDirectories) / 8;
  fields.dataDirectoryCount = std::min(readU32(executable, countField), fitting);
  return fields;
}

SectionHeader readSectionHeader(ByteView executable, const HeaderFields& fields, std::uint32_t index) {
  const std::uint32_t at = fields.sectionTable + kSectionHeaderSize * index;
  return {at, readU32(executable, at + 8), readU32(executable, at + 12), readU32(executable, at + 16),
          readU32(executable, at + 20)};
}

void writeSectionHeader(Bytes& executable, const SectionHeader& header) {
  writeLittleEndian(executable, header.at + 8, header.virtualSize, 4);
  writeLittleEndian(executable, header.at + 12, header.virtualAddress, 4);
  writeLittleEndian(executable, header.at + 16, header.rawSize, 4);
  writeLittleEndian(executable, header.at + 20, header.rawOffset, 4);
}

DataDirectory readDataDirectory(ByteView executable, const HeaderFields& fields, std::uint32_t index) {
  if (index >= fields.dataDirectoryCount) return {};
  const std::uint32_t at = fields.dataDirectories + 8 * index;
  return {readU32(executable, at), readU32(executable, at + 4)};
}

void writeDataDirectory(Bytes& executable, const HeaderFields& fields, std::uint32_t index, DataDirectory entry) {
  const std::uint32_t at = fields.dataDirectories + 8 * index;
  writeLittleEndian(executable, at, entry.address, 4);
  writeLittleEndian(executable, at + 4, entry.size, 4);
}

// 16-bit one's-complement-style sum of the file with the checksum field
// taken as zero, plus the file's length.
std::uint32_t imageChecksum(ByteView executable, const HeaderFields& fields) {
  ImageChecksum checksum(fields);
  checksum.add(executable.data(), executable.size());
  return checksum.finish();
}

void ImageChecksum::addWord(std::uint64_t at, std::uint32_t word) {
  if (at >= field_ && at < field_ + 4) return;
  sum_ += word;
}

namespace {
static_assert(std::endian::native == std::endian::little, "two words are read as one 32-bit value");

// The 16-bit little-endian words of an even count of bytes, added up. Read
// two at a time as one 32-bit value, which the compiler vectorizes: the sum
// is most of the builder's own time on a large file.
std::uint64_t sumOfWords(const std::uint8_t* bytes, std::size_t count) {
  std::uint64_t sum = 0;
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    std::uint32_t pair = 0;
    std::memcpy(&pair, bytes + i, 4);
    sum += (pair & 0xFFFF) + (pair >> 16);
  }
  if (i < count) sum += bytes[i] | std::uint32_t{bytes[i + 1]} << 8;
  return sum;
}
}  // namespace

void ImageChecksum::addWords(const std::uint8_t* bytes, std::size_t count, std::uint64_t at) {
  std::size_t i = 0;
  while (i < count) {
    const std::uint64_t offset = at + i;
    if (offset >= field_ && offset < field_ + 4) {
      i += 2;
      continue;
    }
    // A run up to the next word of the checksum field, or to the end.
    std::size_t stop = count;
    if (field_ > offset) stop = static_cast<std::size_t>(std::min<std::uint64_t>(count, i + ((field_ - offset + 1) & ~1ULL)));
    sum_ += sumOfWords(bytes + i, stop - i);
    i = stop;
  }
}

void ImageChecksum::add(const std::uint8_t* bytes, std::size_t count) {
  std::size_t i = 0;
  if (pendingLowByte_ >= 0 && count > 0) {
    addWord(size_ - 1, static_cast<std::uint32_t>(pendingLowByte_) | std::uint32_t{bytes[0]} << 8);
    pendingLowByte_ = -1;
    i = 1;
  }
  const std::size_t wholeWords = (count - i) & ~std::size_t{1};
  addWords(bytes + i, wholeWords, size_ + i);
  i += wholeWords;
  if (i < count) pendingLowByte_ = bytes[i];
  size_ += count;
}

// An odd last byte counts as a word of its own.
std::uint32_t ImageChecksum::finish() {
  if (pendingLowByte_ >= 0) addWord(size_ - 1, static_cast<std::uint32_t>(pendingLowByte_));
  pendingLowByte_ = -1;
  std::uint64_t folded = sum_;
  while (folded >> 16) folded = (folded & 0xFFFF) + (folded >> 16);
  return static_cast<std::uint32_t>(folded + size_);
}

void updateChecksum(Bytes& executable, const HeaderFields& fields) {
  writeLittleEndian(executable, fields.checksum, imageChecksum(executable, fields), 4);
}

}  // namespace runvo::pack
