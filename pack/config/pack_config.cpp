#include "pack/config/pack_config.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <map>
#include <optional>
#include <set>

#include "pack/config/embedded_names.h"
#include "pack/config/field_forms.h"
#include "pack/common/file_io.h"
#include "pack/config/key_catalogue.h"
#include "pack/image/pe_image.h"
#include "pack/config/runtime_bundle.h"
#include "pack/common/text_encoding.h"
#include "pack/config/toml.h"
#include "pack/config/toml_guard.h"
#include "pack/config/word_quoting.h"
#include "payload/config_keys.h"
#include "service/health_rules.h"
#include "service/service_settings.h"
#include "util/text.h"

namespace runvo::pack {

namespace fs = std::filesystem;

namespace {

// CreateService's limit for a service name.
constexpr std::size_t kLongestServiceName = 256;
// Fields that steer the builder and write no key of their own.
struct BuilderField {
  std::string_view table;
  std::string_view field;
  std::string qualifiedName() const { return std::string(table) + "." + std::string(field); }
};
constexpr BuilderField kRuntimeJarSwitch{"launcher", "runtime_jar"};
constexpr BuilderField kBundle{"jvm", "bundle"};
constexpr BuilderField kBuilderFields[] = {kRuntimeJarSwitch, kBundle};

// [identity] steers the builder alone: it becomes the executable's version
// resource and icon, not payload keys.
constexpr std::string_view kIdentityTable = "identity";
constexpr std::string_view kIdentityFields[] = {"product_name", "company", "file_description", "version",
                                                "copyright", "original_filename", "icon"};
// Keeps the version resource far below its 64 KiB limit with every text at its longest.
constexpr std::size_t kLongestIdentityText = 1024;

// The search entry of a bundled runtime: the launcher expands the variable
// to its extraction directory.
std::string bundledRuntimeSearchEntry() { return "A%RUNVO_TEMPDIR%\\" + std::string(kBundleFolder); }

using Line = std::uint32_t;
constexpr Line kNoLine = 0;

struct Problem {
  Line line;
  std::string message;
};

// Who set a key, so a second setter can be told where the first one is.
struct Origin {
  std::string where;
  Line line;
};

Line lineOf(const toml::node& node) { return node.source().begin.line; }

std::string expectedType(ValueKind kind) {
  switch (kind) {
    case ValueKind::Flag: return "a boolean (true or false)";
    case ValueKind::Integer: return "an integer";
    case ValueKind::List:
    case ValueKind::Words: return "a string or an array of strings";
    case ValueKind::ClassPath:
    case ValueKind::JvmSearch: return "a string or an array of entries";
    case ValueKind::Flavour: return "\"runvo\" or \"installer\"";
    case ValueKind::Restart: return "\"never\", \"on-failure\" or \"always\"";
    case ValueKind::Processors: return "an array of processor numbers from 0 to 63";
    default: return "a string";
  }
}

std::optional<EntryForms> entryFormsOf(ValueKind kind) {
  if (kind == ValueKind::ClassPath) return EntryForms::ClassPath;
  if (kind == ValueKind::JvmSearch) return EntryForms::JvmSearch;
  return std::nullopt;
}

// " (accepted ...)" for the kinds whose values have a shape beyond their type,
// so that a refusal shows what would have been taken.
std::string acceptedSuffix(ValueKind kind) {
  if (auto forms = entryFormsOf(kind)) return " (accepted entries: " + std::string(acceptedForms(*forms)) + ")";
  if (kind == ValueKind::JavaVersion) return " (accepted: " + std::string(kJavaVersionForms) + ")";
  return "";
}

std::string joinedWith(const std::vector<std::string>& elements, char separator) {
  std::string joined;
  for (const std::string& element : elements) {
    if (!joined.empty()) joined += separator;
    joined += element;
  }
  return joined;
}

std::string knownFields(std::string_view table) {
  std::string list;
  for (const NamedKey& entry : namedKeys()) {
    if (entry.table != table || entry.kind == ValueKind::FromFiles) continue;
    if (!list.empty()) list += ", ";
    list += entry.field;
  }
  for (const BuilderField& builderField : kBuilderFields) {
    if (builderField.table == table) list += ", " + std::string(builderField.field);
  }
  return list;
}

std::string joinedFileNames(const std::vector<EmbeddedFile>& files) {
  std::string names;
  for (const EmbeddedFile& file : files) {
    if (!names.empty()) names += ';';
    names += file.storedName;
  }
  return names;
}

std::string knownTables() {
  std::string list;
  std::set<std::string_view> seen;
  for (const NamedKey& entry : namedKeys()) {
    if (entry.kind == ValueKind::FromFiles || !seen.insert(entry.table).second) continue;
    list += entry.table;
    list += ", ";
  }
  return list + std::string(kIdentityTable) + ", raw, raw_wide, [[files]]";
}

std::optional<std::int32_t> parseKeyNumber(std::string_view text) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// Backslashes start escapes in a double-quoted (basic) TOML string, so a
// Windows path written there is the usual cause of a syntax error ("C:\java"),
// and of a control character in a value that parsed ("C:\temp" holds a tab).
constexpr std::string_view kSingleQuoteAdvice =
    "use single quotes for Windows paths (TOML literal strings), e.g. 'C:\\java\\jdk17'";

// The text from a position as the TOML reader counts it: lines from 1,
// columns from 1 in code points, a byte order mark left out.
std::string_view textFrom(std::string_view text, toml::source_position where) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  for (std::size_t line = 1; line < where.line; ++line) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return {};
    text.remove_prefix(end + 1);
  }
  for (std::size_t column = 1; column < where.column && !text.empty(); ++column) {
    text.remove_prefix(1);
    while (!text.empty() && (static_cast<unsigned char>(text.front()) & 0xC0) == 0x80) text.remove_prefix(1);
  }
  return text;
}

std::string_view lineOfText(std::string_view text, std::size_t lineNumber) {
  const std::string_view line = textFrom(text, {static_cast<toml::source_index>(lineNumber), 1});
  return line.substr(0, line.find('\n'));
}

bool holdsBackslashInBasicString(std::string_view line) {
  char openQuote = '\0';
  for (char c : line) {
    if (openQuote == '\0') {
      if (c == '#') return false;
      if (c == '"' || c == '\'') openQuote = c;
    } else if (c == openQuote) {
      openQuote = '\0';
    } else if (c == '\\' && openQuote == '"') {
      return true;
    }
  }
  return false;
}

// Whether the string value that `value` starts is a basic one ("..." or
// """...""") holding one of the escapes \t, \b, \n, \r, \f, as a Windows path
// in double quotes does ("C:\temp", "D:\backup").
bool holdsShortEscape(std::string_view value) {
  if (!value.starts_with('"')) return false;
  const bool multiLine = value.starts_with("\"\"\"");
  value.remove_prefix(multiLine ? 3 : 1);
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\') {
      if (i + 1 < value.size() && std::string_view("tbnrf").find(value[i + 1]) != std::string_view::npos) return true;
      ++i;  // the escaped character cannot end the string
    } else if (value[i] == '"' && (!multiLine || value.substr(i).starts_with("\"\"\""))) {
      return false;
    } else if (value[i] == '\n' && !multiLine) {
      return false;
    }
  }
  return false;
}

class ConfigLoader {
 public:
  // `text` is what `root` was read from, for hints that depend on how a
  // value was written.
  ConfigLoader(std::string configName, fs::path baseDirectory, std::string_view text)
      : configName_(std::move(configName)), baseDirectory_(std::move(baseDirectory)), text_(text) {}

  Expected<PackPlan> load(const toml::table& root);

 private:
  void loadRootEntry(const toml::key& key, const toml::node& node);
  void loadNamedTable(std::string_view tableName, const toml::table& table);
  void loadField(const NamedKey& entry, const toml::node& value);
  std::optional<std::string> fieldText(const NamedKey& entry, const toml::node& value);
  std::optional<std::string> joinedList(const NamedKey& entry, const toml::node& value);
  std::optional<std::string> listElement(const NamedKey& entry, const toml::node& element);
  std::optional<std::string> entriesFromText(const NamedKey& entry, EntryForms forms, std::string_view text,
                                             Line line);
  std::optional<std::string> acceptedEntry(const NamedKey& entry, Expected<std::string> formed, Line line);
  std::optional<std::string> javaVersion(const NamedKey& entry, const toml::node& value);
  void loadRuntimeJarSwitch(const toml::node& value);
  void loadBundle(const toml::node& value);
  void loadBundledFiles(const toml::node& value);
  bool bundleFits(const std::vector<BundledFile>& listed);
  void loadBundledFile(const BundledFile& file);
  void loadRaw(const toml::node& node, bool wide);
  void loadFiles(const toml::node& node);
  void loadIdentity(const toml::node& node);
  void loadIdentityField(std::string_view field, const toml::node& value);
  void loadIcon(const toml::node& value);
  void loadFile(const toml::node& element, std::size_t index);
  void finishEmbeddedFiles();
  void checkFileNames();
  void checkRuntimeJarName();
  bool nameListFits();
  void claimFileKeys(bool fromConfigFiles);
  void checkRequired(const toml::table& root);
  void checkServiceName(const std::string& name, Line line);
  void checkMainClass(const std::string& name, Line line);
  void applyDefaults();
  bool freeOfControlCharacters(const std::string& field, const toml::node& value, bool takesLineBreaks = false);
  bool serviceHostAccepts(const std::string& where, std::int32_t key, const std::string& narrow,
                          const toml::node& value);
  std::string escapeHint(const toml::node& value) const;

  std::optional<std::string> toNarrow(std::string_view utf8, std::size_t capacity,
                                      const std::string& what, Line line);
  std::optional<WideString> toWide(std::string_view utf8, std::size_t capacity,
                                   const std::string& what, Line line);
  bool claim(std::map<std::int32_t, Origin>& origins, std::int32_t key, Origin origin);
  void setNarrow(std::int32_t key, std::string text, Origin origin);
  void setWide(std::int32_t key, WideString text, Origin origin);
  void report(Line line, std::string message) { problems_.push_back({line, std::move(message)}); }
  std::string joinedProblems();

  std::string configName_;
  fs::path baseDirectory_;
  std::string_view text_;
  PackPlan plan_;
  std::vector<Problem> problems_;
  std::map<std::int32_t, Origin> narrowOrigins_;
  std::map<std::int32_t, Origin> wideOrigins_;
  // Where each of plan_.files is configured, and what messages call it.
  std::vector<Line> fileLines_;
  std::vector<std::string> fileLabels_;
  // A file of [[files]] or of the bundle could not be loaded (reported):
  // the checks of the whole set would only add noise.
  bool embeddedFileProblems_ = false;
  Line runtimeJarLine_ = kNoLine;
  std::vector<EmbeddedFile> bundleFiles_;  // join plan_.files after the config's own
  bool hasBundle_ = false;
  Line bundleLine_ = kNoLine;
};

Expected<PackPlan> ConfigLoader::load(const toml::table& root) {
  // [raw] last, so that a clash with a named field is reported at the raw entry.
  auto isRaw = [](const toml::key& key) { return key.str() == "raw" || key.str() == "raw_wide"; };
  for (const auto& [key, node] : root) {
    if (!isRaw(key)) loadRootEntry(key, node);
  }
  finishEmbeddedFiles();
  for (const auto& [key, node] : root) {
    if (isRaw(key)) loadRootEntry(key, node);
  }
  checkRequired(root);
  applyDefaults();
  if (!problems_.empty()) return failure(joinedProblems());
  return std::move(plan_);
}

void ConfigLoader::loadRootEntry(const toml::key& key, const toml::node& node) {
  const std::string_view name = key.str();
  if (name == "files") return loadFiles(node);
  if (name == kIdentityTable) return loadIdentity(node);
  if (name == "raw" || name == "raw_wide") return loadRaw(node, name == "raw_wide");
  if (!isNamedTable(name)) {
    return report(key.source().begin.line, "unknown table [" + escapedForMessage(name) +
                                               "] (known: " + knownTables() + ")");
  }
  const toml::table* table = node.as_table();
  if (!table) return report(lineOf(node), "[" + std::string(name) + "] must be a table");
  loadNamedTable(name, *table);
}

void ConfigLoader::loadNamedTable(std::string_view tableName, const toml::table& table) {
  for (const auto& [key, value] : table) {
    if (tableName == kRuntimeJarSwitch.table && key.str() == kRuntimeJarSwitch.field) {
      loadRuntimeJarSwitch(value);
      continue;
    }
    if (tableName == kBundle.table && key.str() == kBundle.field) {
      loadBundle(value);
      continue;
    }
    const NamedKey* entry = findNamedKey(tableName, key.str());
    if (!entry) {
      report(key.source().begin.line, "unknown field " + quotedForMessage(key.str()) + " in [" +
                                          std::string(tableName) + "] (known: " +
                                          knownFields(tableName) + ")");
      continue;
    }
    loadField(*entry, value);
  }
}

void ConfigLoader::loadField(const NamedKey& entry, const toml::node& value) {
  const std::string name = entry.qualifiedName();
  const Line line = lineOf(value);
  if (!freeOfControlCharacters(name, value, entry.takesLineBreaks)) return;
  const std::optional<std::string> utf8 = fieldText(entry, value);
  if (!utf8) return;

  if (entry.kind == ValueKind::WideText) {
    if (auto wide = toWide(*utf8, entry.capacity, name, line)) setWide(entry.key, *wide, {name, line});
    return;
  }
  if (entry.kind == ValueKind::Flavour && utf8->empty()) {
    // The runvo flavour is the launcher's own default: nothing to write, but
    // the key still counts as set for conflicts with [raw].
    claim(narrowOrigins_, entry.key, {name, line});
    return;
  }
  if (entry.key == kKeyServiceName) checkServiceName(*utf8, line);
  if (auto narrow = toNarrow(*utf8, entry.capacity, name, line)) {
    if (entry.key == kKeyMainClass) checkMainClass(*utf8, line);
    if (serviceHostAccepts(name, entry.key, *narrow, value)) setNarrow(entry.key, std::move(*narrow), {name, line});
  }
}

// The field's text in UTF-8 before the table's encoding is applied; nothing
// (after a report) when the value does not fit the field.
std::optional<std::string> ConfigLoader::fieldText(const NamedKey& entry, const toml::node& value) {
  const std::string name = entry.qualifiedName();
  auto wrongType = [&] {
    report(lineOf(value), name + " must be " + expectedType(entry.kind) + ", not " + typeName(value) +
                              acceptedSuffix(entry.kind));
    return std::nullopt;
  };
  // For the kinds whose type is one of a few words.
  auto notOneOf = [&](const std::string& text) {
    report(lineOf(value), name + " must be " + expectedType(entry.kind) + ", not " + quotedForMessage(text));
    return std::nullopt;
  };
  switch (entry.kind) {
    case ValueKind::Flag:
      if (const auto* flag = value.as_boolean()) return std::string(flag->get() ? "1" : "0");
      return wrongType();
    case ValueKind::Integer: {
      const auto* number = value.as_integer();
      if (!number) return wrongType();
      if (number->get() < INT32_MIN || number->get() > INT32_MAX) {
        report(lineOf(value), name + " must fit in 32 bits");
        return std::nullopt;
      }
      if (entry.atLeast && number->get() < *entry.atLeast) {
        report(lineOf(value), name + " must be " + std::to_string(*entry.atLeast) + " or more, not " +
                                  std::to_string(number->get()));
        return std::nullopt;
      }
      return std::to_string(number->get());
    }
    case ValueKind::Flavour: {
      const auto* text = value.as_string();
      if (!text) return wrongType();
      if (text->get() != "runvo" && text->get() != "installer") return notOneOf(text->get());
      return std::string(text->get() == "installer" ? "i" : "");
    }
    case ValueKind::Restart: {
      const auto* text = value.as_string();
      if (!text) return wrongType();
      if (!parseRestartPolicy(text->get())) return notOneOf(text->get());
      return text->get();
    }
    case ValueKind::ReadyCheck:
    case ValueKind::AliveCheck: {
      const auto* text = value.as_string();
      if (!text) return wrongType();
      // Read as the service host reads it; an empty text, which it takes
      // for no check, is refused as a slip: leaving the field out says that.
      std::string problem;
      if (parseHealthCheck(text->get(), entry.kind == ValueKind::ReadyCheck, problem)) return text->get();
      report(lineOf(value), name + ": " + problem);
      return std::nullopt;
    }
    case ValueKind::Processors: {
      const auto* array = value.as_array();
      if (!array) return wrongType();
      std::vector<std::string> numbers;
      for (const toml::node& element : *array) {
        const auto* number = element.as_integer();
        if (!number || number->get() < 0 || number->get() > 63) {
          report(lineOf(element), name + " must be " + expectedType(entry.kind) + ", not " +
                                      (number ? std::to_string(number->get()) : typeName(element)));
          return std::nullopt;
        }
        numbers.push_back(std::to_string(number->get()));
      }
      return joinedWith(numbers, ',');
    }
    case ValueKind::JavaVersion:
      if (!value.is_string()) return wrongType();
      return javaVersion(entry, value);
    case ValueKind::ClassPath:
    case ValueKind::JvmSearch:
      if (const auto* text = value.as_string()) {
        return entriesFromText(entry, *entryFormsOf(entry.kind), text->get(), lineOf(value));
      }
      [[fallthrough]];
    case ValueKind::List:
    case ValueKind::Words:
      if (value.is_array()) return joinedList(entry, value);
      if (entry.kind == ValueKind::Words && value.is_string()) {
        const std::string& text = value.as_string()->get();
        if (auto checked = checkWordsText(text); !checked) {
          report(lineOf(value), name + ": " + checked.error().message);
          return std::nullopt;
        }
        return text;
      }
      [[fallthrough]];
    default:
      if (const auto* text = value.as_string()) return text->get();
      return wrongType();
  }
}

std::optional<std::string> ConfigLoader::joinedList(const NamedKey& entry, const toml::node& value) {
  std::vector<std::string> elements;
  bool usable = true;
  for (const toml::node& element : *value.as_array()) {
    auto text = listElement(entry, element);
    if (text) elements.push_back(std::move(*text));
    usable = usable && text;
  }
  if (!usable) return std::nullopt;

  if (entry.kind == ValueKind::Words) {
    auto joined = joinWordsForSplitter(elements);
    if (!joined) {
      report(lineOf(value), entry.qualifiedName() + ": " + joined.error().message);
      return std::nullopt;
    }
    return *joined;
  }
  return joinedWith(elements, entry.separator);
}

// One element of an array field as it is stored; nothing (after a report)
// when it does not fit.
std::optional<std::string> ConfigLoader::listElement(const NamedKey& entry, const toml::node& element) {
  if (auto forms = entryFormsOf(entry.kind)) {
    return acceptedEntry(entry, entryFromNode(*forms, element), lineOf(element));
  }
  const std::string name = entry.qualifiedName();
  const auto* text = element.as_string();
  if (!text) {
    report(lineOf(element), name + " must hold only strings, not " + typeName(element));
    return std::nullopt;
  }
  if (entry.kind == ValueKind::List &&
      (text->get().empty() || text->get().find(entry.separator) != std::string::npos)) {
    report(lineOf(element), name + ": the entry " + quotedForMessage(text->get()) +
                                " is empty or holds the separator '" +
                                escapedForMessage(std::string(1, entry.separator)) + "'");
    return std::nullopt;
  }
  return text->get();
}

// A field of entries given as one string: each of its entries is read as an
// array element would be, so the readable words work here too.
std::optional<std::string> ConfigLoader::entriesFromText(const NamedKey& entry, EntryForms forms,
                                                         std::string_view text, Line line) {
  std::vector<std::string> entries;
  bool usable = true;
  // Empty pieces are dropped: the launcher skips empty entries, too.
  for (const std::string& piece : splitNonEmpty(text, entry.separator)) {
    auto formed = acceptedEntry(entry, entryFromText(forms, piece), line);
    if (formed) entries.push_back(std::move(*formed));
    usable = usable && formed;
  }
  if (!usable) return std::nullopt;
  return joinedWith(entries, entry.separator);
}

std::optional<std::string> ConfigLoader::acceptedEntry(const NamedKey& entry, Expected<std::string> formed,
                                                       Line line) {
  if (formed) return std::move(*formed);
  report(line, entry.qualifiedName() + ": " + formed.error().message + acceptedSuffix(entry.kind));
  return std::nullopt;
}

std::optional<std::string> ConfigLoader::javaVersion(const NamedKey& entry, const toml::node& value) {
  const std::string& text = value.as_string()->get();
  if (isJavaVersion(text)) return text;
  report(lineOf(value),
         entry.qualifiedName() + ": " + quotedForMessage(text) + " is not a Java version" + acceptedSuffix(entry.kind));
  return std::nullopt;
}

void ConfigLoader::loadRuntimeJarSwitch(const toml::node& value) {
  runtimeJarLine_ = lineOf(value);
  const auto* flag = value.as_boolean();
  if (!flag) {
    return report(runtimeJarLine_,
                  kRuntimeJarSwitch.qualifiedName() + " must be a boolean (true or false), not " + typeName(value));
  }
  plan_.embedsRuntimeJar = flag->get();
}

void ConfigLoader::loadRaw(const toml::node& node, bool wide) {
  const std::string tableName = wide ? "raw_wide" : "raw";
  const toml::table* table = node.as_table();
  if (!table) return report(lineOf(node), "[" + tableName + "] must be a table");

  for (const auto& [key, value] : *table) {
    const Line line = key.source().begin.line;
    const std::string where = "[" + tableName + "] " + quotedForMessage(key.str());
    const std::optional<std::int32_t> number = parseKeyNumber(key.str());
    if (!number) {
      report(line, where + ": a key must be a 32-bit decimal number");
      continue;
    }
    const auto* text = value.as_string();
    if (!text) {
      report(lineOf(value), where + " must be a string, not " + typeName(value));
      continue;
    }
    const NamedKey* known = findNamedKeyByNumber(*number, wide);
    // Of a key without a field, nothing tells whether it is read as lines.
    if (!freeOfControlCharacters(where, value, !known || known->takesLineBreaks)) continue;
    const std::size_t capacity = known ? known->capacity : SIZE_MAX;
    if (wide) {
      if (auto converted = toWide(text->get(), capacity, where, line)) {
        setWide(*number, std::move(*converted), {where, line});
      }
    } else if (auto converted = toNarrow(text->get(), capacity, where, line)) {
      if (serviceHostAccepts(where, *number, *converted, value)) {
        setNarrow(*number, std::move(*converted), {where, line});
      }
    }
  }
}

void ConfigLoader::loadFiles(const toml::node& node) {
  const toml::array* array = node.as_array();
  if (!array || (!array->empty() && !array->is_array_of_tables())) {
    embeddedFileProblems_ = true;
    return report(lineOf(node), "files must be an array of tables, written [[files]]");
  }
  for (std::size_t i = 0; i < array->size(); ++i) loadFile(*array->get(i), i);
  if (plan_.files.size() != array->size()) {
    embeddedFileProblems_ = true;
    return;
  }
  for (std::size_t i = 0; i < array->size(); ++i) {
    fileLines_.push_back(lineOf(*array->get(i)));
    fileLabels_.push_back("files[" + std::to_string(i + 1) + "]");
  }
}

void ConfigLoader::loadBundle(const toml::node& value) {
  bundleLine_ = lineOf(value);
  const std::size_t problemsBefore = problems_.size();
  loadBundledFiles(value);
  hasBundle_ = problems_.size() == problemsBefore;
  // Never cleared here: [[files]] may have had problems of its own.
  if (!hasBundle_) embeddedFileProblems_ = true;
}

void ConfigLoader::loadBundledFiles(const toml::node& value) {
  const std::string field = kBundle.qualifiedName();
  const auto* text = value.as_string();
  if (!text) return report(bundleLine_, field + " must be a string (the runtime's folder), not " + typeName(value));
  if (text->get().empty()) return report(bundleLine_, field + " is empty");
  if (!freeOfControlCharacters(field, value)) return;

  const fs::path given = pathFromUtf8(text->get());
  auto listed = listRuntimeBundle(given.is_absolute() ? given : baseDirectory_ / given);
  if (!listed) return report(bundleLine_, field + ": " + listed.error().message);
  if (!bundleFits(*listed)) return;
  for (const BundledFile& file : *listed) loadBundledFile(file);
}

// Checked before any content is read: a folder named by mistake (a whole
// drive) is refused at once.
bool ConfigLoader::bundleFits(const std::vector<BundledFile>& listed) {
  std::size_t namesSize = listed.empty() ? 0 : listed.size() - 1;  // the separators
  std::uintmax_t contentSize = 0;
  for (const BundledFile& file : listed) {
    namesSize += file.name.size();
    contentSize += file.size;
  }
  const std::string field = kBundle.qualifiedName();
  if (namesSize >= kTextCapacity) {
    report(bundleLine_, field + ": the runtime's " + std::to_string(listed.size()) + " file names take " +
                            std::to_string(namesSize) + " bytes, and the launcher reads at most " +
                            std::to_string(kTextCapacity - 1) + " of names for all embedded files; link fewer "
                            "modules into it, or leave out what a service does not need (jlink "
                            "--no-header-files --no-man-pages)");
    return false;
  }
  if (contentSize > kLargestExecutable) {
    report(bundleLine_, field + ": the runtime's files take " + std::to_string(contentSize) +
                            " bytes, and an executable must stay below 2 GiB");
    return false;
  }
  return true;
}

void ConfigLoader::loadBundledFile(const BundledFile& file) {
  const std::string field = kBundle.qualifiedName();
  const std::string stored = storedEmbeddedName(file.name);
  if (auto problem = embeddedNameProblem(stored)) {
    return report(bundleLine_, field + ": cannot use the name " + quotedForMessage(file.name) + ": " + *problem);
  }
  auto narrow = toNarrow(stored, SIZE_MAX, field + " file " + quotedForMessage(file.name), bundleLine_);
  if (!narrow) return;
  auto size = readableFileSize(file.source);
  if (!size) return report(bundleLine_, field + ": " + size.error().message);
  if (*size == 0) {
    return report(bundleLine_, field + ": " + quotedPath(file.source) +
                                   " is empty, and the launcher creates no file for an empty record");
  }
  bundleFiles_.push_back({std::move(*narrow), file.source, *size});
}

void ConfigLoader::loadIdentity(const toml::node& node) {
  const toml::table* table = node.as_table();
  if (!table) return report(lineOf(node), "[identity] must be a table");
  plan_.identity.emplace();
  for (const auto& [key, value] : *table) {
    const auto known = std::find(std::begin(kIdentityFields), std::end(kIdentityFields), key.str());
    if (known == std::end(kIdentityFields)) {
      std::string fields;
      for (const std::string_view field : kIdentityFields) fields += (fields.empty() ? "" : ", ") + std::string(field);
      report(key.source().begin.line,
             "unknown field " + quotedForMessage(key.str()) + " in [identity] (known: " + fields + ")");
      continue;
    }
    loadIdentityField(key.str(), value);
  }
}

void ConfigLoader::loadIdentityField(std::string_view field, const toml::node& value) {
  const std::string name = "identity." + std::string(field);
  const auto* text = value.as_string();
  if (!text) return report(lineOf(value), name + " must be a string, not " + typeName(value));
  if (!freeOfControlCharacters(name, value)) return;
  if (field == "icon") return loadIcon(value);
  if (field == "version") {
    auto version = parseFileVersion(text->get());
    if (!version) {
      return report(lineOf(value), name + " " + quotedForMessage(text->get()) + " " + version.error().message);
    }
    plan_.identity->version = *version;
    return;
  }
  if (utf8ToUtf16(text->get()).size() > kLongestIdentityText) {
    return report(lineOf(value), name + " is longer than " + std::to_string(kLongestIdentityText) + " characters");
  }
  Identity& identity = *plan_.identity;
  std::string* target = field == "product_name"       ? &identity.productName
                        : field == "company"          ? &identity.company
                        : field == "file_description" ? &identity.fileDescription
                        : field == "copyright"        ? &identity.copyright
                                                      : &identity.originalFilename;
  *target = text->get();
}

void ConfigLoader::loadIcon(const toml::node& value) {
  const fs::path given = pathFromUtf8(value.as_string()->get());
  const fs::path source = given.is_absolute() ? given : baseDirectory_ / given;
  auto content = readWholeFile(source);
  if (!content) return report(lineOf(value), "identity.icon: " + content.error().message);
  auto images = readIconFile(*content);
  if (!images) {
    return report(lineOf(value), "identity.icon: " + quotedPath(source) + " " + images.error().message);
  }
  plan_.identity->icon = std::move(*images);
}

void ConfigLoader::loadFile(const toml::node& element, std::size_t index) {
  const toml::table& table = *element.as_table();
  const std::string where = "files[" + std::to_string(index + 1) + "]";
  const Line line = lineOf(element);
  for (const auto& [key, value] : table) {
    if (key.str() != "source" && key.str() != "name") {
      report(key.source().begin.line,
             "unknown field " + quotedForMessage(key.str()) + " in " + where + " (known: source, name)");
    }
  }
  const toml::node* sourceNode = table.get("source");
  const toml::node* nameNode = table.get("name");
  if (!sourceNode) return report(line, where + " needs a source");
  if (!sourceNode->is_string()) {
    return report(lineOf(*sourceNode), where + ".source must be a string, not " + typeName(*sourceNode));
  }
  if (nameNode && !nameNode->is_string()) {
    return report(lineOf(*nameNode), where + ".name must be a string, not " + typeName(*nameNode));
  }
  const bool sourceUsable = freeOfControlCharacters(where + ".source", *sourceNode);
  const bool nameUsable = !nameNode || freeOfControlCharacters(where + ".name", *nameNode);
  if (!sourceUsable || !nameUsable) return;

  const fs::path given = pathFromUtf8(sourceNode->as_string()->get());
  const fs::path source = given.is_absolute() ? given : baseDirectory_ / given;
  auto size = readableFileSize(source);
  if (!size) return report(lineOf(*sourceNode), where + ".source: " + size.error().message);
  if (*size == 0) {
    return report(lineOf(*sourceNode), where + ".source: " + quotedPath(source) +
                                           " is empty, and the launcher creates no file for an "
                                           "empty record");
  }

  const std::string name = nameNode ? nameNode->as_string()->get() : displayPath(given.filename());
  const Line nameLine = nameNode ? lineOf(*nameNode) : lineOf(*sourceNode);
  const std::string stored = storedEmbeddedName(name);
  if (auto problem = embeddedNameProblem(stored)) {
    return report(nameLine, where + ": cannot use the name " + quotedForMessage(name) + ": " + *problem);
  }
  auto narrow = toNarrow(stored, SIZE_MAX, where + ".name", nameLine);
  if (!narrow) return;
  plan_.files.push_back({std::move(*narrow), source, *size});
}

// The config's files, then the bundled runtime's; the runtime jar follows
// them all, added by the builder later, so its name and its room in the name
// list are checked here.
void ConfigLoader::finishEmbeddedFiles() {
  if (embeddedFileProblems_) return;
  const bool fromConfigFiles = !plan_.files.empty();
  for (EmbeddedFile& file : bundleFiles_) {
    fileLines_.push_back(bundleLine_);
    fileLabels_.push_back(kBundle.qualifiedName() + " file \"" + file.storedName + "\"");
    plan_.files.push_back(std::move(file));
  }
  bundleFiles_.clear();
  checkFileNames();
  if (plan_.embedsRuntimeJar) checkRuntimeJarName();
  if (nameListFits()) claimFileKeys(fromConfigFiles);
}

// Windows sees "Lib\A.jar" and "lib\a.jar" as one file, and a file "lib"
// cannot live beside a directory "lib", at any depth.
void ConfigLoader::checkFileNames() {
  std::map<std::string, std::size_t> files;
  std::map<std::string, std::size_t> directories;
  for (std::size_t i = 0; i < plan_.files.size(); ++i) {
    const std::string& name = plan_.files[i].storedName;
    const std::string folded = foldedForComparison(name);
    if (auto [it, fresh] = files.emplace(folded, i); !fresh) {
      report(fileLines_[i], fileLabels_[i] + ": the name \"" + name + "\" is already used by " +
                                fileLabels_[it->second]);
    }
    for (std::size_t separator = folded.find('\\'); separator != std::string::npos;
         separator = folded.find('\\', separator + 1)) {
      directories.emplace(folded.substr(0, separator), i);
    }
  }
  for (const auto& [directory, index] : directories) {
    if (auto clash = files.find(directory); clash != files.end()) {
      report(fileLines_[index], fileLabels_[index] + ": its directory has the name of " + fileLabels_[clash->second]);
    }
  }
}

void ConfigLoader::checkRuntimeJarName() {
  const std::string jarName = foldedForComparison(kRuntimeJarName);
  for (std::size_t i = 0; i < plan_.files.size(); ++i) {
    const std::string folded = foldedForComparison(plan_.files[i].storedName);
    if (folded == jarName || directoryPart(folded) == jarName) {
      report(fileLines_[i], fileLabels_[i] + ": the name \"" + plan_.files[i].storedName +
                                "\" is taken by the runtime jar that runvo-pack embeds; rename the file, or set "
                                "launcher.runtime_jar = false to embed a runtime jar of your own");
    }
  }
}

bool ConfigLoader::nameListFits() {
  if (plan_.files.empty()) return true;
  const std::size_t namesSize = joinedFileNames(plan_.files).size();
  const std::size_t withJar = namesSize + (plan_.embedsRuntimeJar ? 1 + kRuntimeJarName.size() : 0);
  if (withJar < kTextCapacity) return true;
  const std::string what = namesSize < kTextCapacity
                               ? "the embedded file names and the runtime jar's name take " + std::to_string(withJar)
                               : "the embedded file names take " + std::to_string(namesSize);
  const std::string bundleHint =
      hasBundle_ ? "; the bundled runtime's names are most of them: link fewer modules into it, or leave out what "
                   "a service does not need (jlink --no-header-files --no-man-pages)"
                 : "";
  report(fileLines_.front(), what + " bytes together; the launcher reads at most " +
                                 std::to_string(kTextCapacity - 1) + bundleHint);
  return false;
}

// Keys 2002 and 2003 belong to the files, so [raw] cannot set them too.
void ConfigLoader::claimFileKeys(bool fromConfigFiles) {
  if (plan_.files.empty()) {
    // Without files the two keys stay unset: a count without its records
    // would fail every start.
    const Origin origin = plan_.embedsRuntimeJar ? Origin{"the runtime jar (launcher.runtime_jar)", runtimeJarLine_}
                                                 : Origin{"the list of embedded files (empty here)", kNoLine};
    claim(narrowOrigins_, kKeyEmbeddedFileCount, origin);
    claim(narrowOrigins_, kKeyEmbeddedFileNames, origin);
    return;
  }
  const Origin origin{fromConfigFiles ? "[[files]]" : kBundle.qualifiedName(), fileLines_.front()};
  setNarrow(kKeyEmbeddedFileCount, std::to_string(plan_.files.size()), origin);
  setNarrow(kKeyEmbeddedFileNames, joinedFileNames(plan_.files), origin);
}

void ConfigLoader::checkRequired(const toml::table& root) {
  for (const NamedKey& entry : namedKeys()) {
    if (!entry.required) continue;
    const toml::node* table = root.get(entry.table);
    if (!table) {
      report(kNoLine, "missing table [" + std::string(entry.table) + "], which must set " +
                          std::string(entry.field));
    } else if (table->is_table() && !table->as_table()->contains(entry.field)) {
      report(lineOf(*table), "missing required field " + entry.qualifiedName());
    }
  }
}

void ConfigLoader::checkServiceName(const std::string& name, Line line) {
  if (name.empty()) report(line, "service.name must not be empty");
  if (name.find_first_of("/\\") != std::string::npos) {
    report(line, "service.name must not hold '/' or '\\'");
  }
  if (name.size() > kLongestServiceName) {
    report(line, "service.name is longer than " + std::to_string(kLongestServiceName) + " bytes");
  }
}

void ConfigLoader::checkMainClass(const std::string& name, Line line) {
  if (auto checked = checkClassName(name); !checked) report(line, "app.main_class " + checked.error().message);
}

void ConfigLoader::applyDefaults() {
  for (const NamedKey& entry : namedKeys()) {
    if (entry.defaultText.empty() || narrowOrigins_.contains(entry.key)) continue;
    std::string text(entry.defaultText);
    // The runtime the service was packed with is what it was tested on.
    if (entry.key == kKeySearchSequence && hasBundle_) text = bundledRuntimeSearchEntry() + ";" + text;
    plan_.table.setNarrow(entry.key, std::move(text));
  }
}

// A control character in a value is a slip, mostly a Windows path in double
// quotes whose backslashes TOML read as escapes ("C:\temp" holds a tab), and
// would change the value's meaning without a word. Every string the value
// holds is checked; a field read as lines takes a line feed in a string of
// its own, never in an array's element, which it would split.
bool ConfigLoader::freeOfControlCharacters(const std::string& field, const toml::node& value, bool takesLineBreaks) {
  if (const auto* text = value.as_string()) {
    const std::optional<char32_t> control = firstControlCharacter(text->get(), takesLineBreaks);
    if (control) {
      report(lineOf(value), field + " holds the control character " + describeCharacter(*control) + ": " +
                                quotedForMessage(text->get()) + escapeHint(value));
    }
    return !control;
  }
  bool free = true;
  if (const auto* array = value.as_array()) {
    for (const toml::node& element : *array) free = freeOfControlCharacters(field, element) && free;
  } else if (const auto* table = value.as_table()) {
    for (const auto& [key, element] : *table) free = freeOfControlCharacters(field, element) && free;
  }
  return free;
}

// The advice for a refused value that was written in double quotes with an
// escape that a Windows path gives by mistake; empty for any other.
std::string ConfigLoader::escapeHint(const toml::node& value) const {
  if (!holdsShortEscape(textFrom(text_, value.source().begin))) return "";
  return "; hint: in double quotes TOML reads \\t, \\b, \\n, \\r and \\f as control characters: " +
         std::string(kSingleQuoteAdvice);
}

// The service host reads its settings from the table when it starts and
// when a verb runs, and ends on a value it cannot use. The key read alone by
// the host's own reader (readServiceSettings) refuses such a value here, at
// its line, so that build time and run time agree; keys the host's settings
// do not hold always pass.
bool ConfigLoader::serviceHostAccepts(const std::string& where, std::int32_t key, const std::string& narrow,
                                      const toml::node& value) {
  ConfigTable alone;
  alone.setNarrow(key, narrow);
  std::string problem;
  if (readServiceSettings(alone, problem)) return true;
  report(lineOf(value), where + ": " + escapedForMessage(problem) + escapeHint(value));
  return false;
}

// Every text arrives here free of control characters, a NUL that would end
// the launcher's text among them (freeOfControlCharacters, embeddedNameProblem).
std::optional<std::string> ConfigLoader::toNarrow(std::string_view utf8, std::size_t capacity,
                                                  const std::string& what, Line line) {
  auto narrow = utf8ToWindows1252(utf8);
  if (!narrow) {
    report(line, what + ": " + narrow.error().message);
    return std::nullopt;
  }
  if (narrow->size() >= capacity) {
    report(line, what + " is " + std::to_string(narrow->size()) +
                     " bytes long; the launcher reads at most " + std::to_string(capacity - 1));
    return std::nullopt;
  }
  return std::move(*narrow);
}

std::optional<WideString> ConfigLoader::toWide(std::string_view utf8, std::size_t capacity,
                                               const std::string& what, Line line) {
  WideString wide = utf8ToUtf16(utf8);
  if (wide.size() >= capacity) {
    report(line, what + " is " + std::to_string(wide.size()) +
                     " UTF-16 units long; the launcher reads at most " + std::to_string(capacity - 1));
    return std::nullopt;
  }
  return wide;
}

bool ConfigLoader::claim(std::map<std::int32_t, Origin>& origins, std::int32_t key, Origin origin) {
  const auto [it, fresh] = origins.emplace(key, origin);
  if (!fresh) {
    const std::string firstLine =
        it->second.line == kNoLine ? "" : " at line " + std::to_string(it->second.line);
    report(origin.line, origin.where + " sets key " + std::to_string(key) + ", which " + it->second.where +
                            firstLine + " already sets");
  }
  return fresh;
}

void ConfigLoader::setNarrow(std::int32_t key, std::string text, Origin origin) {
  if (claim(narrowOrigins_, key, std::move(origin))) plan_.table.setNarrow(key, std::move(text));
}

void ConfigLoader::setWide(std::int32_t key, WideString text, Origin origin) {
  if (claim(wideOrigins_, key, std::move(origin))) plan_.table.setWide(key, std::move(text));
}

// In the order of the config's lines, whatever order the tables were read in.
std::string ConfigLoader::joinedProblems() {
  std::ranges::stable_sort(problems_, {}, [](const Problem& p) {
    return p.line == kNoLine ? UINT32_MAX : p.line;
  });
  std::string joined;
  for (const Problem& problem : problems_) {
    if (!joined.empty()) joined += '\n';
    joined += configName_ + ":";
    if (problem.line != kNoLine) joined += std::to_string(problem.line) + ":";
    joined += " " + problem.message;
  }
  return joined;
}

Expected<PackPlan> loadUtf8ConfigText(std::string_view text, const std::string& configName,
                                      const fs::path& baseDirectory) {
  auto at = [&](std::size_t line, std::size_t column) {
    return configName + ":" + std::to_string(line) + ":" + std::to_string(column) + ": ";
  };
  if (const auto unsafe = findUnsafeTomlText(text)) return failure(at(unsafe->line, unsafe->column) + unsafe->reason);
  try {
    const toml::table root = toml::parse(text, std::string_view(configName));
    return ConfigLoader(configName, baseDirectory, text).load(root);
  } catch (const toml::parse_error& error) {
    const toml::source_position where = error.source().begin;
    std::string message = at(where.line, where.column) + escapedForMessage(error.description());
    if (holdsBackslashInBasicString(lineOfText(text, where.line))) {
      message += "; hint: " + std::string(kSingleQuoteAdvice);
    }
    return failure(std::move(message));
  } catch (const BrokenTomlPrecondition&) {
    return failure(configName + ": the TOML reader cannot read this text; check it against the TOML syntax");
  }
}

}  // namespace

Expected<PackPlan> loadPackConfigText(std::string_view bytes, const std::string& configName,
                                      const fs::path& baseDirectory) {
  const auto text = configTextAsUtf8(bytes);
  if (!text) return failure(configName + ": " + text.error().message);
  return loadUtf8ConfigText(*text, configName, baseDirectory);
}

void addRuntimeJar(PackPlan& plan, fs::path source, std::uint64_t size) {
  plan.files.push_back({std::string(kRuntimeJarName), std::move(source), size});
  plan.table.setNarrow(kKeyEmbeddedFileCount, std::to_string(plan.files.size()));
  plan.table.setNarrow(kKeyEmbeddedFileNames, joinedFileNames(plan.files));
}

Expected<PackPlan> loadPackConfig(const fs::path& configPath) {
  auto text = readWholeFile(configPath);
  if (!text) return failure("cannot load the config: " + text.error().message);
  const std::string_view view(reinterpret_cast<const char*>(text->data()), text->size());
  return loadPackConfigText(view, displayPath(configPath), configPath.parent_path());
}

}  // namespace runvo::pack
