// The temporary folder, unique names in it, and this run's extraction
// directory, which receives the embedded files.
#pragma once
#include <string>

#include "util/outcome.h"

namespace runvo {

// The temporary path, with fallbacks for one the 8-bit file functions cannot
// write. Fails with message 1015 when no candidate is usable.
Outcome<std::string> findTempPath();
// Whether a test directory can be made in `directory`.
bool isWritableDir(const std::string& directory);
// A new unique file in the temporary path (created by the system), or a
// time-seeded name when that fails.
Outcome<std::string> createTempFileName();
// Creates this run's extraction directory, a unique file name plus "_dir".
// Fails with message 1009, "7" when it cannot be created.
Outcome<std::string> createExtractionDirectory();
// "<temp path>rvx_p<pid>.tmp": the name only; the file is not created here.
Outcome<std::string> processCommFileName(unsigned long processId);

}  // namespace runvo
