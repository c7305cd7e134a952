// The names an extraction writes: each embedded name the launcher accepts
// must stay inside the extraction directory and name a plain file, and an
// extraction directory must be recognised as its owner's and no one else's.
// Input: the embedded name list as the payload holds it (";"-separated);
// each name is also taken as an executable's path and as a directory name.
#include <algorithm>
#include <array>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "payload/embedded_name_rules.h"
#include "payload/extraction_names.h"
#include "util/text.h"

namespace {

constexpr std::array<std::string_view, 28> kDevices = {
    "CON",     "PRN",     "AUX",     "NUL",     "COM1",    "COM2",    "COM3",    "COM4",    "COM5",    "COM6",
    "COM7",    "COM8",    "COM9",    "COM\xB9", "COM\xB2", "COM\xB3", "LPT1",    "LPT2",    "LPT3",    "LPT4",
    "LPT5",    "LPT6",    "LPT7",    "LPT8",    "LPT9",    "LPT\xB9", "LPT\xB2", "LPT\xB3",
};

std::vector<std::string_view> partsOf(std::string_view name) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '\\' || name[i] == '/') {
      parts.push_back(name.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

std::string upperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return upper;
}

// Windows drops trailing dots and spaces, so "..", "..." and ".. " all climb.
bool climbs(std::string_view part) {
  return part.starts_with("..") && std::ranges::all_of(part, [](char c) { return c == '.' || c == ' '; });
}

// Windows opens the device whatever extension or spaces follow its name.
bool isDevice(std::string_view part) {
  std::string stem = upperAscii(part.substr(0, part.find('.')));
  while (stem.ends_with(' ')) stem.pop_back();
  return std::ranges::find(kDevices, stem) != kDevices.end();
}

void checkAcceptedName(std::string_view name) {
  const auto unsafe = runvo::unsafeEmbeddedName(name);
  if (unsafe) {
    FUZZ_EXPECT(!runvo::describeUnsafeName(*unsafe).empty());
    if (unsafe->hazard == runvo::NameHazard::DeviceName) FUZZ_EXPECT(std::ranges::count(partsOf(name), unsafe->part) > 0);
    return;
  }
  FUZZ_EXPECT(!name.empty() && name.front() != '\\' && name.front() != '/');
  FUZZ_EXPECT(name.find(':') == std::string_view::npos);
  FUZZ_EXPECT(std::ranges::none_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x20; }));
  for (std::string_view part : partsOf(name)) FUZZ_EXPECT(!climbs(part) && !isDevice(part));
}

bool isLowerHex(std::string_view text) { return text.find_first_not_of("0123456789abcdef") == std::string_view::npos; }

void checkOwnerId(std::string_view modulePath) {
  const std::string owner = runvo::executableOwnerId(modulePath);
  FUZZ_EXPECT(owner.size() == 8 && isLowerHex(owner));
  FUZZ_EXPECT(runvo::executableOwnerId(upperAscii(modulePath)) == owner);
}

// The owner's own directory is recognised, another owner's is not.
void checkMadeDirectory(std::string_view modulePath, std::uint64_t random) {
  const std::string owner = runvo::executableOwnerId(modulePath);
  const std::string made = runvo::extractionDirectoryName(owner, random);
  FUZZ_EXPECT(runvo::isExtractionDirectoryOf(made, owner));
  const std::string otherOwner = runvo::executableOwnerId(made);
  if (otherOwner != owner) FUZZ_EXPECT(!runvo::isExtractionDirectoryOf(made, otherOwner));
}

// A directory taken for an owner's is one that owner could have made; the
// owner is read where the name would hold it, so that any text can match.
void checkFoundDirectory(std::string_view name) {
  constexpr std::size_t kOwnerAt = 3;
  if (name.size() < kOwnerAt) return;
  const std::string_view owner = name.substr(kOwnerAt, 8);
  if (!runvo::isExtractionDirectoryOf(name, owner)) return;
  const std::string digits(name.substr(kOwnerAt + owner.size() + 1, 16));
  FUZZ_EXPECT(runvo::extractionDirectoryName(owner, std::strtoull(digits.c_str(), nullptr, 16)) == name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint64_t random = size;
  for (const std::string& name : runvo::splitNonEmpty(runvo::fuzz::asText(data, size), ';')) {
    checkAcceptedName(name);
    checkOwnerId(name);
    checkMadeDirectory(name, random);
    checkFoundDirectory(name);
    random = random * 6364136223846793005u + name.size();
  }
  return 0;
}
