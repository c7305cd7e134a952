#include "pack/pe_image.h"

#include <string>

#include "payload/byte_source.h"
#include "payload/image_locator.h"
#include "payload/readers.h"

namespace runvo::pack {

namespace {

constexpr std::uint32_t kPeHeaderOffsetField = 60;
constexpr std::uint32_t kSectionTableOffset = 24;
constexpr std::uint32_t kSectionHeaderSize = 40;

std::uint32_t littleEndian(const Bytes& bytes, std::uint64_t at, int byteCount) {
  std::uint32_t value = 0;
  for (int i = byteCount; i-- > 0;) value = (value << 8) | bytes[at + i];
  return value;
}

PackError notAnExecutable(const std::string& why) {
  return failure("is not a Windows executable: " + why);
}

// Validates what seekImageEnd will read, so its result can be trusted.
Expected<std::uint64_t> sectionTableEnd(const Bytes& bytes) {
  if (bytes.size() < kPeHeaderOffsetField + 4 || bytes[0] != 'M' || bytes[1] != 'Z') {
    return notAnExecutable("it does not start with \"MZ\"");
  }
  const std::uint64_t peHeader = littleEndian(bytes, kPeHeaderOffsetField, 4);
  if (peHeader + kSectionTableOffset > bytes.size() ||
      littleEndian(bytes, peHeader, 4) != 0x00004550) {
    return notAnExecutable("no \"PE\" header where the DOS header points");
  }
  const std::uint32_t sections = littleEndian(bytes, peHeader + 6, 2);
  const std::uint32_t optionalHeaderSize = littleEndian(bytes, peHeader + 20, 2);
  if (sections == 0 || sections > 0x7FFF || optionalHeaderSize > 0x7FFF) {
    return notAnExecutable("implausible section count or optional header size");
  }
  const std::uint64_t tableEnd =
      peHeader + kSectionTableOffset + optionalHeaderSize + std::uint64_t{kSectionHeaderSize} * sections;
  if (tableEnd > bytes.size()) return notAnExecutable("the section table is cut off");
  return tableEnd;
}

}  // namespace

Expected<ImageLayout> locateImageEnd(const Bytes& executable) {
  if (executable.size() > kLargestExecutable) {
    return failure("is larger than 2 GiB, which the launcher cannot read");
  }
  const auto tableEnd = sectionTableEnd(executable);
  if (!tableEnd) return tableEnd.error();

  // Summed in 64 bits here, because the launcher's 32-bit sum would wrap.
  const std::uint64_t lastHeader = *tableEnd - kSectionHeaderSize;
  const std::uint64_t rawEnd = std::uint64_t{littleEndian(executable, lastHeader + 16, 4)} +
                               littleEndian(executable, lastHeader + 20, 4);
  if (rawEnd < *tableEnd || rawEnd > executable.size()) {
    return notAnExecutable("its last section's raw data (ending at " + std::to_string(rawEnd) +
                           ") lies outside the file of " + std::to_string(executable.size()) +
                           " bytes");
  }

  MemorySource source(executable);
  PayloadReader reader(source);
  if (!seekImageEnd(reader)) return notAnExecutable("its headers cannot be read");
  return ImageLayout{source.position(), executable.size()};
}

}  // namespace runvo::pack
