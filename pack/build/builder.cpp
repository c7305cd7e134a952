#include "pack/build/builder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <span>
#include <sstream>

#include "pack/common/file_io.h"
#include "pack/build/file_records.h"
#include "pack/image/pe_image.h"
#include "pack/common/platform.h"
#include "pack/image/resource_section.h"
#include "pack/common/text_encoding.h"

namespace runvo::pack {

namespace {

struct RuntimeJar {
  std::filesystem::path path;
  std::uint64_t size = 0;
};

// A jar is a zip file, which starts with a local file header. Only those
// bytes are read here: the whole jar is read once, while it is embedded.
bool looksLikeJar(const std::filesystem::path& path) {
  constexpr char kZipSignature[] = {'P', 'K', 0x03, 0x04};
  char start[sizeof kZipSignature] = {};
  std::ifstream in(path, std::ios::binary);
  in.read(start, sizeof start);
  return in.gcount() == sizeof start && std::equal(std::begin(kZipSignature), std::end(kZipSignature), start);
}

Expected<RuntimeJar> readRuntimeJar(std::filesystem::path path) {
  auto size = readableFileSize(path);
  if (!size) return failure("cannot load the runtime jar: " + size.error().message);
  if (!looksLikeJar(path)) {
    return failure("the runtime jar " + quotedPath(path) + " is not a jar (it does not start like a zip file)");
  }
  return RuntimeJar{std::move(path), *size};
}

// The files a build takes besides the config.
struct Companions {
  std::filesystem::path stub;
  std::optional<std::filesystem::path> runtimeJar;  // none: the config leaves it out
};

struct CompanionRole {
  std::string_view what;
  std::string_view use;       // what runvo-pack does with the file
  std::string_view fileName;  // beside runvo-pack
  std::string_view option;
  std::string_view otherWay;  // besides the option
};
constexpr CompanionRole kStubRole{"the stub", "builds on", kStubFileName, "--stub", ""};
constexpr CompanionRole kRuntimeJarRole{"the runtime jar", "embeds", kRuntimeJarName, "--runtime-jar",
                                        ", or set launcher.runtime_jar = false in the config"};

// The file its option names, or the one beside runvo-pack; a failure says
// why it cannot serve, and for a missing one beside runvo-pack how to name
// another.
Expected<std::filesystem::path> locateCompanion(const std::optional<std::filesystem::path>& named,
                                                const CompanionRole& role) {
  if (named) {
    if (auto size = readableFileSize(*named); !size) {
      return failure("cannot load " + std::string(role.what) + ": " + size.error().message);
    }
    return *named;
  }
  auto self = runningExecutablePath();
  if (!self) return self.error();
  std::filesystem::path beside = self->parent_path() / role.fileName;
  std::error_code error;
  if (std::filesystem::exists(beside, error)) return beside;
  return failure(std::string(role.what) + " " + quotedPath(beside) + " is missing: runvo-pack " +
                 std::string(role.use) + " " + std::string(role.fileName) +
                 " from its own directory; name another one with " + std::string(role.option) + " PATH" +
                 std::string(role.otherWay));
}

// A copy of runvo-pack without the files that ship beside it misses them
// all, so each missing one is named at once, with its option.
Expected<Companions> locateCompanions(const BuildRequest& request, bool withRuntimeJar) {
  std::string missing;
  bool missingBeside = false;
  auto locate = [&](const std::optional<std::filesystem::path>& named,
                    const CompanionRole& role) -> std::optional<std::filesystem::path> {
    auto located = locateCompanion(named, role);
    if (located) return std::move(*located);
    missing += located.error().message + "\n";
    missingBeside = missingBeside || !named;
    return std::nullopt;
  };
  std::optional<std::filesystem::path> stub = locate(request.stub, kStubRole);
  std::optional<std::filesystem::path> runtimeJar;
  if (withRuntimeJar) runtimeJar = locate(request.runtimeJar, kRuntimeJarRole);
  if (missing.empty()) return Companions{std::move(*stub), std::move(runtimeJar)};
  if (missingBeside) {
    missing += std::string(kBuilderFileName) + ", " + std::string(kStubFileName) + " and " +
               std::string(kRuntimeJarName) + " ship side by side in the build's dist folder: keep them together\n";
  }
  missing.pop_back();
  return failure(std::move(missing));
}

// The image that the payload follows, and what writing it needs to know.
struct PreparedImage {
  // The stub's image as it stands, unless it had to change: a copy of a large
  // stub would cost more than the rest of a small build.
  std::span<const std::uint8_t> stubImage;
  Bytes changedImage;
  Bytes tables;
  std::optional<HeaderFields> fields;  // set when the checksum is to be taken anew
  std::uint64_t replacedPayloadSize = 0;

  std::span<const std::uint8_t> image() const {
    return changedImage.empty() ? stubImage : std::span<const std::uint8_t>(changedImage);
  }
};

Expected<PreparedImage> prepareImage(ByteView stub, const std::string& stubName, const PackPlan& plan,
                                     bool replacePayload) {
  const auto layout = locateImageEnd(stub);
  if (!layout) return failure("the stub " + quotedForMessage(stubName) + " " + layout.error().message);
  const auto fields = locateHeaderFields(stub);
  const bool signedStub = fields && readDataDirectory(stub, *fields, kCertificateDirectory).size != 0;
  if (layout->hasAppendedData() && !replacePayload) {
    const std::string appended = std::to_string(layout->fileSize - layout->imageEnd) +
                                 " bytes after its image end at offset " + std::to_string(layout->imageEnd);
    if (signedStub) {
      return failure("the stub " + quotedForMessage(stubName) + " is signed (" + appended +
                     "): sign after packing (--sign); pass --replace to drop its signature and any payload");
    }
    return failure("the stub " + quotedForMessage(stubName) + " already carries a payload (" + appended +
                   "); pass --replace to replace it");
  }

  PreparedImage prepared;
  prepared.stubImage = stub.first(static_cast<std::size_t>(layout->imageEnd));
  if (signedStub || plan.identity) {
    Bytes image(prepared.stubImage.begin(), prepared.stubImage.end());
    // The old signature goes with the old payload: its table lay behind the image end.
    if (signedStub) writeDataDirectory(image, *fields, kCertificateDirectory, {});
    if (plan.identity) {
      auto withIdentity = imageWithIdentity(image, *plan.identity);
      if (!withIdentity) return failure("the stub " + quotedForMessage(stubName) + " " + withIdentity.error().message);
      image = std::move(*withIdentity);
    }
    prepared.changedImage = std::move(image);
    // A rebuilt or unsigned image gets its checksum anew.
    prepared.fields = *fields;
  }
  appendPayloadTables(prepared.tables, plan.table);
  std::uint64_t size = prepared.image().size() + prepared.tables.size();
  for (const EmbeddedFile& file : plan.files) {
    size += 8 + file.size;
    if (size > kLargestExecutable) {
      return failure("the executable would pass 2 GiB at \"" + file.storedName +
                     "\"; the launcher cannot read that far");
    }
  }
  prepared.replacedPayloadSize = layout->fileSize - layout->imageEnd;
  return prepared;
}

PackError failedWriting() { return failure("cannot write the executable"); }

}  // namespace

Expected<WrittenExecutable> writeExecutable(ByteView stub, const std::string& stubName, const PackPlan& plan,
                                            bool replacePayload, std::ostream& out) {
  auto prepared = prepareImage(stub, stubName, plan, replacePayload);
  if (!prepared) return prepared.error();
  std::optional<ImageChecksum> checksum;
  if (prepared->fields) checksum.emplace(*prepared->fields);
  std::uint64_t size = 0;
  for (const std::span<const std::uint8_t> piece : {prepared->image(), std::span<const std::uint8_t>(prepared->tables)}) {
    out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
    if (checksum) checksum->add(piece.data(), piece.size());
    size += piece.size();
  }
  if (auto written = writeFileRecords(out, plan.files, checksum ? &*checksum : nullptr); !written) {
    return written.error();
  }
  for (const EmbeddedFile& file : plan.files) size += 8 + file.size;
  if (checksum) {
    Bytes field;
    appendLittleEndian(field, checksum->finish(), 4);
    out.seekp(static_cast<std::streamoff>(prepared->fields->checksum));
    out.write(reinterpret_cast<const char*>(field.data()), 4);
    out.seekp(0, std::ios::end);
  }
  if (!out) return failedWriting();
  return WrittenExecutable{size, prepared->replacedPayloadSize};
}

Expected<AssembledExecutable> assembleExecutable(ByteView stub, const std::string& stubName,
                                                 const PackPlan& plan, bool replacePayload) {
  std::ostringstream out(std::ios::binary);
  auto written = writeExecutable(stub, stubName, plan, replacePayload, out);
  if (!written) return written.error();
  const std::string bytes = std::move(out).str();
  return AssembledExecutable{Bytes(bytes.begin(), bytes.end()), written->replacedPayloadSize};
}

Expected<BuildSummary> buildExecutable(const BuildRequest& request) {
  auto plan = loadPackConfig(request.config);
  if (!plan) return plan.error();
  return buildExecutable(std::move(*plan), request);
}

Expected<BuildSummary> buildExecutable(PackPlan plan, const BuildRequest& request) {
  auto companions = locateCompanions(request, plan.embedsRuntimeJar);
  if (!companions) return companions.error();
  if (companions->runtimeJar) {
    auto jar = readRuntimeJar(*companions->runtimeJar);
    if (!jar) return jar.error();
    addRuntimeJar(plan, std::move(jar->path), jar->size);
  }

  const std::filesystem::path& stubPath = companions->stub;
  const auto stub = mapWholeFile(stubPath);
  if (!stub) return failure("cannot load the stub: " + stub.error().message);

  std::optional<WrittenExecutable> written;
  auto status = writeFileAtomically(request.output, [&](std::ostream& out) -> Status {
    auto result = writeExecutable(stub->view(), displayPath(stubPath), plan, request.replacePayload, out);
    if (!result) return result.error();
    written = *result;
    return Done{};
  });
  if (!status) return status.error();
  return BuildSummary{written->size, plan.files.size(), written->replacedPayloadSize, plan.embedsRuntimeJar};
}

}  // namespace runvo::pack
