// Little-endian fields of Windows file formats, read and written in place.
// Callers check the bounds first.
#pragma once
#include <cstdint>
#include <span>

#include "payload/payload_writer.h"

namespace runvo::pack {

// Bytes read in place: a vector, or a file mapped into memory.
using ByteView = std::span<const std::uint8_t>;

inline std::uint64_t readLittleEndian(ByteView bytes, std::uint64_t at, int byteCount) {
  std::uint64_t value = 0;
  for (int i = byteCount; i-- > 0;) value = (value << 8) | bytes[at + i];
  return value;
}

inline std::uint32_t readU32(ByteView bytes, std::uint64_t at) {
  return static_cast<std::uint32_t>(readLittleEndian(bytes, at, 4));
}
inline std::uint16_t readU16(ByteView bytes, std::uint64_t at) {
  return static_cast<std::uint16_t>(readLittleEndian(bytes, at, 2));
}

inline void writeLittleEndian(Bytes& bytes, std::uint64_t at, std::uint64_t value, int byteCount) {
  for (int i = 0; i < byteCount; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void appendLittleEndian(Bytes& bytes, std::uint64_t value, int byteCount) {
  for (int i = 0; i < byteCount; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace runvo::pack
