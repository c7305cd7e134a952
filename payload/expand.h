// Expansion of launcher and environment variables in configured text, with
// this process's environment as it is now.
#pragma once
#include <string>

#include "payload/config_table.h"
#include "payload/expansion.h"

namespace runvo {

void expandVariablesInPlace(std::string& text, const LauncherValues& values, std::size_t capacity = kTextCapacity);

// The environment block of this process, in block order.
Environment processEnvironment();

}  // namespace runvo
