#include "pack/config/field_forms.h"

#include <algorithm>
#include <optional>

#include "pack/common/text_encoding.h"

namespace runvo::pack {

namespace {

constexpr std::string_view kClassPathForms =
    "{ jar = \"PATH\" }, { dir = \"PATH\" }, { scan = \"DIR\" }, { env = \"NAME\" }, each optionally with "
    "required = false; or the raw \"A1PATH\", \"D1PATH\", \"S1DIR\", \"E1NAME\", with 0 for 1 when optional";
constexpr std::string_view kJvmSearchForms =
    "\"env:NAME\", \"registry\", \"path\", { dir = \"PATH\" }; or the raw \"ENAME\", \"Y\", \"S\", \"RPATH\", "
    "\"APATH\", \"BPATH\"";

struct TypedField {
  std::string_view name;
  char type;
};

constexpr TypedField kClassPathFields[] = {{"jar", 'A'}, {"dir", 'D'}, {"scan", 'S'}, {"env", 'E'}};
constexpr std::string_view kClassPathNeedsOne = "an entry table needs exactly one of jar, dir, scan, env";

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::ranges::equal(text.substr(0, prefix.size()), prefix, {}, asciiLower, asciiLower);
}

bool equalsIgnoringCase(std::string_view text, std::string_view word) {
  return text.size() == word.size() && startsWithIgnoringCase(text, word);
}

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// What every entry text must pass, whatever its form; `shown` is how the
// message names it.
std::optional<std::string> separatorProblem(std::string_view text, const std::string& shown) {
  if (text.find(';') != std::string_view::npos) return shown + " holds ';', which separates the entries";
  return std::nullopt;
}

// The text of a field that names a location; paths get the backslashes
// that Windows and the launcher's path rules expect.
Expected<std::string> locationText(std::string_view field, const toml::node& value, bool isPath) {
  const auto* text = value.as_string();
  const std::string name(field);
  if (!text) return failure(name + " must be a string, not " + typeName(value));
  if (text->get().empty()) return failure(name + " is empty");
  const std::string shown = name + " = " + quotedForMessage(text->get());
  if (auto problem = separatorProblem(text->get(), shown)) return failure(*problem);
  std::string location = text->get();
  if (isPath) std::ranges::replace(location, '/', '\\');
  return location;
}

Expected<std::string> rawClassPathEntry(std::string_view text) {
  const std::string shown = quotedForMessage(text);
  if (std::string_view("ADES").find(text.front()) == std::string_view::npos) {
    return failure(shown + " does not start with a type letter A, D, E or S");
  }
  if (text.size() < 2 || (text[1] != '0' && text[1] != '1')) {
    return failure(shown + " needs '1' (required) or '0' (optional) after its type letter");
  }
  if (text.size() == 2) return failure(shown + (text.front() == 'E' ? " names no variable" : " names no path"));
  return std::string(text);
}

Expected<std::string> classPathTable(const toml::table& table) {
  const TypedField* typed = nullptr;
  const toml::node* location = nullptr;
  bool required = true;
  for (const auto& [key, value] : table) {
    const auto field = std::ranges::find(kClassPathFields, key.str(), &TypedField::name);
    if (field != std::ranges::end(kClassPathFields)) {
      if (typed) return failure(std::string(kClassPathNeedsOne));
      typed = &*field;
      location = &value;
    } else if (key.str() == "required") {
      const auto* flag = value.as_boolean();
      if (!flag) return failure("required must be a boolean (true or false), not " + typeName(value));
      required = flag->get();
    } else {
      return failure("unknown field \"" + std::string(key.str()) + "\" in an entry table");
    }
  }
  if (!typed) return failure(std::string(kClassPathNeedsOne));
  auto text = locationText(typed->name, *location, typed->type != 'E');
  if (!text) return text.error();
  return std::string{typed->type, required ? '1' : '0'} + *text;
}

Expected<std::string> searchWordOrRawEntry(std::string_view text) {
  if (equalsIgnoringCase(text, "registry")) return std::string("Y");
  if (equalsIgnoringCase(text, "path")) return std::string("S");
  const std::string shown = quotedForMessage(text);
  if (startsWithIgnoringCase(text, "env:")) {
    if (text.size() == 4) return failure(shown + " names no variable");
    return "E" + std::string(text.substr(4));
  }
  switch (text.front()) {
    case 'Y':
    case 'S':
      if (text.size() > 1) return failure(shown + ": the type letter " + text.front() + " takes no location");
      return std::string(text);
    case 'A':
    case 'B':
    case 'R':
    case 'E':
      if (text.size() == 1) return failure(shown + (text.front() == 'E' ? " names no variable" : " names no location"));
      return std::string(text);
    default:
      return failure(shown + " is not \"registry\", \"path\" or \"env:NAME\", nor does it start with a type "
                             "letter A, B, R, E, S or Y");
  }
}

Expected<std::string> searchTable(const toml::table& table) {
  for (const auto& [key, value] : table) {
    if (key.str() != "dir") return failure("unknown field \"" + std::string(key.str()) + "\" in an entry table");
  }
  const toml::node* dir = table.get("dir");
  if (!dir) return failure("an entry table needs dir");
  auto location = locationText("dir", *dir, true);
  if (!location) return location.error();
  return "R" + *location;
}

std::optional<std::string> classNameProblem(std::string_view text) {
  if (text.empty()) return "it is empty";
  if (text.find('/') != std::string_view::npos) {
    return "it holds '/'; write the package with dots, as in com.example.Main";
  }
  for (std::string_view ending : {".class", ".java"}) {
    if (text.ends_with(ending)) return "it ends in " + std::string(ending) + "; name the class, not its file";
  }
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7F) return "it holds a space or a control character";
    if (c == ';' || c == '[') return "it holds '" + std::string(1, c) + "'";
  }
  if (text.front() == '.' || text.back() == '.' || text.find("..") != std::string_view::npos) {
    return "it has an empty part between dots";
  }
  return std::nullopt;
}

}  // namespace

std::string_view acceptedForms(EntryForms forms) {
  return forms == EntryForms::ClassPath ? kClassPathForms : kJvmSearchForms;
}

Expected<std::string> entryFromText(EntryForms forms, std::string_view text) {
  if (text.empty()) return failure("an entry is empty");
  if (auto problem = separatorProblem(text, quotedForMessage(text))) return failure(*problem);
  return forms == EntryForms::ClassPath ? rawClassPathEntry(text) : searchWordOrRawEntry(text);
}

Expected<std::string> entryFromNode(EntryForms forms, const toml::node& element) {
  if (const auto* text = element.as_string()) return entryFromText(forms, text->get());
  if (const auto* table = element.as_table()) {
    return forms == EntryForms::ClassPath ? classPathTable(*table) : searchTable(*table);
  }
  return failure("an entry must be a string or a table, not " + typeName(element));
}

bool isJavaVersion(std::string_view text) {
  const std::size_t dash = text.find('-');
  if (dash != std::string_view::npos) {
    const std::string_view suffix = text.substr(dash + 1);
    const bool suffixFits = !suffix.empty() && std::ranges::all_of(suffix, [](char c) {
      return isAsciiDigit(c) || isAsciiLetter(c) || std::string_view(".-_+").find(c) != std::string_view::npos;
    });
    if (!suffixFits) return false;
  }
  bool expectsDigit = true;  // at the start and after each separator
  for (char c : text.substr(0, dash)) {
    if (isAsciiDigit(c)) {
      expectsDigit = false;
    } else if ((c == '.' || c == '_') && !expectsDigit) {
      expectsDigit = true;
    } else {
      return false;
    }
  }
  return !expectsDigit;
}

Status checkClassName(std::string_view text) {
  if (auto problem = classNameProblem(text)) return failure(quotedForMessage(text) + " is no class name: " + *problem);
  return Done{};
}

std::string typeName(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a floating-point number";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::array: return "an array";
    case toml::node_type::table: return "a table";
    default: return "a date or time";
  }
}

}  // namespace runvo::pack
