// Field readers of the payload: little-endian integers and length-prefixed
// texts, read one field at a time from a ByteSource. The first failure is
// remembered so the caller can raise the matching fatal text.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "payload/byte_source.h"
#include "util/wide.h"

namespace runvo {

enum class Reader { Short, Int, Long, String, WString };

// The fixed fatal text for a failed reader, such as "Internal Error: readInt".
const char* internalErrorText(Reader reader);

class PayloadReader {
 public:
  explicit PayloadReader(ByteSource& source) : source_(source) {}

  // Each returns false on a failed or short read, after the reader's log line.
  bool readShort(std::int16_t& value);
  bool readInt(std::int32_t& value);
  bool readLong(std::int64_t& value);
  // A length that is negative or larger than what the source still holds is
  // refused before anything is allocated.
  bool readString(std::string& value);
  bool readWString(WideString& value);

  std::optional<Reader> failed() const { return failed_; }
  ByteSource& source() { return source_; }

 private:
  bool readExactly(void* into, std::size_t count, ReadOutcome& outcome);
  template <typename T>
  bool readFixed(T& value, Reader reader);
  // A 32-bit length, then that many bytes.
  bool readCounted(std::string& bytes, Reader reader);
  bool fail(Reader reader);

  ByteSource& source_;
  std::optional<Reader> failed_;
};

}  // namespace runvo
