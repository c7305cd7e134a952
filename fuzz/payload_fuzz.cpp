// Feeds arbitrary bytes to the payload reader as if they were the launcher's
// own executable: image locator, header and both tables; and again through a
// BufferedSource with a small block, which must read exactly the same.
#include <cstddef>
#include <cstdint>

#include "payload/buffered_source.h"
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
  runvo::MemorySource inner(data, size);
  runvo::BufferedSource buffered(inner, 7);
  runvo::ConfigTable bufferedTable;
  const runvo::PayloadLoad bufferedLoad = runvo::readPayload(buffered, bufferedTable);
  if (bufferedLoad.fatalText != load.fatalText || bufferedLoad.tableEnd != load.tableEnd ||
      bufferedTable.narrow() != table.narrow() || bufferedTable.wide() != table.wide()) {
    __builtin_trap();
  }
  return 0;
}
