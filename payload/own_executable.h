// The launcher's own executable, opened for reading the payload.
#pragma once
#include "payload/byte_source.h"
#include "util/outcome.h"
#include "util/unique_handle.h"

namespace runvo {

// Opened once and kept open for the process's life, for the payload's tables
// and then its files. A file that cannot be opened fails with the advice to
// move it to a plain path.
Outcome<HANDLE> ownExecutable();

// A ByteSource over an open file handle; reads go straight to ReadFile.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(HANDLE file) : file_(file) {}
  ReadOutcome read(void* into, std::size_t count) override;
  void seek(std::uint32_t position) override;
  std::uint32_t position() const override;
  std::uint64_t remaining() const override;
  std::uint64_t size() const override;

 private:
  HANDLE file_;
};

}  // namespace runvo
