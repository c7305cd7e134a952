// Feeds arbitrary bytes to the payload reader as if they were the launcher's
// own executable: image locator, header and both tables.
#include <cstddef>
#include <cstdint>

#include "payload/config_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  runvo::MemorySource source(data, size);
  runvo::ConfigTable table;
  const runvo::PayloadLoad load = runvo::readPayload(source, table);
  if (!load.fatalText) {
    // Whatever loaded must read back within its capacities.
    for (const auto& [key, text] : table.narrow()) {
      if (table.getString(key, 2).size() > 1) __builtin_trap();
      (void)table.getInt(key);
    }
  }
  return 0;
}
