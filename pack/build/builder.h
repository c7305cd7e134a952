// Produces a service executable: the launcher stub's image followed by the
// payload that a config describes.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "pack/common/byte_fields.h"
#include "pack/common/expected.h"
#include "pack/config/pack_config.h"

namespace runvo::pack {

struct BuildRequest {
  std::filesystem::path config;
  std::filesystem::path output;
  std::optional<std::filesystem::path> stub;  // default: runvo.exe beside runvo-pack
  bool replacePayload = false;
  // Embedded unless the config says launcher.runtime_jar = false.
  std::optional<std::filesystem::path> runtimeJar;  // default: runvo-runtime.jar beside runvo-pack
};

struct BuildSummary {
  std::uint64_t outputSize = 0;
  std::size_t fileCount = 0;
  std::uint64_t replacedPayloadSize = 0;  // bytes cut from the stub by --replace
  bool embedsRuntimeJar = false;          // the last of the files is the runtime jar
};

struct AssembledExecutable {
  Bytes bytes;
  std::uint64_t replacedPayloadSize = 0;
};

struct WrittenExecutable {
  std::uint64_t size = 0;
  std::uint64_t replacedPayloadSize = 0;
};

// The stub's image, then the tables, then one record per file, written to
// `out` (which must allow seeking back to set the checksum). A stub that
// already carries a payload is refused unless `replacePayload` is set.
Expected<WrittenExecutable> writeExecutable(ByteView stub, const std::string& stubName, const PackPlan& plan,
                                            bool replacePayload, std::ostream& out);

// The same, in memory.
Expected<AssembledExecutable> assembleExecutable(ByteView stub, const std::string& stubName,
                                                 const PackPlan& plan, bool replacePayload);

// Loads request.config, then builds as below.
Expected<BuildSummary> buildExecutable(const BuildRequest& request);

// Builds from a plan already loaded (the quick path's); request.config is not read.
Expected<BuildSummary> buildExecutable(PackPlan plan, const BuildRequest& request);

}  // namespace runvo::pack
