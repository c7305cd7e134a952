// What Explorer and Task Manager show of an executable: its version
// information and its icon, from the config's [identity] table.
#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "pack/common/expected.h"
#include "payload/payload_writer.h"

namespace runvo::pack {

// One image of an .ico file and the fields its directory entry gives it.
struct IconImage {
  std::uint8_t width = 0;   // 0 stands for 256
  std::uint8_t height = 0;
  std::uint8_t colourCount = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  Bytes data;  // a BMP without its file header, or a PNG
};

// Texts in UTF-8; an empty text is left out of the version resource.
struct Identity {
  std::string productName;
  std::string company;
  std::string fileDescription;
  std::string copyright;
  std::string originalFilename;
  std::optional<std::array<std::uint16_t, 4>> version;
  std::vector<IconImage> icon;  // empty: the stub's icon, if any, stays
};

// The images of an .ico file, every directory entry checked against the
// file's size. Messages do not name the file; the caller does.
Expected<std::vector<IconImage>> readIconFile(const Bytes& file);

// "1.2.3.4": four numbers of 0 to 65535.
Expected<std::array<std::uint16_t, 4>> parseFileVersion(std::string_view text);

// VS_VERSIONINFO, as an RT_VERSION resource holds it: the fixed part with the
// version numbers and one US English, Unicode string table.
Bytes versionResource(const Identity& identity);

// GRPICONDIR, as an RT_GROUP_ICON resource holds it, naming the RT_ICON
// resources firstIconId, firstIconId + 1, ...
Bytes iconGroupResource(const std::vector<IconImage>& images, std::uint16_t firstIconId);

}  // namespace runvo::pack
