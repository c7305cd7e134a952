// The few facts about the running process that differ between Windows and
// the build machine.
#pragma once
#include <filesystem>

#include "pack/expected.h"

namespace runvo::pack {

Expected<std::filesystem::path> runningExecutablePath();
unsigned long currentProcessId();

}  // namespace runvo::pack
