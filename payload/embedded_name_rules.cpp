#include "payload/embedded_name_rules.h"

#include <algorithm>
#include <array>
#include <vector>

#include "util/text.h"

namespace runvo {

namespace {

constexpr std::string_view kSeparators = "\\/";

// Windows also counts the Windows-1252 superscripts 1, 2 and 3 (bytes B9, B2,
// B3) as digits of COM and LPT devices.
constexpr std::array<std::string_view, 28> kDeviceNames = {
    "CON",     "PRN",     "AUX",     "NUL",     "COM1",    "COM2",    "COM3",
    "COM4",    "COM5",    "COM6",    "COM7",    "COM8",    "COM9",    "COM\xB9",
    "COM\xB2", "COM\xB3", "LPT1",    "LPT2",    "LPT3",    "LPT4",    "LPT5",
    "LPT6",    "LPT7",    "LPT8",    "LPT9",    "LPT\xB9", "LPT\xB2", "LPT\xB3",
};

std::vector<std::string_view> partsOf(std::string_view name) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = name.find_first_of(kSeparators, start);
    parts.push_back(name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

// Windows drops trailing dots and spaces from a part, so ".. " or "..." is no
// plain name and may end up meaning "..".
bool isParentSegment(std::string_view part) {
  return part.starts_with("..") && part.find_first_not_of(". ") == std::string_view::npos;
}

// Windows opens the device whatever extension follows, and ignores the spaces
// before it: "nul.txt" and "NUL .log" are both NUL.
bool isDeviceName(std::string_view part) {
  std::string_view stem = part.substr(0, part.find('.'));
  while (stem.ends_with(' ')) stem.remove_suffix(1);
  return std::ranges::any_of(kDeviceNames,
                             [&](std::string_view device) { return equalsIgnoringAsciiCase(stem, device); });
}

bool hasControlCharacter(std::string_view name) {
  return std::ranges::any_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

std::optional<UnsafeName> unsafeEmbeddedName(std::string_view storedName) {
  if (storedName.empty()) return UnsafeName{NameHazard::Empty, {}};
  if (kSeparators.find(storedName.front()) != std::string_view::npos) return UnsafeName{NameHazard::Rooted, {}};
  // Windows takes any character before a ':' in second place for a drive.
  if (storedName.size() >= 2 && storedName[1] == ':') return UnsafeName{NameHazard::Drive, {}};
  const std::vector<std::string_view> parts = partsOf(storedName);
  if (std::ranges::any_of(parts, isParentSegment)) return UnsafeName{NameHazard::ParentSegment, {}};
  if (hasControlCharacter(storedName)) return UnsafeName{NameHazard::ControlCharacter, {}};
  if (storedName.find(':') != std::string_view::npos) return UnsafeName{NameHazard::Colon, {}};
  if (auto device = std::ranges::find_if(parts, isDeviceName); device != parts.end()) {
    return UnsafeName{NameHazard::DeviceName, std::string(*device)};
  }
  return std::nullopt;
}

std::string describeUnsafeName(const UnsafeName& unsafe) {
  switch (unsafe.hazard) {
    case NameHazard::Empty: return "the name is empty";
    case NameHazard::Rooted: return "the name is absolute (it starts with a slash)";
    case NameHazard::Drive: return "the name is absolute (it has a drive)";
    case NameHazard::Colon: return "the name contains ':', which Windows reads as a stream or device suffix";
    case NameHazard::ParentSegment: return "the name contains \"..\"";
    case NameHazard::ControlCharacter: return "the name contains a control character";
    case NameHazard::DeviceName: return "\"" + unsafe.part + "\" is a reserved Windows device name";
  }
  return "the name is unsafe";
}

}  // namespace runvo
