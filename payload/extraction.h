// Copies the embedded files out of the launcher's own executable into this
// run's extraction directory.
#pragma once
#include <cstdint>
#include <string>

#include "util/outcome.h"

namespace runvo {

struct ExtractedFiles {
  // Empty when there was nothing to extract.
  std::string directory;
  // The file position just behind the last record read; 0 without files.
  std::uint32_t unextractedPosition = 0;
};

// Creates the extraction directory and fills it. A failed copy empties and
// removes the directory and fails with message 1009, "16".
Outcome<ExtractedFiles> extractFiles();

// Deletes the files and removes the empty folders directly inside `path`.
void emptyDirectory(const std::string& path);

}  // namespace runvo
