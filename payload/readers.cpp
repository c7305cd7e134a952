#include "payload/readers.h"

#include <cstring>

#include "diag/log.h"

namespace runvo {

ReadOutcome MemorySource::read(void* into, std::size_t count) {
  const std::size_t available = pos_ < size_ ? size_ - pos_ : 0;
  const std::size_t n = count < available ? count : available;
  if (n > 0) std::memcpy(into, data_ + pos_, n);
  pos_ += n;
  return {n, 0};
}

const char* internalErrorText(Reader reader) {
  switch (reader) {
    case Reader::Short: return "Internal Error: readShort";
    case Reader::Int: return "Internal Error: readInt";
    case Reader::Long: return "Internal Error: readLong";
    case Reader::String: return "Internal Error: readString";
    case Reader::WString: return "Internal Error: readWString";
  }
  return "Internal Error";
}

namespace {
template <typename T>
T fromLittleEndian(const unsigned char* bytes) {
  std::uint64_t v = 0;
  for (std::size_t i = sizeof(T); i-- > 0;) v = (v << 8) | bytes[i];
  return static_cast<T>(v);
}
}  // namespace

bool PayloadReader::readExactly(void* into, std::size_t count, ReadOutcome& outcome) {
  outcome = source_.read(into, count);
  return outcome.got == count;
}

bool PayloadReader::fail(Reader reader) {
  if (!failed_) failed_ = reader;
  return false;
}

template <typename T>
bool PayloadReader::readFixed(T& value, Reader reader) {
  unsigned char bytes[sizeof(T)];
  ReadOutcome outcome;
  if (!readExactly(bytes, sizeof bytes, outcome)) {
    // Only the 32-bit reader says how far it got.
    if (reader == Reader::Int) {
      writeLog("error %d %d\n", static_cast<int>(outcome.sysError), static_cast<int>(outcome.got));
    } else {
      writeLog("error %d\n", static_cast<int>(outcome.sysError));
    }
    return fail(reader);
  }
  value = fromLittleEndian<T>(bytes);
  return true;
}

bool PayloadReader::readShort(std::int16_t& value) { return readFixed(value, Reader::Short); }
bool PayloadReader::readInt(std::int32_t& value) { return readFixed(value, Reader::Int); }
bool PayloadReader::readLong(std::int64_t& value) { return readFixed(value, Reader::Long); }

bool PayloadReader::readCounted(std::string& bytes, Reader reader) {
  std::int32_t length = 0;
  if (!readInt(length)) return false;
  if (length < 0 || static_cast<std::uint64_t>(length) > source_.remaining()) return fail(reader);
  bytes.assign(static_cast<std::size_t>(length), '\0');
  ReadOutcome outcome;
  return readExactly(bytes.data(), bytes.size(), outcome) || fail(reader);
}

bool PayloadReader::readString(std::string& value) { return readCounted(value, Reader::String); }

bool PayloadReader::readWString(WideString& value) {
  std::string bytes;
  if (!readCounted(bytes, Reader::WString)) return false;
  value.assign(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < value.size(); ++i) {
    value[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return true;
}

}  // namespace runvo
