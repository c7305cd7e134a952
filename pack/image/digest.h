// The two digests Authenticode signatures use, to check that a signature
// still covers the file without a crypto library in both builds.
#pragma once
#include <cstdint>
#include <vector>

namespace runvo::pack {

class Digest {
 public:
  virtual ~Digest() = default;
  virtual void update(const std::uint8_t* data, std::size_t size) = 0;
  virtual std::vector<std::uint8_t> finish() = 0;
};

class Sha1 final : public Digest {
 public:
  void update(const std::uint8_t* data, std::size_t size) override;
  std::vector<std::uint8_t> finish() override;

 private:
  void block(const std::uint8_t* chunk);
  std::uint32_t state_[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  std::uint8_t buffer_[64] = {};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;
};

class Sha256 final : public Digest {
 public:
  void update(const std::uint8_t* data, std::size_t size) override;
  std::vector<std::uint8_t> finish() override;

 private:
  void block(const std::uint8_t* chunk);
  std::uint32_t state_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::uint8_t buffer_[64] = {};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace runvo::pack
