// The builder's TOML config. Any text must load or be refused with
// messages; what loads must become a payload that the launcher reads back as
// written, with every known key within its launcher buffer, words the
// launcher's splitter takes apart, and embedded names the launcher accepts.
// Input: the config text; or a NUL byte, then the choices from which a
// config is written, so that most inputs are valid TOML and reach the
// builder's own rules.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "fuzz/fuzz_support.h"
#include "fuzz/toml_assert.h"
#include "fuzz/toml_input.h"
#include "pack/key_catalogue.h"
#include "pack/pack_config.h"
#include "payload/config_keys.h"
#include "payload/embedded_name_rules.h"
#include "service/service_name.h"
#include "util/command_line.h"

namespace {

namespace fs = std::filesystem;
using runvo::ConfigTable;
using runvo::pack::PackPlan;

// Relative [[files]] sources resolve here: the seeds' jars, one in a folder,
// so that configs can embed something.
const fs::path& baseDirectory() {
  static const fs::path directory = fs::temp_directory_path() / ("runvo-pack-fuzz-" + std::to_string(getpid()));
  return directory;
}

void makeBaseDirectory() {
  fs::create_directories(baseDirectory() / "lib");
  for (const char* name : {"app.jar", "hello.jar", "lib/util.jar"}) {
    std::ofstream(baseDirectory() / name) << "PK\x03\x04";
  }
  std::atexit([] { fs::remove_all(baseDirectory()); });
}

void checkReadsBack(const ConfigTable& table) {
  runvo::Bytes payload;
  runvo::appendPayloadTables(payload, table);
  runvo::MemorySource source(payload);
  runvo::PayloadReader reader(source);
  ConfigTable readBack;
  FUZZ_EXPECT(!runvo::readPayloadTables(reader, readBack).fatalText);
  FUZZ_EXPECT(readBack.narrow() == table.narrow() && readBack.wide() == table.wide());
}

// A longer text would be cut by the launcher, a NUL would end it early.
template <typename Map>
void checkFitsBuffers(const Map& texts, bool wide) {
  for (const auto& [key, text] : texts) {
    FUZZ_EXPECT(std::ranges::count(text, 0) == 0);
    if (const auto* known = runvo::pack::findNamedKeyByNumber(key, wide)) FUZZ_EXPECT(text.size() < known->capacity);
  }
}

runvo::WideString widened(std::string_view windows1252) { return {windows1252.begin(), windows1252.end()}; }

void checkWordsSplit(const ConfigTable& table) {
  for (const runvo::pack::NamedKey& entry : runvo::pack::namedKeys()) {
    if (entry.kind != runvo::pack::ValueKind::Words || !table.narrow().contains(entry.key)) continue;
    runvo::ArgumentVector words;
    FUZZ_EXPECT(runvo::trySplitCommandLine(widened(table.narrow().at(entry.key)), words));
  }
}

void checkServiceName(const ConfigTable& table) {
  const std::string name = table.getString(runvo::kKeyServiceName);
  FUZZ_EXPECT(!name.empty() && name.size() < runvo::kServiceNameCapacity);
}

std::string foldedAscii(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return folded;
}

// As the builder finishes the plan: the runtime jar goes last.
void checkEmbeddedFiles(PackPlan plan) {
  if (plan.embedsRuntimeJar) runvo::pack::addRuntimeJar(plan, baseDirectory() / "app.jar", {0x50, 0x4B});
  if (plan.files.empty()) return;
  const ConfigTable& table = plan.table;
  FUZZ_EXPECT(table.getInt(runvo::kKeyEmbeddedFileCount) == static_cast<int>(plan.files.size()));
  std::string names;
  std::set<std::string> folded;
  for (const runvo::pack::EmbeddedFile& file : plan.files) {
    FUZZ_EXPECT(!runvo::unsafeEmbeddedName(file.storedName));
    FUZZ_EXPECT(folded.insert(foldedAscii(file.storedName)).second);
    names += (names.empty() ? "" : ";") + file.storedName;
  }
  FUZZ_EXPECT(table.getString(runvo::kKeyEmbeddedFileNames) == names);
}

// A TOML basic string holding each byte as the code point of the same value.
std::string basicString(std::string_view bytes) {
  std::string text = "\"";
  for (const unsigned char c : bytes) {
    if (c == '"' || c == '\\') text += '\\';
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", c);
      text += escape;
    }
  }
  return text + "\"";
}

// Mostly a plain word, which every field takes; else any bytes.
std::string someString(FuzzedDataProvider& input) {
  std::string bytes = input.ConsumeRandomLengthString(48);
  if (input.ConsumeBool()) {
    constexpr std::string_view kPlain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-";
    for (char& c : bytes) c = kPlain[static_cast<unsigned char>(c) % kPlain.size()];
  }
  return basicString(bytes);
}

// A class-path or search entry in its readable form.
std::string entryTable(FuzzedDataProvider& input) {
  constexpr const char* kForms[] = {"jar", "dir", "scan", "env"};
  std::string entry = std::string("{ ") + kForms[input.ConsumeIntegralInRange(0, 3)] + " = " + someString(input);
  if (input.ConsumeBool()) entry += std::string(", required = ") + (input.ConsumeBool() ? "true" : "false");
  return entry + " }";
}

std::string array(FuzzedDataProvider& input, bool withTables) {
  std::string text = "[";
  for (int i = input.ConsumeIntegralInRange(0, 4); i > 0; --i) {
    text += (withTables && input.ConsumeBool() ? entryTable(input) : someString(input)) + ", ";
  }
  return text + "]";
}

std::string someValue(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0: return std::to_string(input.ConsumeIntegral<std::int64_t>());
    case 1: return input.ConsumeBool() ? "true" : "false";
    case 2: return array(input, false);
    case 3: return array(input, true);
    default: return someString(input);
  }
}

// A field of the catalogue that the config does not set yet.
std::string someField(FuzzedDataProvider& input, std::set<std::string>& set) {
  const auto keys = runvo::pack::namedKeys();
  const runvo::pack::NamedKey& entry = keys[input.ConsumeIntegralInRange<std::size_t>(0, keys.size() - 1)];
  const std::string name = entry.qualifiedName();
  if (entry.kind == runvo::pack::ValueKind::FromFiles || !set.insert(name).second) return "";
  return name + " = " + someValue(input) + "\n";
}

std::string someRawEntry(FuzzedDataProvider& input) {
  const auto keys = runvo::pack::namedKeys();
  const std::int32_t key = input.ConsumeBool() ? keys[input.ConsumeIntegralInRange<std::size_t>(0, keys.size() - 1)].key
                                               : input.ConsumeIntegral<std::int32_t>();
  const char* table = input.ConsumeBool() ? "raw_wide" : "raw";
  return std::string(table) + ".\"" + std::to_string(key) + "\" = " + someString(input) + "\n";
}

std::string someFile(FuzzedDataProvider& input) {
  constexpr const char* kSources[] = {"app.jar", "hello.jar", "lib/util.jar"};
  const std::string source = input.ConsumeBool() ? basicString(kSources[input.ConsumeIntegralInRange(0, 2)])
                                                 : someString(input);
  std::string file = "[[files]]\nsource = " + source + "\n";
  if (input.ConsumeBool()) file += "name = " + someString(input) + "\n";
  return file;
}

// The required fields, then fields, raw entries and files as the input chooses.
std::string writtenConfig(FuzzedDataProvider input) {
  std::set<std::string> set{"service.name", "app.main_class"};
  std::string config = "service.name = " + someString(input) + "\napp.main_class = " + someString(input) + "\n";
  for (int i = input.ConsumeIntegralInRange(0, 8); i > 0; --i) config += someField(input, set);
  for (int i = input.ConsumeIntegralInRange(0, 2); i > 0; --i) config += someRawEntry(input);
  if (input.ConsumeBool()) config += "launcher.runtime_jar = false\n";
  for (int i = input.ConsumeIntegralInRange(0, 3); i > 0; --i) config += someFile(input);
  return config;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  makeBaseDirectory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool written = size > 0 && data[0] == 0;
  const std::string config = written ? writtenConfig(FuzzedDataProvider(data + 1, size - 1)) : std::string();
  const std::string_view text = written ? std::string_view(config) : runvo::fuzz::asText(data, size);
  if (!runvo::fuzz::safeForToml(text)) return -1;
  std::optional<runvo::pack::Expected<PackPlan>> loaded;
  try {
    loaded = runvo::pack::loadPackConfigText(text, "fuzz.toml", baseDirectory());
  } catch (const runvo::fuzz::BrokenTomlPrecondition&) {
    return -1;
  }
  auto& plan = *loaded;
  if (!plan) {
    FUZZ_EXPECT(plan.error().message.starts_with("fuzz.toml:"));
    return 0;
  }
  checkReadsBack(plan->table);
  checkFitsBuffers(plan->table.narrow(), false);
  checkFitsBuffers(plan->table.wide(), true);
  checkWordsSplit(plan->table);
  checkServiceName(plan->table);
  checkEmbeddedFiles(std::move(*plan));
  return 0;
}
