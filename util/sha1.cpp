#include "util/sha1.h"

#include <string>

namespace runvo {

namespace {
std::uint32_t rotateLeft(std::uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }
}  // namespace

void sha1Block(std::uint32_t (&state)[5], const std::uint8_t* chunk) {
  std::uint32_t w[80];
  for (int i = 0; i < 16; ++i) {
    w[i] = static_cast<std::uint32_t>(chunk[4 * i]) << 24 | static_cast<std::uint32_t>(chunk[4 * i + 1]) << 16 |
           static_cast<std::uint32_t>(chunk[4 * i + 2]) << 8 | chunk[4 * i + 3];
  }
  for (int i = 16; i < 80; ++i) w[i] = rotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int i = 0; i < 80; ++i) {
    const std::uint32_t f = i < 20 ? (b & c) | (~b & d) : i < 40 ? b ^ c ^ d : i < 60 ? (b & c) | (b & d) | (c & d) : b ^ c ^ d;
    const std::uint32_t k = i < 20 ? 0x5A827999 : i < 40 ? 0x6ED9EBA1 : i < 60 ? 0x8F1BBCDC : 0xCA62C1D6;
    const std::uint32_t next = rotateLeft(a, 5) + f + e + k + w[i];
    e = d, d = c, c = rotateLeft(b, 30), b = a, a = next;
  }
  state[0] += a, state[1] += b, state[2] += c, state[3] += d, state[4] += e;
}

std::array<std::uint8_t, 20> sha1(std::string_view bytes) {
  std::uint32_t state[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  // The message, a 1 bit, zeros up to 56 bytes of the last block, the bit length big-endian.
  std::string padded(bytes);
  padded.push_back(static_cast<char>(0x80));
  while (padded.size() % 64 != 56) padded.push_back('\0');
  const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
  for (int shift = 56; shift >= 0; shift -= 8) padded.push_back(static_cast<char>(bits >> shift));
  for (std::size_t at = 0; at < padded.size(); at += 64) {
    sha1Block(state, reinterpret_cast<const std::uint8_t*>(padded.data() + at));
  }
  std::array<std::uint8_t, 20> digest{};
  for (int i = 0; i < 20; ++i) digest[i] = static_cast<std::uint8_t>(state[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

}  // namespace runvo
