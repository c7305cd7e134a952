// The process-wide configuration table, loaded once from the payload at
// start and read-only afterwards, so any thread may read it.
#pragma once
#include <cstdint>
#include <string>

#include "payload/config_keys.h"
#include "payload/config_table.h"
#include "util/outcome.h"

namespace runvo {

// Reads the payload behind the executable image; damage fails with its fixed text.
Status loadConfigTable();

const ConfigTable& configTable();
std::string getConfigString(std::int32_t key, std::size_t capacity = kTextCapacity);
int getConfigInt(std::int32_t key);
WideString getConfigWString(std::int32_t key, std::size_t capacity = kTextCapacity);
// Where the embedded file records start.
std::uint32_t tableEndPosition();

}  // namespace runvo
