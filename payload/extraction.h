// Copies the embedded files out of the launcher's own executable into this
// run's extraction directory.
#pragma once
#include <cstdint>
#include <string>

namespace runvo {

enum class CopyResult { Done = 0, ReadFailed = 1, WriteFailed = 2 };

// Returns the failed copy's result; on failure the extraction directory has
// been emptied and removed. With `createDirectory` the extraction directory
// is made first.
CopyResult extractFiles(bool createDirectory);

// The file position just behind the last record read; 0 until an extraction
// has completed.
std::uint32_t unextractedPosition();

// Deletes the files and removes the empty folders directly inside `path`.
void emptyDirectory(const std::string& path);

}  // namespace runvo
