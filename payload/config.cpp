#include "payload/config.h"

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

Status loadConfigTable() {
  LoadedConfig& config = loaded();
  auto file = openOwnExecutable();
  if (!file) return file.takeError();
  FileSource source(file->get());
  const PayloadLoad load = readPayload(source, config.table);
  if (load.fatalText) return textFailure(*load.fatalText, "reading the payload");
  config.tableEnd = load.tableEnd;
  return done();
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
