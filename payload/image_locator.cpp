#include "payload/image_locator.h"

#include "diag/log.h"

namespace runvo {

namespace {
constexpr std::uint32_t kPeHeaderOffsetField = 60;
constexpr std::uint32_t kSectionCountField = 6;
constexpr std::uint32_t kOptionalHeaderSizeField = 20;
constexpr std::uint32_t kSectionHeaderSize = 40;
constexpr std::uint32_t kRawSizeInSectionHeader = 16;
}  // namespace

bool seekImageEnd(PayloadReader& reader) {
  ByteSource& source = reader.source();
  std::int32_t peHeader = 0;
  source.seek(kPeHeaderOffsetField);
  if (!reader.readInt(peHeader)) return false;

  // Positions are 32-bit file offsets; arithmetic wraps like the on-disk fields do.
  const auto base = static_cast<std::uint32_t>(peHeader);
  std::int16_t sections = 0;
  source.seek(base + kSectionCountField);
  if (!reader.readShort(sections)) return false;
  writeLog("number of sections: %d", sections);

  std::int16_t optionalHeaderSize = 0;
  source.seek(base + kOptionalHeaderSizeField);
  if (!reader.readShort(optionalHeaderSize)) return false;
  writeLog("size of optional headers: %d", optionalHeaderSize);

  // The last section header starts at H + 24 + S + 40 * (n - 1); its raw-data
  // size is 16 bytes in, which lands on H + S + 40 * n.
  const std::uint32_t rawSizeField = base + static_cast<std::uint32_t>(optionalHeaderSize) +
                                     kSectionHeaderSize * static_cast<std::uint32_t>(sections);
  writeLog("resSectionTableStart: %d", static_cast<int>(rawSizeField - kRawSizeInSectionHeader));

  std::int32_t rawSize = 0;
  std::int32_t rawOffset = 0;
  source.seek(rawSizeField);
  if (!reader.readInt(rawSize)) return false;
  source.seek(rawSizeField + 4);
  if (!reader.readInt(rawOffset)) return false;
  writeLog("rawDataSize: %d, rawDataOffset: %d", rawSize, rawOffset);

  source.seek(static_cast<std::uint32_t>(rawSize) + static_cast<std::uint32_t>(rawOffset));
  return true;
}

}  // namespace runvo
