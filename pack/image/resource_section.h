// The stub's resource section, rebuilt with the identity's version resource
// and icon. The section is the last one of the image, or followed only by the
// base relocations, which are moved behind it: nothing refers to them but
// their data directory entry.
#pragma once
#include <cstdint>
#include <vector>

#include "pack/common/expected.h"
#include "pack/image/identity.h"
#include "payload/payload_writer.h"

namespace runvo::pack {

inline constexpr std::uint16_t kIconResource = 3;
inline constexpr std::uint16_t kIconGroupResource = 14;
inline constexpr std::uint16_t kVersionResource = 16;

// A resource named by numbers only; runvo's stub has no named ones.
struct Resource {
  std::uint16_t type = 0;
  std::uint16_t id = 0;
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  Bytes data;
};

// The resources of a section whose bytes are `section` and whose first byte
// lies at `sectionRva`. Messages do not name the file.
Expected<std::vector<Resource>> readResourceTree(const Bytes& section, std::uint32_t sectionRva);

// A resource section for `sectionRva`, its entries in ascending order.
Bytes writeResourceTree(std::vector<Resource> resources, std::uint32_t sectionRva);

// The stub's image (cut at its image end) with the identity's resources in
// place of any version resource and, when the identity has an icon, of any
// icons. Messages do not name the file.
Expected<Bytes> imageWithIdentity(const Bytes& image, const Identity& identity);

}  // namespace runvo::pack
