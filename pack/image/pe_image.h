// The layout of a Windows executable as the launcher sees it: its image ends
// with the raw data of the last section header, and everything behind that is
// the payload.
#pragma once
#include <cstdint>

#include "pack/common/byte_fields.h"
#include "pack/common/expected.h"
#include "payload/payload_writer.h"

namespace runvo::pack {

// The launcher's file positions are 32-bit and signed in places.
inline constexpr std::uint64_t kLargestExecutable = 0x7FFFFFFF;

struct ImageLayout {
  std::uint32_t imageEnd = 0;
  std::uint64_t fileSize = 0;

  bool hasAppendedData() const { return fileSize > imageEnd; }
};

// Checks the headers the launcher relies on, then finds the image end the way
// the launcher does. Messages do not name the file; the caller does.
Expected<ImageLayout> locateImageEnd(ByteView executable);

// Where the fields the builder rewrites lie, as file offsets.
struct HeaderFields {
  std::uint32_t optionalHeader = 0;
  bool pe32Plus = false;
  std::uint32_t checksum = 0;
  std::uint32_t dataDirectories = 0;
  std::uint32_t dataDirectoryCount = 0;
  std::uint32_t sectionTable = 0;
  std::uint32_t sectionCount = 0;
};
Expected<HeaderFields> locateHeaderFields(ByteView executable);

inline constexpr std::uint32_t kSectionHeaderSize = 40;

struct SectionHeader {
  std::uint32_t at = 0;  // file offset of the header
  std::uint32_t virtualSize = 0;
  std::uint32_t virtualAddress = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawOffset = 0;
};
// `index` must be below fields.sectionCount.
SectionHeader readSectionHeader(ByteView executable, const HeaderFields& fields, std::uint32_t index);
void writeSectionHeader(Bytes& executable, const SectionHeader& header);

struct DataDirectory {
  std::uint32_t address = 0;  // an RVA, but a file offset for the certificate table
  std::uint32_t size = 0;
};
inline constexpr std::uint32_t kResourceDirectory = 2;
inline constexpr std::uint32_t kCertificateDirectory = 4;
inline constexpr std::uint32_t kBaseRelocationDirectory = 5;

// An entry beyond the header's count reads as empty; writing one is the caller's error.
DataDirectory readDataDirectory(ByteView executable, const HeaderFields& fields, std::uint32_t index);
void writeDataDirectory(Bytes& executable, const HeaderFields& fields, std::uint32_t index, DataDirectory entry);

// The optional header's checksum of the whole file, as the loader of drivers
// checks it and signing tools set it.
std::uint32_t imageChecksum(ByteView executable, const HeaderFields& fields);

// The same checksum taken piece by piece, for a file written as a stream.
class ImageChecksum {
 public:
  explicit ImageChecksum(const HeaderFields& fields) : field_(fields.checksum) {}
  void add(const std::uint8_t* bytes, std::size_t count);
  std::uint32_t finish();

 private:
  void addWord(std::uint64_t at, std::uint32_t word);
  // The whole words of an even count of bytes starting at file offset `at`.
  void addWords(const std::uint8_t* bytes, std::size_t count, std::uint64_t at);

  std::uint64_t field_;
  // Folded into 16 bits only at the end: the one's complement sum comes out
  // the same, and 2^48 words fit before it could overflow.
  std::uint64_t sum_ = 0;
  std::uint64_t size_ = 0;
  int pendingLowByte_ = -1;  // the first byte of a word whose second is still to come
};

// Sets the checksum field to the checksum of the file as it now stands.
void updateChecksum(Bytes& executable, const HeaderFields& fields);

}  // namespace runvo::pack
