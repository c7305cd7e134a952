// The builder's TOML config. Any text must load or be refused with
// messages, one problem per line, each naming the config; what loads must
// become a payload that the launcher reads back as written, with every known
// key within its launcher buffer, the service name the README promises, file
// keys that describe exactly the embedded files, names the launcher accepts,
// words its splitter takes apart, and service settings its host can use.
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
#include "pack/config/key_catalogue.h"
#include "pack/config/pack_config.h"
#include "payload/config_keys.h"
#include "payload/embedded_name_rules.h"
#include "service/service_settings.h"
#include "util/command_line.h"

namespace {

namespace fs = std::filesystem;
using runvo::ConfigTable;
using runvo::pack::NamedKey;
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

// --- Writing a config from the input's choices ---

struct WrittenConfig {
  std::string text;
  // Keys whose text the builder writes as it stands: [raw] entries.
  std::set<std::int32_t> verbatimKeys;
};

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

// Mostly a plain word, which every field takes; else printable text, which
// the fields' own rules judge; else any bytes, whose control characters no
// field takes.
std::string someString(FuzzedDataProvider& input) {
  std::string bytes = input.ConsumeRandomLengthString(48);
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
    case 1: {
      constexpr std::string_view kPlain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-";
      for (char& c : bytes) c = kPlain[static_cast<unsigned char>(c) % kPlain.size()];
      break;
    }
    case 2:
      for (char& c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) c = static_cast<char>(byte % 0x5F + 0x20);
      }
      break;
    default: break;
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

// Half the time a value of the form the field's kind takes, for the kinds a
// random value rarely fits, so that what follows their checks is reached too.
std::string someValueFor(FuzzedDataProvider& input, runvo::pack::ValueKind kind) {
  using runvo::pack::ValueKind;
  auto oneOf = [&](std::initializer_list<const char*> values) {
    return basicString(*(values.begin() + input.ConsumeIntegralInRange<std::size_t>(0, values.size() - 1)));
  };
  if (input.ConsumeBool()) {
    switch (kind) {
      case ValueKind::Integer: return std::to_string(input.ConsumeIntegralInRange(-2, 100000));
      case ValueKind::Restart: return oneOf({"never", "on-failure", "always"});
      case ValueKind::ReadyCheck: return oneOf({"tcp:8080", "http:http://127.0.0.1:8080/", "log:Started"});
      case ValueKind::AliveCheck: return oneOf({"tcp:8080", "http:http://[::1]:8080/up"});
      default: break;
    }
  }
  return someValue(input);
}

const NamedKey& someKey(FuzzedDataProvider& input) {
  const auto keys = runvo::pack::namedKeys();
  return keys[input.ConsumeIntegralInRange<std::size_t>(0, keys.size() - 1)];
}

// A field of the catalogue that the config does not set yet.
void addField(FuzzedDataProvider& input, std::set<std::string>& fields, WrittenConfig& config) {
  const NamedKey& entry = someKey(input);
  const std::string name = entry.qualifiedName();
  if (entry.kind == runvo::pack::ValueKind::FromFiles || !fields.insert(name).second) return;
  const std::string value = someValueFor(input, entry.kind);
  config.text += name + " = " + value + "\n";
}

void addRawEntry(FuzzedDataProvider& input, WrittenConfig& config) {
  const std::int32_t key = input.ConsumeBool() ? someKey(input).key : input.ConsumeIntegral<std::int32_t>();
  const bool wide = input.ConsumeBool();
  if (!wide) config.verbatimKeys.insert(key);
  config.text += (wide ? "raw_wide.\"" : "raw.\"") + std::to_string(key) + "\" = " + someString(input) + "\n";
}

void addFile(FuzzedDataProvider& input, WrittenConfig& config) {
  constexpr const char* kSources[] = {"app.jar", "hello.jar", "lib/util.jar"};
  const bool known = input.ConsumeBool();
  config.text += "[[files]]\nsource = " +
                 (known ? basicString(kSources[input.ConsumeIntegralInRange(0, 2)]) : someString(input)) + "\n";
  if (input.ConsumeBool()) config.text += "name = " + someString(input) + "\n";
}

// The required fields, then fields, raw entries and files as the input chooses.
WrittenConfig writtenConfig(FuzzedDataProvider input) {
  std::set<std::string> fields{"service.name", "app.main_class"};
  WrittenConfig config;
  config.text = "service.name = " + someString(input) + "\n";
  // Half the time a class name: a refused main class refuses the whole config,
  // and what a loaded plan must satisfy would go unchecked.
  const std::string mainClass = input.ConsumeBool() ? basicString("com.example.Main") : someString(input);
  config.text += "app.main_class = " + mainClass + "\n";
  for (int i = input.ConsumeIntegralInRange(0, 8); i > 0; --i) addField(input, fields, config);
  for (int i = input.ConsumeIntegralInRange(0, 2); i > 0; --i) addRawEntry(input, config);
  if (input.ConsumeBool()) config.text += "launcher.runtime_jar = false\n";
  for (int i = input.ConsumeIntegralInRange(0, 3); i > 0; --i) addFile(input, config);
  return config;
}

// --- What a refusal must satisfy ---

// runvo-pack prefixes every line of a message with its name: each problem
// names the config, and no value brings a line break (or another control
// character) of its own into it.
void checkOneProblemPerLine(const std::string& message) {
  std::size_t start = 0;
  while (start <= message.size()) {
    const std::size_t end = std::min(message.find('\n', start), message.size());
    const std::string_view line = std::string_view(message).substr(start, end - start);
    FUZZ_EXPECT(line.starts_with("fuzz.toml:"));
    FUZZ_EXPECT(std::ranges::none_of(line, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }));
    start = end + 1;
  }
}

// --- What a loaded plan must satisfy ---

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
    if (const NamedKey* known = runvo::pack::findNamedKeyByNumber(key, wide)) FUZZ_EXPECT(text.size() < known->capacity);
  }
}

// The service host ends on settings it cannot use: whatever loads, it can.
void checkServiceSettings(const ConfigTable& table) {
  std::string error;
  FUZZ_EXPECT(runvo::readServiceSettings(table, error).has_value());
}

// Not empty, at most 256 bytes, no slash of either kind.
void checkServiceName(const ConfigTable& table) {
  const std::string name = table.getString(runvo::kKeyServiceName);
  FUZZ_EXPECT(!name.empty() && name.size() <= 256 && name.find_first_of("/\\") == std::string::npos);
}

runvo::WideString widened(std::string_view windows1252) { return {windows1252.begin(), windows1252.end()}; }

void checkWordsSplit(const ConfigTable& table, const std::set<std::int32_t>& verbatimKeys) {
  for (const NamedKey& entry : runvo::pack::namedKeys()) {
    if (entry.kind != runvo::pack::ValueKind::Words || verbatimKeys.contains(entry.key)) continue;
    if (!table.narrow().contains(entry.key)) continue;
    runvo::ArgumentVector words;
    FUZZ_EXPECT(runvo::trySplitCommandLine(widened(table.narrow().at(entry.key)), words));
  }
}

std::string foldedAscii(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return folded;
}

// As the builder finishes the plan (the runtime jar goes last), keys 2002
// and 2003 must count and name exactly the records that follow the tables.
void checkEmbeddedFiles(PackPlan plan) {
  if (plan.embedsRuntimeJar) runvo::pack::addRuntimeJar(plan, baseDirectory() / "app.jar", 2);
  const ConfigTable& table = plan.table;
  if (plan.files.empty()) {
    FUZZ_EXPECT(!table.narrow().contains(runvo::kKeyEmbeddedFileCount));
    FUZZ_EXPECT(!table.narrow().contains(runvo::kKeyEmbeddedFileNames));
    return;
  }
  FUZZ_EXPECT(table.getString(runvo::kKeyEmbeddedFileCount) == std::to_string(plan.files.size()));
  std::string names;
  std::set<std::string> folded;
  for (const runvo::pack::EmbeddedFile& file : plan.files) {
    FUZZ_EXPECT(!runvo::unsafeEmbeddedName(file.storedName));
    FUZZ_EXPECT(folded.insert(foldedAscii(file.storedName)).second);
    names += (names.empty() ? "" : ";") + file.storedName;
  }
  FUZZ_EXPECT(table.getString(runvo::kKeyEmbeddedFileNames) == names);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  makeBaseDirectory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool written = size > 0 && data[0] == 0;
  const WrittenConfig config = written ? writtenConfig(FuzzedDataProvider(data + 1, size - 1)) : WrittenConfig{};
  const std::string_view text = written ? std::string_view(config.text) : runvo::fuzz::asText(data, size);
  auto plan = runvo::pack::loadPackConfigText(text, "fuzz.toml", baseDirectory());
  if (!plan) {
    checkOneProblemPerLine(plan.error().message);
    return 0;
  }
  checkReadsBack(plan->table);
  checkFitsBuffers(plan->table.narrow(), false);
  checkFitsBuffers(plan->table.wide(), true);
  checkServiceName(plan->table);
  checkServiceSettings(plan->table);
  // Only a written config tells which keys [raw] set.
  if (written) checkWordsSplit(plan->table, config.verbatimKeys);
  checkEmbeddedFiles(std::move(*plan));
  return 0;
}
