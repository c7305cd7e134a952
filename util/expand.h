// Expansion of launcher and environment variables in configured text, with
// this process's environment as it is now.
#pragma once
#include <string>

#include "util/expansion.h"

namespace runvo {

// The capacity of the launcher's text buffers, terminator included.
inline constexpr std::size_t kExpansionCapacity = 8192;

void expandVariablesInPlace(std::string& text, const LauncherValues& values,
                            std::size_t capacity = kExpansionCapacity);

// The environment block of this process, in block order.
Environment processEnvironment();

}  // namespace runvo
