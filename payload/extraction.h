// Copies the embedded files out of the launcher's own executable into this
// run's extraction directory.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "util/outcome.h"
#include "util/unique_handle.h"

namespace runvo {

struct ExtractedFiles {
  // Empty when there was nothing to extract.
  std::string directory;
  // The file position just behind the last record read; 0 without files.
  std::uint32_t unextractedPosition = 0;
  // Keeps the directory this run's while the run lasts.
  UniqueHandle ownerLock;
  // Every folder and file the extraction created, relative to the directory.
  std::vector<std::string> created;
};

// Creates this run's extraction directory (named for `ownerId`, the
// executable) and fills it. A failed copy empties and removes the directory
// and fails with message 1009, "16".
Outcome<ExtractedFiles> extractFiles(const std::string& ownerId);

}  // namespace runvo
