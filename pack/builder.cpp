#include "pack/builder.h"

#include "pack/file_io.h"
#include "pack/pe_image.h"
#include "pack/platform.h"

namespace runvo::pack {

namespace {

// The launcher keeps file positions in 32 bits, partly signed.
constexpr std::uint64_t kLargestExecutable = 0x7FFFFFFF;

}  // namespace

Expected<AssembledExecutable> assembleExecutable(const Bytes& stub, const std::string& stubName,
                                                 const PackPlan& plan, bool replacePayload) {
  const auto layout = locateImageEnd(stub);
  if (!layout) return failure("the stub \"" + stubName + "\" " + layout.error().message);
  if (layout->hasAppendedData() && !replacePayload) {
    return failure("the stub \"" + stubName + "\" already carries a payload (" +
                   std::to_string(layout->fileSize - layout->imageEnd) +
                   " bytes after its image end at offset " + std::to_string(layout->imageEnd) +
                   "); pass --replace to replace it");
  }

  Bytes executable(stub.begin(), stub.begin() + layout->imageEnd);
  appendPayloadTables(executable, plan.table);
  for (const EmbeddedFile& file : plan.files) {
    if (executable.size() + 8 + file.content.size() > kLargestExecutable) {
      return failure("the executable would pass 2 GiB at \"" + file.storedName +
                     "\"; the launcher cannot read that far");
    }
    appendFileRecord(executable, file.content);
  }
  return AssembledExecutable{std::move(executable), layout->fileSize - layout->imageEnd};
}

Expected<BuildSummary> buildExecutable(const BuildRequest& request) {
  auto plan = loadPackConfig(request.config);
  if (!plan) return plan.error();

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

  auto assembled = assembleExecutable(*stub, displayPath(stubPath), *plan, request.replacePayload);
  if (!assembled) return assembled.error();
  if (auto written = writeFileAtomically(request.output, assembled->bytes); !written) {
    return written.error();
  }
  return BuildSummary{assembled->bytes.size(), plan->files.size(), assembled->replacedPayloadSize};
}

Expected<std::filesystem::path> defaultStubPath() {
  auto self = runningExecutablePath();
  if (!self) return self.error();
  return self->parent_path() / "runvo.exe";
}

}  // namespace runvo::pack
