// A ByteSource that reads its inner source in blocks: the payload's tables
// are many small fields, and every read of the executable file is a system
// call. Positions and what remains are this source's own (the inner source
// stands wherever its last block ended).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "payload/byte_source.h"

namespace runvo {

class BufferedSource final : public ByteSource {
 public:
  BufferedSource(ByteSource& inner, std::size_t blockSize);

  ReadOutcome read(void* into, std::size_t count) override;
  void seek(std::uint32_t position) override;
  std::uint32_t position() const override { return blockStart_ + static_cast<std::uint32_t>(next_); }
  std::uint64_t remaining() const override;
  std::uint64_t size() const override;

 private:
  // Moves past the block, which is used up.
  void dropBlock();
  // Drops the block and reads the next one; false when nothing came.
  bool refill(ReadOutcome& outcome);

  ByteSource& inner_;
  std::size_t blockSize_;
  std::unique_ptr<std::uint8_t[]> block_;
  std::uint32_t blockStart_;  // where the block begins in the inner source
  std::size_t filled_ = 0;    // bytes the block holds
  std::size_t next_ = 0;      // the next of them to hand out
  // The inner source's size, asked once: it does not change while the payload is read.
  mutable std::optional<std::uint64_t> size_;
};

}  // namespace runvo
