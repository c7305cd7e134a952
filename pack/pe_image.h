// The layout of a Windows executable as the launcher sees it: its image ends
// with the raw data of the last section header, and everything behind that is
// the payload.
#pragma once
#include <cstdint>

#include "pack/expected.h"
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
Expected<ImageLayout> locateImageEnd(const Bytes& executable);

}  // namespace runvo::pack
