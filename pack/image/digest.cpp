#include "pack/image/digest.h"

#include <algorithm>
#include <cstring>

#include "util/sha1.h"

namespace runvo::pack {

namespace {

std::uint32_t rotateRight(std::uint32_t value, int bits) { return (value >> bits) | (value << (32 - bits)); }

std::uint32_t bigEndianWord(const std::uint8_t* at) {
  return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) | at[3];
}

// Both digests share the Merkle-Damgård framing: 64-byte blocks, then 0x80,
// zeros and the bit length in big-endian.
template <typename Block>
void feed(std::uint8_t (&buffer)[64], std::size_t& buffered, std::uint64_t& length, const std::uint8_t* data,
          std::size_t size, Block block) {
  length += size;
  while (size > 0) {
    const std::size_t taken = std::min(size, sizeof buffer - buffered);
    std::memcpy(buffer + buffered, data, taken);
    buffered += taken;
    data += taken;
    size -= taken;
    if (buffered == sizeof buffer) {
      block(buffer);
      buffered = 0;
    }
  }
}

template <typename Block>
void pad(std::uint8_t (&buffer)[64], std::size_t& buffered, std::uint64_t length, Block block) {
  const std::uint64_t bits = length * 8;
  buffer[buffered++] = 0x80;
  if (buffered > 56) {
    std::memset(buffer + buffered, 0, sizeof buffer - buffered);
    block(buffer);
    buffered = 0;
  }
  std::memset(buffer + buffered, 0, 56 - buffered);
  for (int i = 0; i < 8; ++i) buffer[56 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  block(buffer);
}

template <std::size_t N>
std::vector<std::uint8_t> bigEndianBytes(const std::uint32_t (&state)[N]) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t word : state) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(word >> shift));
  }
  return out;
}

constexpr std::uint32_t kSha256Rounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

}  // namespace

void Sha1::block(const std::uint8_t* chunk) { sha1Block(state_, chunk); }

void Sha1::update(const std::uint8_t* data, std::size_t size) {
  feed(buffer_, buffered_, length_, data, size, [this](const std::uint8_t* chunk) { block(chunk); });
}

std::vector<std::uint8_t> Sha1::finish() {
  pad(buffer_, buffered_, length_, [this](const std::uint8_t* chunk) { block(chunk); });
  return bigEndianBytes(state_);
}

void Sha256::block(const std::uint8_t* chunk) {
  std::uint32_t w[64];
  for (int i = 0; i < 16; ++i) w[i] = bigEndianWord(chunk + 4 * i);
  for (int i = 16; i < 64; ++i) {
    const std::uint32_t s0 = rotateRight(w[i - 15], 7) ^ rotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const std::uint32_t s1 = rotateRight(w[i - 2], 17) ^ rotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::uint32_t v[8];
  std::memcpy(v, state_, sizeof v);
  for (int i = 0; i < 64; ++i) {
    const std::uint32_t s1 = rotateRight(v[4], 6) ^ rotateRight(v[4], 11) ^ rotateRight(v[4], 25);
    const std::uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
    const std::uint32_t t1 = v[7] + s1 + choice + kSha256Rounds[i] + w[i];
    const std::uint32_t s0 = rotateRight(v[0], 2) ^ rotateRight(v[0], 13) ^ rotateRight(v[0], 22);
    const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
    std::memmove(v + 1, v, 7 * sizeof v[0]);
    v[4] += t1;
    v[0] = t1 + s0 + majority;
  }
  for (int i = 0; i < 8; ++i) state_[i] += v[i];
}

void Sha256::update(const std::uint8_t* data, std::size_t size) {
  feed(buffer_, buffered_, length_, data, size, [this](const std::uint8_t* chunk) { block(chunk); });
}

std::vector<std::uint8_t> Sha256::finish() {
  pad(buffer_, buffered_, length_, [this](const std::uint8_t* chunk) { block(chunk); });
  return bigEndianBytes(state_);
}

}  // namespace runvo::pack
