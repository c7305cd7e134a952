#include "pack/image/resource_section.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "pack/common/byte_fields.h"
#include "pack/image/pe_image.h"

namespace runvo::pack {

namespace {

constexpr std::uint32_t kDirectorySize = 16;
constexpr std::uint32_t kEntrySize = 8;
constexpr std::uint32_t kDataEntrySize = 16;
constexpr std::uint32_t kSubdirectoryFlag = 0x80000000;
constexpr std::uint16_t kUsEnglish = 0x0409;

PackError badResources(const std::string& why) { return failure("has a resource section runvo-pack cannot rebuild: " + why); }

struct Entry {
  std::uint16_t id = 0;
  std::uint32_t target = 0;  // offset in the section, of a directory or a data entry
};

// The entries of the directory at `offset`, all of them numbered.
Expected<std::vector<Entry>> directoryEntries(const Bytes& section, std::uint32_t offset, bool subdirectories) {
  if (std::uint64_t{offset} + kDirectorySize > section.size()) return badResources("a directory lies outside it");
  const std::uint32_t named = readU16(section, offset + 12);
  const std::uint32_t numbered = readU16(section, offset + 14);
  if (named != 0) return badResources("it has resources with names, not numbers");
  if (offset + kDirectorySize + std::uint64_t{kEntrySize} * numbered > section.size()) {
    return badResources("a directory's entries lie outside it");
  }
  std::vector<Entry> entries;
  for (std::uint32_t i = 0; i < numbered; ++i) {
    const std::uint32_t at = offset + kDirectorySize + kEntrySize * i;
    const std::uint32_t target = readU32(section, at + 4);
    if (((target & kSubdirectoryFlag) != 0) != subdirectories) return badResources("its tree is not three levels deep");
    entries.push_back({static_cast<std::uint16_t>(readU32(section, at)), target & ~kSubdirectoryFlag});
  }
  return entries;
}

Expected<Resource> readLeaf(const Bytes& section, std::uint32_t sectionRva, std::uint32_t dataEntry) {
  if (std::uint64_t{dataEntry} + kDataEntrySize > section.size()) return badResources("a data entry lies outside it");
  const std::uint32_t rva = readU32(section, dataEntry);
  const std::uint32_t size = readU32(section, dataEntry + 4);
  if (rva < sectionRva || std::uint64_t{rva - sectionRva} + size > section.size()) {
    return badResources("a resource's data lies outside it");
  }
  Resource resource;
  resource.codePage = readU32(section, dataEntry + 8);
  resource.data.assign(section.begin() + (rva - sectionRva), section.begin() + (rva - sectionRva + size));
  return resource;
}

std::uint32_t alignUp(std::uint32_t value, std::uint32_t alignment) {
  return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

// As the format demands: powers of two, the file alignment from 512 bytes to
// 64 KiB, the section alignment no smaller.
bool plausibleAlignments(std::uint32_t fileAlignment, std::uint32_t sectionAlignment) {
  auto powerOfTwo = [](std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; };
  return powerOfTwo(fileAlignment) && powerOfTwo(sectionAlignment) && fileAlignment >= 0x200 &&
         fileAlignment <= 0x10000 && sectionAlignment >= fileAlignment;
}

void appendDirectory(Bytes& out, std::size_t entryCount) {
  appendLittleEndian(out, 0, 4);  // characteristics
  appendLittleEndian(out, 0, 4);  // time stamp: none, so that builds stay byte-identical
  appendLittleEndian(out, 0, 4);  // version
  appendLittleEndian(out, 0, 2);  // named entries
  appendLittleEndian(out, entryCount, 2);
}

// The identity's resources take the place of the stub's of the same kinds.
std::vector<Resource> mergedResources(std::vector<Resource> resources, const Identity& identity) {
  const bool newIcon = !identity.icon.empty();
  std::erase_if(resources, [&](const Resource& resource) {
    return resource.type == kVersionResource ||
           (newIcon && (resource.type == kIconResource || resource.type == kIconGroupResource));
  });
  resources.push_back({kVersionResource, 1, kUsEnglish, 0, versionResource(identity)});
  if (newIcon) {
    resources.push_back({kIconGroupResource, 1, kUsEnglish, 0, iconGroupResource(identity.icon, 1)});
    for (std::size_t i = 0; i < identity.icon.size(); ++i) {
      resources.push_back({kIconResource, static_cast<std::uint16_t>(i + 1), kUsEnglish, 0, identity.icon[i].data});
    }
  }
  return resources;
}

bool contains(const SectionHeader& section, const DataDirectory& directory) {
  return directory.address >= section.virtualAddress &&
         std::uint64_t{directory.address} + directory.size <=
             std::uint64_t{section.virtualAddress} + std::max(section.virtualSize, section.rawSize);
}

}  // namespace

Expected<std::vector<Resource>> readResourceTree(const Bytes& section, std::uint32_t sectionRva) {
  std::vector<Resource> resources;
  // A sound tree reaches every directory and data entry once, and its data
  // fits the section: a crafted one could otherwise copy the same bytes
  // without end.
  std::set<std::uint32_t> reached{0};
  std::uint64_t dataSize = 0;
  auto reachOnce = [&](std::uint32_t offset) { return reached.insert(offset).second; };
  auto types = directoryEntries(section, 0, true);
  if (!types) return types.error();
  for (const Entry& type : *types) {
    if (!reachOnce(type.target)) return badResources("its tree reaches a directory twice");
    auto ids = directoryEntries(section, type.target, true);
    if (!ids) return ids.error();
    for (const Entry& id : *ids) {
      if (!reachOnce(id.target)) return badResources("its tree reaches a directory twice");
      auto languages = directoryEntries(section, id.target, false);
      if (!languages) return languages.error();
      for (const Entry& language : *languages) {
        if (!reachOnce(language.target)) return badResources("its tree reaches a data entry twice");
        auto resource = readLeaf(section, sectionRva, language.target);
        if (!resource) return resource.error();
        dataSize += resource->data.size();
        if (dataSize > section.size()) return badResources("its resources' data is larger than the section");
        resource->type = type.id;
        resource->id = id.id;
        resource->language = language.id;
        resources.push_back(std::move(*resource));
      }
    }
  }
  return resources;
}

// Directories first (types, then ids, then languages), then the data
// entries, then the data, each piece 8-byte aligned.
Bytes writeResourceTree(std::vector<Resource> resources, std::uint32_t sectionRva) {
  std::sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
    return std::tie(a.type, a.id, a.language) < std::tie(b.type, b.id, b.language);
  });
  std::map<std::uint16_t, std::map<std::uint16_t, std::vector<const Resource*>>> tree;
  for (const Resource& resource : resources) tree[resource.type][resource.id].push_back(&resource);

  std::size_t idDirectories = 0;
  for (const auto& [type, ids] : tree) idDirectories += ids.size();
  const std::uint32_t idLevel = kDirectorySize + kEntrySize * static_cast<std::uint32_t>(tree.size());
  std::uint32_t languageLevel = idLevel;
  for (const auto& [type, ids] : tree) languageLevel += kDirectorySize + kEntrySize * static_cast<std::uint32_t>(ids.size());
  const std::uint32_t dataEntries = languageLevel + kDirectorySize * static_cast<std::uint32_t>(idDirectories) +
                                    kEntrySize * static_cast<std::uint32_t>(resources.size());
  std::uint32_t dataAt = alignUp(dataEntries + kDataEntrySize * static_cast<std::uint32_t>(resources.size()), 8);

  Bytes out;
  appendDirectory(out, tree.size());
  std::uint32_t nextId = idLevel;
  for (const auto& [type, ids] : tree) {
    appendLittleEndian(out, type, 4);
    appendLittleEndian(out, nextId | kSubdirectoryFlag, 4);
    nextId += kDirectorySize + kEntrySize * static_cast<std::uint32_t>(ids.size());
  }
  std::uint32_t nextLanguage = languageLevel;
  for (const auto& [type, ids] : tree) {
    appendDirectory(out, ids.size());
    for (const auto& [id, languages] : ids) {
      appendLittleEndian(out, id, 4);
      appendLittleEndian(out, nextLanguage | kSubdirectoryFlag, 4);
      nextLanguage += kDirectorySize + kEntrySize * static_cast<std::uint32_t>(languages.size());
    }
  }
  std::uint32_t nextDataEntry = dataEntries;
  for (const auto& [type, ids] : tree) {
    for (const auto& [id, languages] : ids) {
      appendDirectory(out, languages.size());
      for (const Resource* resource : languages) {
        appendLittleEndian(out, resource->language, 4);
        appendLittleEndian(out, nextDataEntry, 4);
        nextDataEntry += kDataEntrySize;
      }
    }
  }
  for (const Resource& resource : resources) {
    appendLittleEndian(out, sectionRva + dataAt, 4);
    appendLittleEndian(out, resource.data.size(), 4);
    appendLittleEndian(out, resource.codePage, 4);
    appendLittleEndian(out, 0, 4);
    dataAt = alignUp(dataAt + static_cast<std::uint32_t>(resource.data.size()), 8);
  }
  for (const Resource& resource : resources) {
    out.resize(alignUp(static_cast<std::uint32_t>(out.size()), 8), 0);
    out.insert(out.end(), resource.data.begin(), resource.data.end());
  }
  return out;
}

namespace {

// The section headers, with the resource section and the relocations behind it.
struct ResourcePlace {
  std::vector<SectionHeader> sections;
  std::size_t resources = 0;  // index in sections
  bool relocationsFollow = false;
};

Expected<ResourcePlace> locateResourceSection(const Bytes& image, const HeaderFields& fields) {
  const DataDirectory resourceDirectory = readDataDirectory(image, fields, kResourceDirectory);
  const DataDirectory relocations = readDataDirectory(image, fields, kBaseRelocationDirectory);
  ResourcePlace place;
  for (std::uint32_t i = 0; i < fields.sectionCount; ++i) place.sections.push_back(readSectionHeader(image, fields, i));
  const auto found = std::find_if(place.sections.begin(), place.sections.end(), [&](const SectionHeader& section) {
    return resourceDirectory.size != 0 && section.virtualAddress == resourceDirectory.address;
  });
  if (found == place.sections.end()) return failure("has no resource section that starts with its resource directory");
  place.resources = static_cast<std::size_t>(found - place.sections.begin());
  const std::size_t followers = place.sections.size() - place.resources - 1;
  place.relocationsFollow = followers == 1 && relocations.size != 0 && contains(place.sections.back(), relocations);
  if (followers > 1 || (followers == 1 && !place.relocationsFollow)) {
    return failure("has sections after its resource section other than the base relocations: "
                   "runvo-pack can only rebuild a resource section at the end of the image");
  }
  const SectionHeader& rsrc = *found;
  const std::uint32_t headersEnd = fields.sectionTable + kSectionHeaderSize * fields.sectionCount;
  for (std::size_t i = place.resources; i < place.sections.size(); ++i) {
    const SectionHeader& section = place.sections[i];
    if (section.rawOffset < headersEnd || std::uint64_t{section.rawOffset} + section.rawSize > image.size()) {
      return badResources("its raw data lies outside the file or over the headers");
    }
  }
  if (std::uint64_t{rsrc.virtualAddress} + rsrc.rawSize > kLargestExecutable) return badResources("it lies too high");
  return place;
}

// The relocations' bytes behind the new resource section, at the next
// section-aligned address; their directory entry follows them.
void appendMovedRelocations(Bytes& rebuilt, const Bytes& image, const HeaderFields& fields, const SectionHeader& rsrc,
                            SectionHeader& relocations, std::uint32_t sectionAlignment) {
  const DataDirectory directory = readDataDirectory(image, fields, kBaseRelocationDirectory);
  const std::uint32_t newAddress = alignUp(rsrc.virtualAddress + rsrc.virtualSize, sectionAlignment);
  writeDataDirectory(rebuilt, fields, kBaseRelocationDirectory,
                     {directory.address - relocations.virtualAddress + newAddress, directory.size});
  rebuilt.insert(rebuilt.end(), image.begin() + relocations.rawOffset,
                 image.begin() + relocations.rawOffset + relocations.rawSize);
  relocations.virtualAddress = newAddress;
  relocations.rawOffset = rsrc.rawOffset + rsrc.rawSize;
  writeSectionHeader(rebuilt, relocations);
}

}  // namespace

Expected<Bytes> imageWithIdentity(const Bytes& image, const Identity& identity) {
  auto fields = locateHeaderFields(image);
  if (!fields) return fields.error();
  const std::uint32_t fileAlignment = readU32(image, fields->optionalHeader + 36);
  const std::uint32_t sectionAlignment = readU32(image, fields->optionalHeader + 32);
  if (!plausibleAlignments(fileAlignment, sectionAlignment)) {
    return failure("is not a Windows executable: implausible file or section alignment");
  }
  auto place = locateResourceSection(image, *fields);
  if (!place) return place.error();
  SectionHeader& rsrc = place->sections[place->resources];

  const Bytes oldSection(image.begin() + rsrc.rawOffset, image.begin() + rsrc.rawOffset + rsrc.rawSize);
  auto resources = readResourceTree(oldSection, rsrc.virtualAddress);
  if (!resources) return resources.error();
  const Bytes newSection = writeResourceTree(mergedResources(std::move(*resources), identity), rsrc.virtualAddress);
  const SectionHeader& last = place->sections.back();
  if (std::uint64_t{last.virtualAddress} + last.virtualSize + newSection.size() + 2ull * sectionAlignment >
      kLargestExecutable) {
    return badResources("the image would grow past 2 GiB");
  }

  const std::uint32_t oldRawSize = rsrc.rawSize;
  rsrc.virtualSize = static_cast<std::uint32_t>(newSection.size());
  rsrc.rawSize = alignUp(rsrc.virtualSize, fileAlignment);
  Bytes rebuilt(image.begin(), image.begin() + rsrc.rawOffset);
  rebuilt.insert(rebuilt.end(), newSection.begin(), newSection.end());
  rebuilt.resize(std::size_t{rsrc.rawOffset} + rsrc.rawSize, 0);
  if (place->relocationsFollow) {
    appendMovedRelocations(rebuilt, image, *fields, rsrc, place->sections.back(), sectionAlignment);
  }
  writeSectionHeader(rebuilt, rsrc);
  writeDataDirectory(rebuilt, *fields, kResourceDirectory, {rsrc.virtualAddress, rsrc.virtualSize});

  const std::uint32_t imageSize = alignUp(last.virtualAddress + std::max(last.virtualSize, last.rawSize), sectionAlignment);
  writeLittleEndian(rebuilt, fields->optionalHeader + 56, imageSize, 4);
  const std::uint32_t initializedData = readU32(image, fields->optionalHeader + 8);
  writeLittleEndian(rebuilt, fields->optionalHeader + 8, initializedData - oldRawSize + rsrc.rawSize, 4);
  return rebuilt;
}

}  // namespace runvo::pack
