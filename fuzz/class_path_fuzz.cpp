// The class path option over a machine made up from the input: the
// directives and the configured entries must land in their order, and a run
// must fail exactly when a required entry is missing, with its message.
// Input: the machine (paths, listings, variables), the directives, the
// flavour, the extraction directory, then the configured entries.
#include <fuzzer/FuzzedDataProvider.h>

#include <map>
#include <set>

#include "fuzz/fuzz_support.h"
#include "launch/class_path.h"
#include "payload/config_keys.h"
#include "util/path_rules.h"

namespace {

constexpr std::size_t kLongestText = 48;

class MadeUpMachine final : public runvo::ClassPathSources {
 public:
  explicit MadeUpMachine(FuzzedDataProvider& input) {
    for (int i = input.ConsumeIntegralInRange(0, 6); i > 0; --i) paths_.insert(text(input));
    for (int i = input.ConsumeIntegralInRange(0, 3); i > 0; --i) {
      const std::string directory = text(input);
      for (int n = input.ConsumeIntegralInRange(0, 3); n > 0; --n) listings_[directory].push_back(text(input));
    }
    for (int i = input.ConsumeIntegralInRange(0, 4); i > 0; --i) {
      std::string name = text(input);
      variables_[name] = text(input);
    }
    applicationDirectory_ = text(input);
  }

  static std::string text(FuzzedDataProvider& input) { return input.ConsumeRandomLengthString(kLongestText); }

  bool exists(const std::string& path) const override { return paths_.contains(path); }
  std::optional<std::vector<std::string>> directoryNames(const std::string& directory) const override {
    if (const auto found = listings_.find(directory); found != listings_.end()) return found->second;
    return paths_.contains(directory) ? std::optional(std::vector<std::string>{}) : std::nullopt;
  }
  std::string absolute(std::string_view path) const override {
    return runvo::isRelativePath(path) ? "C:\\app\\" + std::string(path) : std::string(path);
  }
  std::optional<std::string> variable(const std::string& name) const override {
    const auto found = variables_.find(name);
    return found == variables_.end() ? std::nullopt : std::optional(found->second);
  }
  std::string expanded(std::string text) const override { return text; }
  std::string applicationDirectory() const override { return applicationDirectory_; }

 private:
  std::set<std::string> paths_;
  std::map<std::string, std::vector<std::string>> listings_;
  std::map<std::string, std::string> variables_;
  std::string applicationDirectory_;
};

std::optional<std::string> maybeText(FuzzedDataProvider& input) {
  if (!input.ConsumeBool()) return std::nullopt;
  return MadeUpMachine::text(input);
}

struct Entry {
  char type;
  bool required;
  std::string location;
};

std::vector<Entry> entriesOf(std::string_view configured) {
  std::vector<Entry> entries;
  for (const std::string& piece : runvo::splitNonEmpty(configured, ';')) {
    entries.push_back({piece[0], piece.size() > 1 && piece[1] == '1', piece.size() > 2 ? piece.substr(2) : ""});
  }
  return entries;
}

// What a variable entry adds: its value without the quotes around it.
std::string unquoted(std::string value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
  return value;
}

// Whether an entry is there: its path exists, its variable has a value, its
// folder exists; an entry of another type never is.
bool present(const Entry& entry, const MadeUpMachine& machine) {
  switch (entry.type) {
    case 'A':
    case 'D': return machine.exists(entry.location.empty() ? "" : machine.absolute(entry.location));
    case 'E': return !machine.variable(entry.location).value_or("").empty();
    case 'S': return machine.directoryNames(machine.absolute(entry.location)).has_value();
    default: return false;
  }
}

// The message of the first required entry that is missing: an undefined
// variable has its own.
std::optional<std::int32_t> expectedFailure(const std::vector<Entry>& entries, const MadeUpMachine& machine) {
  for (const Entry& entry : entries) {
    if (!entry.required || present(entry, machine)) continue;
    const bool undefined = entry.type == 'E' && !machine.variable(entry.location);
    return undefined ? runvo::kMsgUndefinedVariable : runvo::kMsgMissingClassPathEntry;
  }
  return std::nullopt;
}

// The pieces of the option that each entry must add, in the entries' order.
std::vector<std::string> expectedPieces(const std::vector<Entry>& entries, const MadeUpMachine& machine) {
  std::vector<std::string> pieces;
  for (const Entry& entry : entries) {
    if (entry.type == 'A' || entry.type == 'D') {
      pieces.push_back((entry.location.empty() ? "" : machine.absolute(entry.location)) + ";");
    } else if (entry.type == 'E') {
      pieces.push_back(unquoted(machine.variable(entry.location).value_or("")));
    }
  }
  return pieces;
}

bool appearInOrder(std::string_view text, const std::vector<std::string>& pieces) {
  std::size_t at = 0;
  for (const std::string& piece : pieces) {
    at = text.find(piece, at);
    if (at == std::string_view::npos) return false;
    at += piece.size();
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const MadeUpMachine machine(input);
  const runvo::ClassPathDirectives directives{maybeText(input), maybeText(input), maybeText(input)};
  runvo::LaunchSettings settings;
  settings.flavour = input.ConsumeBool() ? 'i' : '\0';
  const std::string extractionDirectory = MadeUpMachine::text(input);
  settings.classPath = input.ConsumeRemainingBytesAsString();

  const auto option = runvo::buildClassPathOption(directives, settings, extractionDirectory, machine);
  const std::vector<Entry> entries = directives.override ? std::vector<Entry>{} : entriesOf(settings.classPath);
  const std::optional<std::int32_t> failure = expectedFailure(entries, machine);
  FUZZ_EXPECT(option.ok() == !failure);
  if (!option) {
    FUZZ_EXPECT(option.error().messageKey == *failure);
    return 0;
  }
  const std::string start = "-Djava.class.path=" + (directives.prepend ? *directives.prepend + ";" : "");
  FUZZ_EXPECT(option->starts_with(start));
  const std::string_view rest = std::string_view(*option).substr(start.size());
  FUZZ_EXPECT(appearInOrder(rest, expectedPieces(entries, machine)));
  if (directives.override) FUZZ_EXPECT(rest.find(*directives.override) != std::string_view::npos);
  if (directives.append) FUZZ_EXPECT(option->ends_with(";" + *directives.append));
  return 0;
}
