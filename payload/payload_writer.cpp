#include "payload/payload_writer.h"

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
  for (std::uint8_t byte : content) out.push_back(byte ^ kScrambleKey);
}

}  // namespace runvo
