#include "pack/builder.h"

#include <algorithm>
#include <iterator>

#include "pack/file_io.h"
#include "pack/pe_image.h"
#include "pack/platform.h"
#include "pack/resource_section.h"

namespace runvo::pack {

namespace {

struct RuntimeJar {
  std::filesystem::path path;
  Bytes content;
};

// A jar is a zip file, which starts with a local file header.
bool looksLikeJar(const Bytes& content) {
  constexpr std::uint8_t kZipSignature[] = {'P', 'K', 0x03, 0x04};
  return content.size() >= sizeof kZipSignature && std::equal(std::begin(kZipSignature), std::end(kZipSignature),
                                                              content.begin());
}

// The jar --runtime-jar names, or the one that ships beside runvo-pack.
Expected<RuntimeJar> readRuntimeJar(const std::optional<std::filesystem::path>& named) {
  std::filesystem::path path;
  if (named) {
    path = *named;
  } else {
    auto found = defaultRuntimeJarPath();
    if (!found) return found.error();
    path = *found;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
      return failure("the runtime jar \"" + displayPath(path) + "\" is missing: runvo-pack embeds " +
                     std::string(kRuntimeJarName) + " from its own directory; name another one with "
                     "--runtime-jar PATH, or set launcher.runtime_jar = false in the config");
    }
  }
  auto content = readWholeFile(path);
  if (!content) return failure("cannot load the runtime jar: " + content.error().message);
  if (!looksLikeJar(*content)) {
    return failure("the runtime jar \"" + displayPath(path) + "\" is not a jar (it does not start like a zip file)");
  }
  return RuntimeJar{std::move(path), std::move(*content)};
}

}  // namespace

Expected<AssembledExecutable> assembleExecutable(const Bytes& stub, const std::string& stubName,
                                                 const PackPlan& plan, bool replacePayload) {
  const auto layout = locateImageEnd(stub);
  if (!layout) return failure("the stub \"" + stubName + "\" " + layout.error().message);
  const auto fields = locateHeaderFields(stub);
  const bool signedStub = fields && readDataDirectory(stub, *fields, kCertificateDirectory).size != 0;
  if (layout->hasAppendedData() && !replacePayload) {
    const std::string appended = std::to_string(layout->fileSize - layout->imageEnd) +
                                 " bytes after its image end at offset " + std::to_string(layout->imageEnd);
    if (signedStub) {
      return failure("the stub \"" + stubName + "\" is signed (" + appended +
                     "): sign after packing (--sign); pass --replace to drop its signature and any payload");
    }
    return failure("the stub \"" + stubName + "\" already carries a payload (" + appended +
                   "); pass --replace to replace it");
  }

  Bytes image(stub.begin(), stub.begin() + layout->imageEnd);
  // The old signature goes with the old payload: its table lay behind the image end.
  if (signedStub) writeDataDirectory(image, *fields, kCertificateDirectory, {});
  if (plan.identity) {
    auto withIdentity = imageWithIdentity(image, *plan.identity);
    if (!withIdentity) return failure("the stub \"" + stubName + "\" " + withIdentity.error().message);
    image = std::move(*withIdentity);
  }
  Bytes tables;
  appendPayloadTables(tables, plan.table);
  // Reserved whole: growing as it goes would copy a large payload again and again.
  std::size_t size = image.size() + tables.size();
  for (const EmbeddedFile& file : plan.files) size += 8 + file.content.size();
  Bytes executable = std::move(image);
  executable.reserve(size);
  executable.insert(executable.end(), tables.begin(), tables.end());
  for (const EmbeddedFile& file : plan.files) {
    if (executable.size() + 8 + file.content.size() > kLargestExecutable) {
      return failure("the executable would pass 2 GiB at \"" + file.storedName +
                     "\"; the launcher cannot read that far");
    }
    appendFileRecord(executable, file.content);
  }
  if (signedStub || plan.identity) updateChecksum(executable, *fields);
  return AssembledExecutable{std::move(executable), layout->fileSize - layout->imageEnd};
}

Expected<BuildSummary> buildExecutable(const BuildRequest& request) {
  auto plan = loadPackConfig(request.config);
  if (!plan) return plan.error();
  return buildExecutable(std::move(*plan), request);
}

Expected<BuildSummary> buildExecutable(PackPlan plan, const BuildRequest& request) {
  if (plan.embedsRuntimeJar) {
    auto jar = readRuntimeJar(request.runtimeJar);
    if (!jar) return jar.error();
    addRuntimeJar(plan, std::move(jar->path), std::move(jar->content));
  }

  std::filesystem::path stubPath;
  if (request.stub) {
    stubPath = *request.stub;
  } else {
    auto found = defaultStubPath();
    if (!found) return found.error();
    stubPath = *found;
  }
  auto stub = readWholeFile(stubPath);
  if (!stub) return failure("cannot load the stub: " + stub.error().message);

  auto assembled = assembleExecutable(*stub, displayPath(stubPath), plan, request.replacePayload);
  if (!assembled) return assembled.error();
  if (auto written = writeFileAtomically(request.output, assembled->bytes); !written) {
    return written.error();
  }
  return BuildSummary{assembled->bytes.size(), plan.files.size(), assembled->replacedPayloadSize,
                      plan.embedsRuntimeJar};
}

Expected<std::filesystem::path> defaultStubPath() {
  auto self = runningExecutablePath();
  if (!self) return self.error();
  return self->parent_path() / "runvo.exe";
}

Expected<std::filesystem::path> defaultRuntimeJarPath() {
  auto self = runningExecutablePath();
  if (!self) return self.error();
  return self->parent_path() / kRuntimeJarName;
}

}  // namespace runvo::pack
