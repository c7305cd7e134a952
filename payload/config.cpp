#include "payload/config.h"

#include "payload/buffered_source.h"
#include "payload/own_executable.h"

namespace runvo {

namespace {
constexpr std::size_t kTableBlockSize = 4096;

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
  auto opened = ownExecutable();
  if (!opened) return opened.takeError();
  FileSource file(*opened);
  // The tables are many small fields: read in blocks, not field by field.
  BufferedSource source(file, kTableBlockSize);
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
