#include "payload/config.h"

#include "diag/messages.h"
#include "payload/own_executable.h"

namespace runvo {

namespace {
struct LoadedConfig {
  ConfigTable table;
  std::uint32_t tableEnd = 0;
};

LoadedConfig& loaded() {
  static LoadedConfig config;
  return config;
}
}  // namespace

void loadConfigTable() {
  LoadedConfig& config = loaded();
  {
    UniqueHandle file = openOwnExecutable();
    FileSource source(file.get());
    const PayloadLoad load = readPayload(source, config.table);
    if (load.fatalText) fatalError(*load.fatalText);
    config.tableEnd = load.tableEnd;
  }
  const int type = getConfigInt(kKeyApplicationType);
  if (type != kAppTypeWindowed && type != kAppTypeMessageBox) useConsoleForMessages();
}

const ConfigTable& configTable() { return loaded().table; }

std::string getConfigString(std::int32_t key, std::size_t capacity) {
  return configTable().getString(key, capacity);
}

int getConfigInt(std::int32_t key) { return configTable().getInt(key); }

WideString getConfigWString(std::int32_t key, std::size_t capacity) {
  return configTable().getWString(key, capacity);
}

std::uint32_t tableEndPosition() { return loaded().tableEnd; }

}  // namespace runvo
