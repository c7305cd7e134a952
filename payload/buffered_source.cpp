#include "payload/buffered_source.h"

#include <algorithm>
#include <cstring>

namespace runvo {

BufferedSource::BufferedSource(ByteSource& inner, std::size_t blockSize)
    : inner_(inner),
      blockSize_(std::max<std::size_t>(blockSize, 1)),
      block_(std::make_unique_for_overwrite<std::uint8_t[]>(blockSize_)),
      blockStart_(inner.position()) {}

void BufferedSource::dropBlock() {
  blockStart_ += static_cast<std::uint32_t>(filled_);
  next_ = filled_ = 0;
}

bool BufferedSource::refill(ReadOutcome& outcome) {
  dropBlock();
  outcome = inner_.read(block_.get(), blockSize_);
  filled_ = outcome.got;
  return filled_ > 0;
}

ReadOutcome BufferedSource::read(void* into, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(into);
  std::size_t got = 0;
  while (got < count) {
    if (next_ == filled_) {
      ReadOutcome outcome;
      if (count - got >= blockSize_) {
        // A large read goes straight through, past the block.
        dropBlock();
        outcome = inner_.read(out + got, count - got);
        got += outcome.got;
        blockStart_ += static_cast<std::uint32_t>(outcome.got);
        if (got < count) return {got, outcome.sysError};
        break;
      }
      if (!refill(outcome)) return {got, outcome.sysError};
    }
    const std::size_t n = std::min(count - got, filled_ - next_);
    std::memcpy(out + got, block_.get() + next_, n);
    next_ += n;
    got += n;
  }
  return {got, 0};
}

void BufferedSource::seek(std::uint32_t position) {
  if (position >= blockStart_ && position - blockStart_ <= filled_) {
    next_ = position - blockStart_;
    return;
  }
  inner_.seek(position);
  blockStart_ = position;
  next_ = filled_ = 0;
}

std::uint64_t BufferedSource::remaining() const {
  const std::uint64_t total = size();
  return total > position() ? total - position() : 0;
}

std::uint64_t BufferedSource::size() const {
  if (!size_) size_ = inner_.size();
  return *size_;
}

}  // namespace runvo
