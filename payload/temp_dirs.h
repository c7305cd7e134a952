// The temporary folder, unique names in it, and this run's extraction
// directory, which receives the embedded files.
#pragma once
#include <string>

namespace runvo {

// The temporary path, with fallbacks for one the 8-bit file functions cannot
// write. Ends the process (message 1015) when no candidate is usable.
std::string findTempPath();
// Whether a test directory can be made in `directory`.
bool isWritableDir(const std::string& directory);
// A new unique file in the temporary path (created by the system), or a
// time-seeded name when that fails.
std::string createTempFileName();
// Sets and creates the extraction directory: a unique file name plus "_dir".
// Ends the process (message 1009, "7") when it cannot be created.
void createExtractionDirectory();
void clearExtractionDirectory();
// Empty before createExtractionDirectory, and when there is nothing to extract.
const std::string& extractionDirectory();
// "<temp path>rvx_p<pid>.tmp": the name only; the file is not created here.
std::string processCommFileName(unsigned long processId);

}  // namespace runvo
