#include "payload/payload_writer.h"

#include <cstddef>

namespace runvo {

void appendLittleEndian(Bytes& out, std::uint64_t value, int byteCount) {
  for (int i = 0; i < byteCount; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void appendPayloadTables(Bytes& out, const ConfigTable& table) {
  appendLittleEndian(out, kPayloadMagic, 4);
  // Three header fields the launcher reads and ignores.
  appendLittleEndian(out, 0, 4);
  appendLittleEndian(out, 0, 4);
  appendLittleEndian(out, 0, 8);

  appendLittleEndian(out, table.narrow().size(), 4);
  for (const auto& [key, text] : table.narrow()) {
    appendLittleEndian(out, static_cast<std::uint32_t>(key), 4);
    appendLittleEndian(out, text.size(), 4);
    out.insert(out.end(), text.begin(), text.end());
  }
  appendLittleEndian(out, table.wide().size(), 4);
  for (const auto& [key, text] : table.wide()) {
    appendLittleEndian(out, static_cast<std::uint32_t>(key), 4);
    appendLittleEndian(out, text.size() * 2, 4);
    for (char16_t unit : text) appendLittleEndian(out, unit, 2);
  }
}

void appendFileRecord(Bytes& out, const Bytes& content) {
  appendLittleEndian(out, content.size(), 8);
  // Copied at once, then scrambled where it lies: growing byte by byte doubled
  // the time a large file took.
  const std::size_t start = out.size();
  out.insert(out.end(), content.begin(), content.end());
  scrambleInPlace(std::span(out).subspan(start));
}

void scrambleInPlace(std::span<std::uint8_t> content) {
  for (std::uint8_t& byte : content) byte ^= kScrambleKey;
}

}  // namespace runvo
