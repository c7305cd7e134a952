// Expansion of launcher and environment variables in configured text, with
// the values of this process.
#pragma once
#include <string>

#include "payload/config_table.h"

namespace runvo {

void expandVariablesInPlace(std::string& text, std::size_t capacity = kTextCapacity);

}  // namespace runvo
