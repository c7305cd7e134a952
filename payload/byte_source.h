// A positioned byte stream: the payload readers work on this, so the same
// parsing code runs over the launcher's own file on Windows and over memory
// in tests and the fuzzer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace runvo {

struct ReadOutcome {
  std::size_t got = 0;        // bytes delivered
  std::uint32_t sysError = 0; // system error code when the read failed or came short
};

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `count` bytes at the current position and advances by what was read.
  virtual ReadOutcome read(void* into, std::size_t count) = 0;
  virtual void seek(std::uint32_t position) = 0;
  virtual std::uint32_t position() const = 0;
  // Bytes between the current position and the end of the source.
  virtual std::uint64_t remaining() const = 0;
  // Bytes in the whole source.
  virtual std::uint64_t size() const = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  explicit MemorySource(const std::vector<std::uint8_t>& bytes)
      : MemorySource(bytes.data(), bytes.size()) {}

  ReadOutcome read(void* into, std::size_t count) override;
  void seek(std::uint32_t position) override { pos_ = position; }
  std::uint32_t position() const override { return static_cast<std::uint32_t>(pos_); }
  std::uint64_t remaining() const override { return pos_ < size_ ? size_ - pos_ : 0; }
  std::uint64_t size() const override { return size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace runvo
