// The builder's readers of Windows file formats, fed any bytes: an
// executable's signature and listing, a resource section, an .ico file, and
// the rebuilding of a stub's resource section. Each must refuse or give a
// result that reads back; none may read or write outside its input.
// Input: a selector byte, then the bytes (for a resource section, its
// address in 4 bytes first).
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "pack/image/authenticode.h"
#include "pack/image/identity.h"
#include "pack/build/inspector.h"
#include "pack/image/pe_image.h"
#include "pack/image/resource_section.h"

namespace {

using runvo::Bytes;
namespace pack = runvo::pack;

// The section's address first, since its data entries hold addresses.
void checkResourceSection(const Bytes& input) {
  if (input.size() < 4) return;
  const std::uint32_t sectionRva = input[0] | (input[1] << 8) | (input[2] << 16) | (std::uint32_t{input[3]} << 24);
  const Bytes section(input.begin() + 4, input.end());
  auto resources = pack::readResourceTree(section, sectionRva);
  if (!resources) return;
  // Written again, the same resources read back.
  const Bytes written = pack::writeResourceTree(*resources, sectionRva);
  auto readBack = pack::readResourceTree(written, sectionRva);
  FUZZ_EXPECT(readBack.ok() && readBack->size() == resources->size());
}

void checkIconFile(const Bytes& file) {
  auto images = pack::readIconFile(file);
  if (!images) return;
  FUZZ_EXPECT(!images->empty());
  const Bytes group = pack::iconGroupResource(*images, 1);
  FUZZ_EXPECT(group.size() == 6 + 14 * images->size());
}

void checkImage(const Bytes& image) {
  (void)pack::inspectExecutable(image);
  (void)pack::readSignature(image);
  pack::Identity identity{"Product", "Company", "", "", "", std::array<std::uint16_t, 4>{1, 2, 3, 4}, {}};
  auto rebuilt = pack::imageWithIdentity(image, identity);
  if (!rebuilt) return;
  // The rebuilt image has headers the launcher reads, and its image ends where the file does.
  auto layout = pack::locateImageEnd(*rebuilt);
  FUZZ_EXPECT(layout.ok() && !layout->hasAppendedData());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return -1;
  const Bytes bytes(data + 1, data + size);
  switch (data[0] % 3) {
    case 0: checkResourceSection(bytes); break;
    case 1: checkIconFile(bytes); break;
    default: checkImage(bytes); break;
  }
  return 0;
}
